#include "ui/check_findings_view.h"

#include <QStyle>

#include "check/check_report.h"

namespace kv {

namespace {

constexpr int kStepRole = Qt::UserRole;

QStyle::StandardPixmap IconFor(Severity severity) {
  switch (severity) {
    case Severity::Error:
      return QStyle::SP_MessageBoxCritical;
    case Severity::Warning:
      return QStyle::SP_MessageBoxWarning;
    case Severity::Note:
      break;
  }
  return QStyle::SP_MessageBoxInformation;
}

}  // namespace

CheckFindingsView::CheckFindingsView(QWidget* parent) : QListWidget(parent) {
  setObjectName(QStringLiteral("CheckFindings"));
  setToolTip(QStringLiteral("Click a finding to select its step"));
  connect(this, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
    const int step = item->data(kStepRole).toInt();
    if (step > 0) {
      emit stepActivated(step);
    }
  });
}

void CheckFindingsView::SetFindings(const std::vector<CheckFinding>& findings) {
  clear();
  if (findings.empty()) {
    addItem(QStringLiteral("No findings: the list runs as written."));
    return;
  }
  for (const CheckFinding& f : findings) {
    auto* item = new QListWidgetItem(style()->standardIcon(IconFor(f.severity)),
                                     QString::fromStdString(FormatFinding(f)), this);
    item->setData(kStepRole, f.step);
  }
}

}  // namespace kv
