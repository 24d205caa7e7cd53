// Not checks: windows filled as an operator sees them, for a look or the
// screenshots of docs/ (scripts/screenshots.sh). Run on a display with
//   test_ui --gtest_also_run_disabled_tests --gtest_filter='*Showcase.*'
// Each stays on screen for KV_SHOWCASE_SECONDS (default 10) seconds, or is
// saved as a PNG into KV_SHOWCASE_DIR when that is set;
// KV_SHOWCASE_FUNCTION selects another function's frame of the editor.
#include <gtest/gtest.h>

#include <QDir>
#include <QTest>
#include <cstdlib>

#include "link/temp_folder.h"
#include "ui/connection_setup_form.h"
#include "ui/run_chart.h"

#include "steps/step_list_ops.h"
#include "ui/step_editor_panel.h"
#include "ui/step_editor_widget.h"

namespace kv {
namespace {

void ShowForALook(QWidget& widget, const QString& pngName) {
  widget.move(0, 0);
  widget.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
  if (const QString dir = qEnvironmentVariable("KV_SHOWCASE_DIR"); !dir.isEmpty()) {
    QTest::qWait(200);  // the first paint of every child
    ASSERT_TRUE(widget.grab().save(QDir(dir).filePath(pngName)));
    return;
  }
  const char* seconds = std::getenv("KV_SHOWCASE_SECONDS");
  QTest::qWait(1000 * (seconds != nullptr ? std::atoi(seconds) : 10));
}

TEST(EditorShowcase, DISABLED_BatteryRampStep) {
  StepGrid grid;
  StepEditor editor;
  AddStep(grid, editor);  // a Discharge step from the start texts

  editor.SelectFunction("Battery RAMP");
  editor.SetField(EditorField::RampTotalStep, "5");
  editor.LeaveTotalStep(SubTableKind::Ramp);
  editor.SetField(EditorField::RampStart, "0.5");
  editor.SetField(EditorField::RampRepeat, "2");
  editor.SetField(EditorField::RampLoadOffV, "2.8");
  const char* currents[] = {"1", "2", "3", "2.5", "1.5"};
  const char* times[] = {"10", "10", "20", "30", "15"};
  for (int k = 1; k <= 5; ++k) {
    editor.Table(SubTableKind::Ramp).SetCell(1, k, currents[k - 1]);
    editor.Table(SubTableKind::Ramp).SetCell(2, k, times[k - 1]);
  }
  AddStep(grid, editor);
  grid.SetCurrentCell(2, 1);

  if (const char* other = std::getenv("KV_SHOWCASE_FUNCTION")) {
    editor.SelectFunction(other);
  }
  StepEditorWidget widget(grid, editor);
  widget.setWindowTitle(QStringLiteral("Step editor"));
  widget.refresh();
  widget.resize(1600, 900);
  ShowForALook(widget, QStringLiteral("editor-battery-ramp.png"));
}

TEST(ConnectSetupShowcase, DISABLED_FreshInstallation) {
  test::TempFolder folder;
  ConnectionSetupForm form(folder.File("KV26.INI"), LinkSettings{}, nullptr,
                           "/home/operator/kvload");
  ShowForALook(form, QStringLiteral("connect-setup.png"));
}

TEST(ChartShowcase, DISABLED_ThreeStepDischarge) {
  RunChart chart;
  chart.resize(1200, 600);
  // Rest, a 2 A discharge, a 1 A discharge: three hours of one-second rows.
  const double amps[] = {0, 2, 1};
  double volts = 12.7;
  for (int t = 0; t < 3 * 3600; ++t) {
    const int step = t / 3600;
    if (t % 3600 == 0) {
      chart.MarkStep(t, step + 1);
    }
    volts -= amps[step] * 0.00005 + (t % 3600 == 0 && step > 0 ? amps[step] * 0.15 : 0);
    chart.AddPoint(t, volts, amps[step], volts * amps[step]);
  }
  ShowForALook(chart, QStringLiteral("run-chart.png"));
}

}  // namespace
}  // namespace kv
