#include "ui/desktop_message_sink.h"

#include <QApplication>
#include <QMessageBox>
#include <utility>

#include "station/station.h"

namespace kv {

void ShowNonBlockingMessage(QWidget* parent, const QString& text) {
  // A load that stays lost raises the same message every second; one box of
  // each text on screen is enough.
  const QList<QMessageBox*> open =
      parent != nullptr ? parent->findChildren<QMessageBox*>() : QList<QMessageBox*>();
  for (QMessageBox* box : open) {
    if (box->isVisible() && box->text() == text) {
      box->raise();
      return;
    }
  }
  auto* box = new QMessageBox(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), text,
                              QMessageBox::Ok, parent);
  box->setObjectName(QStringLiteral("MessageBox"));
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::NonModal);
  box->show();
}

DesktopMessageSink::DesktopMessageSink(QObject* parent) : QObject(parent) {}

void DesktopMessageSink::Watch(const Station& station) {
  station_ = &station;
  connect(&station, &Station::linkIdle, this, &DesktopMessageSink::Flush, Qt::QueuedConnection);
}

void DesktopMessageSink::SetShowHandler(std::function<void(const QString&)> handler) {
  show_ = std::move(handler);
}

void DesktopMessageSink::ShowMessage(std::string_view text) {
  const QString message = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  if (!pending_.contains(message)) {
    pending_.append(message);
  }
  // From the event loop: the caller is inside the transaction that raised it.
  if (!flushScheduled_) {
    flushScheduled_ = true;
    QMetaObject::invokeMethod(this, &DesktopMessageSink::Flush, Qt::QueuedConnection);
  }
}

void DesktopMessageSink::Flush() {
  flushScheduled_ = false;
  // The event loop also runs inside a transaction's wait; the end of that
  // transaction (linkIdle) flushes again.
  if (pending_.isEmpty() || (station_ != nullptr && station_->IsLinkBusy())) {
    return;
  }
  const QStringList messages = std::exchange(pending_, {});
  for (const QString& message : messages) {
    emit shown(message);
    if (show_) {
      show_(message);
    } else {
      ShowNonBlockingMessage(nullptr, message);
    }
  }
}

}  // namespace kv
