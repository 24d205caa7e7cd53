// Windows filled as an operator sees them, saved as the PNGs of docs/.
//   kvload-screenshots OUTPUT-FOLDER    (saves every window and leaves)
//   kvload-screenshots                  (shows each for KV_SHOWCASE_SECONDS, default 10)
// KV_SHOWCASE_FUNCTION selects another function's frame of the editor.
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <cstdlib>

#include "steps/step_list_ops.h"
#include "ui/connection_setup_form.h"
#include "ui/run_chart.h"
#include "ui/step_editor_panel.h"
#include "ui/step_editor_widget.h"

namespace {

bool ShowForALook(QWidget& widget, const QString& outDir, const QString& pngName) {
  widget.move(0, 0);
  widget.show();
  if (!QTest::qWaitForWindowExposed(&widget)) {
    std::fprintf(stderr, "kvload-screenshots: %s was never shown\n", qPrintable(pngName));
    return false;
  }
  if (!outDir.isEmpty()) {
    QTest::qWait(200);  // the first paint of every child
    const QString path = QDir(outDir).filePath(pngName);
    if (!widget.grab().save(path)) {
      std::fprintf(stderr, "kvload-screenshots: cannot write %s\n", qPrintable(path));
      return false;
    }
    return true;
  }
  const char* seconds = std::getenv("KV_SHOWCASE_SECONDS");
  QTest::qWait(1000 * (seconds != nullptr ? std::atoi(seconds) : 10));
  return true;
}

bool BatteryRampStep(const QString& outDir) {
  kv::StepGrid grid;
  kv::StepEditor editor;
  kv::AddStep(grid, editor);  // a Discharge step from the start texts

  editor.SelectFunction("Battery RAMP");
  editor.SetField(kv::EditorField::RampTotalStep, "5");
  editor.LeaveTotalStep(kv::SubTableKind::Ramp);
  editor.SetField(kv::EditorField::RampStart, "0.5");
  editor.SetField(kv::EditorField::RampRepeat, "2");
  editor.SetField(kv::EditorField::RampLoadOffV, "2.8");
  const char* currents[] = {"1", "2", "3", "2.5", "1.5"};
  const char* times[] = {"10", "10", "20", "30", "15"};
  for (int k = 1; k <= 5; ++k) {
    editor.Table(kv::SubTableKind::Ramp).SetCell(1, k, currents[k - 1]);
    editor.Table(kv::SubTableKind::Ramp).SetCell(2, k, times[k - 1]);
  }
  kv::AddStep(grid, editor);
  grid.SetCurrentCell(2, 1);

  if (const char* other = std::getenv("KV_SHOWCASE_FUNCTION")) {
    editor.SelectFunction(other);
  }
  kv::StepEditorWidget widget(grid, editor);
  widget.setWindowTitle(QStringLiteral("Step editor"));
  widget.refresh();
  widget.resize(1600, 900);
  return ShowForALook(widget, outDir, QStringLiteral("editor-battery-ramp.png"));
}

bool FreshInstallation(const QString& outDir) {
  QTemporaryDir folder;
  kv::ConnectionSetupForm form(QDir(folder.path()).filePath("KV26.INI").toStdString(),
                               kv::LinkSettings{}, nullptr, "/home/operator/kvload");
  return ShowForALook(form, outDir, QStringLiteral("connect-setup.png"));
}

bool ThreeStepDischarge(const QString& outDir) {
  kv::RunChart chart;
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
  return ShowForALook(chart, outDir, QStringLiteral("run-chart.png"));
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
  bool ok = BatteryRampStep(outDir);
  ok = FreshInstallation(outDir) && ok;
  ok = ThreeStepDischarge(outDir) && ok;
  return ok ? 0 : 1;
}
