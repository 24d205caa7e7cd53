#include "ui/desktop_message_sink.h"

#include <QApplication>
#include <QMessageBox>
#include <algorithm>
#include <utility>

#include "station/station.h"

namespace kv {

namespace {

// The one thing the operator must do at once, whatever else the box says.
const QString kLoadMayBeOnAdvice = QStringLiteral(
    "Turn the load's input off at the instrument itself now, then check its power and the "
    "cable or network before the next run.");

QString BoxText(const std::vector<QString>& parts) {
  QString text;
  for (const QString& part : parts) {
    if (!text.isEmpty()) {
      text += QStringLiteral("\n\n");
    }
    text += part;
  }
  return text;
}

}  // namespace

DesktopMessageSink::DesktopMessageSink(QObject* parent) : QObject(parent) {}

void DesktopMessageSink::Watch(const Station& station) {
  station_ = &station;
  connect(&station, &Station::linkIdle, this, &DesktopMessageSink::Flush, Qt::QueuedConnection);
}

void DesktopMessageSink::SetBoxParent(QWidget* parent) {
  boxParent_ = parent;
}

void DesktopMessageSink::SetShowHandler(std::function<void(const QString&)> handler) {
  show_ = std::move(handler);
}

void DesktopMessageSink::Merge(std::vector<Entry>& entries, Entry entry) {
  const auto same = std::find_if(entries.begin(), entries.end(),
                                 [&](const Entry& e) { return e.text == entry.text; });
  if (same == entries.end()) {
    entries.push_back(std::move(entry));
  } else {
    same->urgency = std::max(same->urgency, entry.urgency);
  }
}

void DesktopMessageSink::ShowMessage(std::string_view text) {
  Merge(pending_, {QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                   MessageUrgency::Link});
  // From the event loop: the caller is inside the transaction that raised it.
  ScheduleFlush();
}

void DesktopMessageSink::Raise(const QString& text, MessageUrgency urgency) {
  Merge(pending_, {text, urgency});
  // From the event loop, so that what the same handler raises next (a lost
  // link's outcome and the run's end) joins this box.
  ScheduleFlush();
}

void DesktopMessageSink::ScheduleFlush() {
  if (!flushScheduled_) {
    flushScheduled_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
          flushScheduled_ = false;
          Flush();
        },
        Qt::QueuedConnection);
  }
}

void DesktopMessageSink::Flush() {
  // The event loop also runs inside a transaction's wait; the end of that
  // transaction (linkIdle) flushes again.
  if (pending_.empty() || (station_ != nullptr && station_->IsLinkBusy())) {
    return;
  }
  for (Entry& entry : std::exchange(pending_, {})) {
    Merge(onScreen_, std::move(entry));
  }
  std::stable_sort(onScreen_.begin(), onScreen_.end(),
                   [](const Entry& a, const Entry& b) { return a.urgency > b.urgency; });
  std::vector<QString> parts;
  for (const Entry& entry : onScreen_) {
    parts.push_back(entry.urgency == MessageUrgency::LoadMayBeOn
                        ? entry.text + QLatin1Char('\n') + kLoadMayBeOnAdvice
                        : entry.text);
  }
  const QString text = BoxText(parts);
  emit shown(text, parts.front());
  if (show_) {
    onScreen_.clear();
    show_(text);
  } else {
    ShowInBox(text);
  }
}

void DesktopMessageSink::ShowInBox(const QString& text) {
  if (box_ == nullptr) {
    box_ = new QMessageBox(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), {},
                           QMessageBox::Ok, boxParent_);
    box_->setObjectName(QStringLiteral("MessageBox"));
    box_->setAttribute(Qt::WA_DeleteOnClose);
    // It does not block: a run goes on while it is open.
    box_->setWindowModality(Qt::NonModal);
    connect(box_, &QMessageBox::finished, this, [this] {
      // Closed: it is on its way out, and what comes next gets a new box.
      onScreen_.clear();
      box_.clear();
    });
  }
  box_->setText(text);
  box_->show();
  box_->raise();
}

}  // namespace kv
