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

class MainFormX11Test : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string ini = dir_.filePath("KV26.INI").toStdString();
    ASSERT_TRUE(WriteIniValue(ini, kSystemSection, "AutoSaveLog", "0"));
    BenchOptions options;
    options.iniPath = ini;
    options.simulated = true;
    bench_ = Bench::Open(options, sink_);
    MainFormOptions formOptions;
    formOptions.stepFile = kOneMinute;
    formOptions.folders.programFolder = dir_.path();
    form_ = std::make_unique<MainForm>(*bench_, sink_, formOptions);
    form_->move(0, 0);
    form_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
    QSignalSpy rows(&station(), &Station::rowAdded);
    form_->runTest();
    ASSERT_TRUE(rows.wait(3000));
    ASSERT_TRUE(bench_->SimLoad()->InputOn());
  }

  void TearDown() override { station().Halt(); }

  Station& station() { return form_->station(); }
  /// True when the run is still adding rows.
  bool RunGoesOn() {
    QSignalSpy rows(&station(), &Station::rowAdded);
    return rows.wait(3000) && station().IsRunning() && bench_->SimLoad()->InputOn();
  }

  QTemporaryDir dir_;
  DesktopMessageSink sink_;
  std::unique_ptr<Bench> bench_;
  std::unique_ptr<MainForm> form_;
};

TEST_F(MainFormX11Test, EscClosesTheFunctionDropDownAndTheRunGoesOn) {
  auto* combo = form_->findChild<QComboBox*>(QStringLiteral("FunctionCombo"));
  ASSERT_NE(combo, nullptr);
  ClickAt(combo);
  ASSERT_TRUE(QTest::qWaitFor([&] { return combo->view()->isVisible(); }, 3000));
  Xdotool({"key", "Escape"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return !combo->view()->isVisible(); }, 3000));
  EXPECT_TRUE(RunGoesOn());
  // With the drop-down closed the key reaches the window, which has no use for it.
  Xdotool({"key", "Escape"});
  EXPECT_TRUE(RunGoesOn());
}

TEST_F(MainFormX11Test, TheCloseButtonAsksAndStopsTheRunOnlyWhenConfirmed) {
  // Each answer is given by a click on the question's button; the questions
  // come inside the close handler, so the clicks are scheduled before.
  QStringList questions;
  QMessageBox::StandardButton answer = QMessageBox::No;
  QTimer answerer;
  answerer.setInterval(50);
  QObject::connect(&answerer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible() || questions.contains(box->text())) {
      return;
    }
    questions << box->text();
    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
    ClickAt(box->button(answer));
  });
  answerer.start();

  ASSERT_TRUE(test::SendDeleteWindow(form_->winId()));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !questions.isEmpty(); }, 5000));
  EXPECT_TRUE(RunGoesOn());
  // No is the end of it: nothing is asked about the rows.
  ASSERT_EQ(questions.size(), 1);
  EXPECT_THAT(questions.first().toStdString(), ::testing::HasSubstr("A test is running"));
  EXPECT_TRUE(form_->isVisible());

  // Yes to stopping, and to leaving the rows unsaved.
  questions.clear();
  answer = QMessageBox::Yes;
  ASSERT_TRUE(test::SendDeleteWindow(form_->winId()));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form_->isVisible(); }, 5000));
  EXPECT_EQ(questions.size(), 2);
  EXPECT_FALSE(station().IsRunning());
  EXPECT_FALSE(bench_->SimLoad()->InputOn());
}

}  // namespace
}  // namespace kv
