// The main window on a real X server (xvfb-run), with input from xdotool:
// pop-ups grab the keyboard and the close button is a WM_DELETE_WINDOW
// client message, neither of which the offscreen platform has.
#include <gmock/gmock.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

#include "link/ini_file.h"
#include "sim/simulated_load.h"
#include "station/bench.h"
#include "station/station.h"
#include "ui/desktop_message_sink.h"
#include "ui/main_form.h"
#include "ui_x11/send_delete_window.h"

namespace kv {
namespace {

const std::string kOneMinute = KV_TEST_DATA_DIR "/ui/one_minute.tsf";

void Xdotool(const QStringList& args) {
  ASSERT_EQ(QProcess::execute(QStringLiteral("xdotool"), args), 0) << args.join(' ').toStdString();
}

void ClickAt(const QWidget* widget) {
  const QPoint p = widget->mapToGlobal(widget->rect().center());
  Xdotool({"mousemove", QString::number(p.x()), QString::number(p.y()), "click", "1"});
}

TEST(MainFormX11Test, EscNeverStopsARunAndTheCloseButtonStopsItOnlyWhenConfirmed) {
  QTemporaryDir dir;
  const std::string ini = dir.filePath("KV26.INI").toStdString();
  ASSERT_TRUE(WriteIniValue(ini, kSystemSection, "AutoSaveLog", "0"));
  DesktopMessageSink sink;
  BenchOptions options;
  options.iniPath = ini;
  options.simulated = true;
  const std::unique_ptr<Bench> bench = Bench::Open(options, sink);
  MainFormOptions formOptions;
  formOptions.stepFile = kOneMinute;
  MainForm form(*bench, sink, formOptions);
  Station& station = form.station();
  // True when the run still adds rows with the load on.
  const auto runGoesOn = [&] {
    QSignalSpy rows(&station, &Station::rowAdded);
    return rows.wait(3000) && station.IsRunning() && bench->SimLoad()->InputOn();
  };
  form.move(0, 0);
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  form.runTest();
  ASSERT_TRUE(runGoesOn());

  auto* combo = form.findChild<QComboBox*>(QStringLiteral("FunctionCombo"));
  ClickAt(combo);
  ASSERT_TRUE(QTest::qWaitFor([&] { return combo->view()->isVisible(); }, 3000));
  Xdotool({"key", "Escape"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return !combo->view()->isVisible(); }, 3000));
  EXPECT_TRUE(runGoesOn());
  // With the drop-down closed the key reaches the window, which has no use for it.
  Xdotool({"key", "Escape"});
  EXPECT_TRUE(runGoesOn());

  // The close button. Each answer is a click on the question's button; the
  // questions come inside the close handler, so the clicks are scheduled before.
  QStringList questions;
  QMessageBox::StandardButton answer = QMessageBox::No;
  QTimer answerer;
  QObject::connect(&answerer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box != nullptr && box->isVisible() && !questions.contains(box->text())) {
      questions << box->text();
      EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
      ClickAt(box->button(answer));
    }
  });
  answerer.start(50);
  ASSERT_TRUE(test::SendDeleteWindow(form.winId()));
  EXPECT_TRUE(runGoesOn());
  // No is the end of it: nothing is asked about the rows.
  ASSERT_EQ(questions.size(), 1);
  EXPECT_THAT(questions.first().toStdString(), ::testing::HasSubstr("A test is running"));
  EXPECT_TRUE(form.isVisible());
  // Yes to stopping, and to leaving the rows unsaved.
  questions.clear();
  answer = QMessageBox::Yes;
  ASSERT_TRUE(test::SendDeleteWindow(form.winId()));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form.isVisible(); }, 5000));
  EXPECT_EQ(questions.size(), 2);
  EXPECT_FALSE(station.IsRunning());
  EXPECT_FALSE(bench->SimLoad()->InputOn());
}

}  // namespace
}  // namespace kv
