#include "ui/run_chart.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "chart/chart_look.h"

namespace kv {

using namespace chart_look;  // NOLINT(google-build-using-namespace): one file's own look

RunChart::RunChart(QWidget* parent) : QWidget(parent), followButton_(new QPushButton(this)) {
  setObjectName(QStringLiteral("RunChart"));
  setMinimumSize(320, 240);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);  // the read-out follows the mouse
  followButton_->setObjectName(QStringLiteral("FollowButton"));
  followButton_->setText(QStringLiteral("Follow"));
  followButton_->setCheckable(true);
  followButton_->setChecked(true);
  followButton_->setToolTip(QStringLiteral("Keep the newest data in view"));
  connect(followButton_, &QPushButton::toggled, this, &RunChart::SetFollow);
}

void RunChart::Clear() {
  series_.Clear();
  view_.SetFinished(false);
  ShowAll();
}

void RunChart::Finish() {
  view_.SetFinished(true);
  update();
}

void RunChart::UpdateFor(bool added, double elapsedSeconds) {
  if (added && (view_.Following() || elapsedSeconds <= VisibleRange().second)) {
    update();
  }
}

void RunChart::AddPoint(double elapsedSeconds, double volts, double amps, double watts) {
  UpdateFor(series_.AddPoint(elapsedSeconds, volts, amps, watts), elapsedSeconds);
}

void RunChart::AddGap(double elapsedSeconds) {
  UpdateFor(series_.AddGap(elapsedSeconds), elapsedSeconds);
}

void RunChart::MarkStep(double elapsedSeconds, int stepNo, const QString& function) {
  series_.MarkStep(elapsedSeconds, stepNo, function);
  update();
}

void RunChart::MarkVerdict(double elapsedSeconds, bool pass) {
  series_.MarkVerdict(elapsedSeconds, pass);
  update();
}

std::pair<double, double> RunChart::VisibleRange() const {
  return view_.Range(LastTime());
}

void RunChart::SetFollow(bool follow) {
  if (follow == view_.Following()) {
    return;
  }
  view_.SetFollow(follow, LastTime());
  followButton_->setChecked(follow);
  update();
}

void RunChart::ShowAll() {
  view_.ShowAll();
  followButton_->setChecked(true);
  update();
}

QRect RunChart::PlotRect() const {
  return rect().adjusted(kLeftMargin, kTopMargin, -kRightMargin, -kBottomMargin);
}

void RunChart::wheelEvent(QWheelEvent* event) {
  const QRect plot = PlotRect();
  const double steps = event->angleDelta().y() / 120.0;
  if (steps == 0 || plot.width() < 2) {
    return;
  }
  view_.Zoom(steps, (event->position().x() - plot.left()) / plot.width(), LastTime());
  update();
  event->accept();
}

void RunChart::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    dragging_ = true;
    dragX_ = static_cast<int>(event->position().x());
    view_.BeginDrag(LastTime());
  }
}

void RunChart::mouseMoveEvent(QMouseEvent* event) {
  const QRect plot = PlotRect();
  hoverX_ = static_cast<int>(event->position().x());
  if (!dragging_ || plot.width() < 2) {
    update();
    return;
  }
  const double dx = event->position().x() - dragX_;
  if (std::abs(dx) < 2 && view_.Following()) {
    return;  // a click, not a drag: keep following
  }
  view_.DragBy(dx / plot.width(), LastTime());
  followButton_->setChecked(false);
  update();
}

void RunChart::mouseReleaseEvent(QMouseEvent*) {
  dragging_ = false;
}

void RunChart::leaveEvent(QEvent*) {
  hoverX_ = -1;
  update();
}

void RunChart::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  QAction* save = menu.addAction(QStringLiteral("Save chart as PNG\u2026"));
  if (menu.exec(event->globalPos()) != save) {
    return;
  }
  const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save chart as PNG"),
                                                    QStringLiteral("chart.png"),
                                                    QStringLiteral("PNG image (*.png)"));
  if (!path.isEmpty() && !SaveAsPng(path)) {
    QMessageBox::warning(this, QStringLiteral("Save chart as PNG"),
                         QStringLiteral("The chart could not be written to %1.")
                             .arg(QDir::toNativeSeparators(path)));
  }
}

bool RunChart::SaveAsPng(const QString& path) {
  return grab().save(path, "PNG");
}

void RunChart::mouseDoubleClickEvent(QMouseEvent*) {
  ShowAll();
}

void RunChart::resizeEvent(QResizeEvent*) {
  followButton_->adjustSize();
  followButton_->move(width() - kRightMargin - followButton_->width(), 4);
}

}  // namespace kv
