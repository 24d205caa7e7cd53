#pragma once
// The "Check" tab: the step-list check's findings, worst first as the check
// orders them; a click on one names its step so the window can select it.

#include <QListWidget>
#include <vector>

#include "check/check_finding.h"

namespace kv {

class CheckFindingsView : public QListWidget {
  Q_OBJECT

 public:
  explicit CheckFindingsView(QWidget* parent = nullptr);

  void SetFindings(const std::vector<CheckFinding>& findings);

 signals:
  /// The operator clicked a finding about step `step` (1 = first step).
  void stepActivated(int step);
};

}  // namespace kv
