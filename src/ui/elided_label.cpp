#include "ui/elided_label.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <utility>

namespace kv {

namespace {

constexpr int kPadding = 4;
// Eliding measures with fractional advances, the size hint in whole pixels.
constexpr int kSlack = 2;
// Enough to tell what the field is about when the line is crowded.
const QString kShortest = QStringLiteral("Stopped…");

}  // namespace

ElidedLabel::ElidedLabel(QString description, QWidget* parent)
    : QFrame(parent), description_(std::move(description)) {
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void ElidedLabel::setText(const QString& text) {
  if (text == text_) {
    return;
  }
  text_ = text;
  updateGeometry();
  update();
}

void ElidedLabel::setDescription(const QString& description) {
  description_ = description;
}

bool ElidedLabel::isElided() const {
  return shownText() != text_;
}

QString ElidedLabel::shownText() const {
  return fontMetrics().elidedText(text_, Qt::ElideRight, contentsRect().width() - 2 * kPadding);
}

QString ElidedLabel::toolTipText() const {
  if (!isElided()) {
    return description_;
  }
  return description_.isEmpty() ? text_ : text_ + QStringLiteral("\n\n") + description_;
}

QSize ElidedLabel::sizeHint() const {
  const QFontMetrics metrics = fontMetrics();
  const int margins = 2 * kPadding + 2 * frameWidth();
  return {text_.isEmpty() ? 0 : metrics.horizontalAdvance(text_) + margins + kSlack,
          metrics.height() + 2 * frameWidth()};
}

QSize ElidedLabel::minimumSizeHint() const {
  const QFontMetrics metrics = fontMetrics();
  const int margins = 2 * kPadding + 2 * frameWidth();
  const int width =
      std::min(metrics.horizontalAdvance(text_), metrics.horizontalAdvance(kShortest));
  return {text_.isEmpty() ? 0 : width + margins, metrics.height() + 2 * frameWidth()};
}

bool ElidedLabel::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    const QString tip = toolTipText();
    if (tip.isEmpty()) {
      QToolTip::hideText();
    } else {
      QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), tip, this);
    }
    return true;
  }
  return QFrame::event(event);
}

void ElidedLabel::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  QPainter painter(this);
  painter.setPen(palette().color(foregroundRole()));
  painter.drawText(contentsRect().adjusted(kPadding, 0, -kPadding, 0),
                   Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shownText());
}

}  // namespace kv
