#pragma once
// A one-line text field of the status line that never shows a cut word: when
// its room is too small the text ends in "…" and the tool tip holds all of it
// (above the field's own description).

#include <QFrame>
#include <QString>

namespace kv {

class ElidedLabel : public QFrame {
  Q_OBJECT

 public:
  /// `description` says what the field is; it is the tool tip while the
  /// whole text shows.
  explicit ElidedLabel(QString description, QWidget* parent = nullptr);

  const QString& text() const { return text_; }
  void setText(const QString& text);
  void clear() { setText({}); }
  void setDescription(const QString& description);
  /// True when the text does not fit and ends in "…".
  bool isElided() const;
  /// The whole text while it is cut, then the description.
  QString toolTipText() const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QString shownText() const;

  QString text_;
  QString description_;
};

}  // namespace kv
