// The desktop program's window under load, offscreen, on the built-in
// simulated load: start-up to a painted window, Open of a 32,767-step list, a
// million-row result log scrolled from end to end, the chart over a week of
// points, and the whole process's memory with the million rows.
//
//   gui_timing [--starts N] [--positions N]
//
// A frame is the time to move the view and render it into an image, as the
// window would repaint after a scroll step. Figures go to standard output as
// "figure<TAB>name<TAB>value" lines for bench/run-all.sh; words to stderr.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QProcess>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "bench_data.h"
#include "station/bench.h"
#include "station/station.h"
#include "stepfile/step_file.h"
#include "ui/desktop_message_sink.h"
#include "ui/main_form.h"
#include "week_chart.h"

namespace {

void Figure(const char* name, double value) {
  std::printf("figure\t%s\t%.4f\n", name, value);
  std::fflush(stdout);
}

std::int64_t MonotonicNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

/// Resident and peak memory of this process in MB (Linux /proc).
std::pair<double, double> ResidentMb() {
  std::ifstream status("/proc/self/status");
  std::string key;
  double rss = 0;
  double peak = 0;
  while (status >> key) {
    if (key == "VmRSS:") {
      status >> rss;
    } else if (key == "VmHWM:") {
      status >> peak;
    }
  }
  return {rss / 1024.0, peak / 1024.0};
}

double Ms(const QElapsedTimer& t) {
  return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

struct Frames {
  std::vector<double> ms;
  void Add(double v) { ms.push_back(v); }
  double Max() const { return *std::max_element(ms.begin(), ms.end()); }
  std::size_t MaxAt() const {
    return static_cast<std::size_t>(std::max_element(ms.begin(), ms.end()) - ms.begin());
  }
  double Median() const {
    std::vector<double> v = ms;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  }
};

/// The window as kvload --sim builds it, on a settings file of its own.
struct Window {
  explicit Window(const QString& folder) {
    kv::BenchOptions options;
    options.iniPath = QDir(folder).filePath(QStringLiteral("KV26.INI")).toStdString();
    options.simulated = true;
    bench = kv::Bench::Open(options, sink);
    form = std::make_unique<kv::MainForm>(*bench, sink);
    form->setMessageHandler(
        [](const QString& text) { std::fprintf(stderr, "box: %s\n", qPrintable(text)); });
  }
  kv::DesktopMessageSink sink;
  std::unique_ptr<kv::Bench> bench;
  std::unique_ptr<kv::MainForm> form;
};

// The child of a start-up measure: from the parent's clock reading before it
// started this process to the end of the window's first paint.
int StartupChild(const QString& folder) {
  const std::int64_t t0 = qEnvironmentVariable("KV_BENCH_T0").toLongLong();
  Window w(folder);
  bool painted = false;
  struct PaintSpy : QObject {
    bool* painted;
    explicit PaintSpy(bool* p) : painted(p) {}
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Paint) {
        *painted = true;
      }
      return false;
    }
  } spy(&painted);
  w.form->installEventFilter(&spy);
  w.form->show();
  while (!painted) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  QCoreApplication::processEvents();  // the paint the spy saw has run
  std::printf("%.3f\n", static_cast<double>(MonotonicNs() - t0) / 1e6);
  return 0;
}

void TimeStartup(int starts, const QString& folder) {
  Frames runs;
  for (int i = 0; i < starts; ++i) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KV_BENCH_T0"), QString::number(MonotonicNs()));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--startup-child"), folder});
    child.waitForFinished(30000);
    runs.Add(child.readAllStandardOutput().trimmed().toDouble());
  }
  std::fprintf(stderr, "start-up to a painted window: median %.1f ms, max %.1f ms over %d starts\n",
               runs.Median(), runs.Max(), starts);
  Figure("gui_startup_ms", runs.Max());
}

void TimeOpen(Window& w, const QString& folder) {
  const std::string path = QDir(folder).filePath(QStringLiteral("LONG.TSF")).toStdString();
  kv::SaveStepFile(kv::bench::LongGrid(), path);
  QImage image(w.form->size(), QImage::Format_ARGB32_Premultiplied);
  QElapsedTimer t;
  t.start();
  w.form->openStepFile(QString::fromStdString(path));
  w.form->render(&image);
  const double ms = Ms(t);
  std::fprintf(stderr, "open of %d steps and one paint: %.1f ms (%s steps shown)\n",
               kv::bench::kMaxSteps, ms, qPrintable(w.form->stepCountBox()->text()));
  Figure("gui_open_32767_ms", ms);
}

void TimeLog(Window& w, int positions) {
  // Rows as a week and a half of one-second ticks would have added them; the
  // station is told once, as after a burst of ticks, which is what the view
  // has to absorb (appending row by row is bench_result_log's figure).
  kv::Station& station = w.form->station();
  auto& log = const_cast<kv::ResultLog&>(station.Log());  // the station owns it non-const
  QElapsedTimer t;
  t.start();
  kv::bench::TypicalRowMaker maker(kv::bench::kMillion);
  for (std::size_t n = 0; n < kv::bench::kMillion; ++n) {
    log.AddNumberedRow(maker.Next());
  }
  const double fillMs = Ms(t);
  t.restart();
  emit station.rowAdded(static_cast<qsizetype>(log.RowCount() - 1));
  QCoreApplication::processEvents();
  std::fprintf(stderr, "log: %zu rows made in %.0f ms, shown in %.1f ms\n", log.RowCount(), fillMs,
               Ms(t));

  QTableView* view = w.form->resultView();
  QScrollBar* bar = view->verticalScrollBar();
  QImage image(view->size(), QImage::Format_ARGB32_Premultiplied);
  Frames frames;
  auto frame = [&](int value) {
    QElapsedTimer f;
    f.start();
    bar->setValue(value);
    view->render(&image);
    frames.Add(Ms(f));
  };
  // Top to bottom at evenly spaced positions, then page by page over the
  // first and the last hundred pages.
  const int max = bar->maximum();
  for (int i = 0; i <= positions; ++i) {
    frame(static_cast<int>(static_cast<double>(max) * i / positions));
  }
  for (int p = 0; p < 100; ++p) {
    frame(p * bar->pageStep());
    frame(max - p * bar->pageStep());
  }
  std::fprintf(stderr, "log scroll: %zu frames over %d rows, median %.2f ms, max %.2f ms\n",
               frames.ms.size(), max, frames.Median(), frames.Max());
  Figure("gui_log_frame_max_ms", frames.Max());
  const auto [rss, peak] = ResidentMb();
  std::fprintf(stderr, "process with a million rows: %.0f MB resident, %.0f MB peak\n", rss, peak);
  Figure("gui_rss_1m_rows_mb", rss);
}

void TimeChart() {
  const std::unique_ptr<kv::RunChart> chart = kv::bench::WeekChart();
  QImage image(chart->size(), QImage::Format_ARGB32_Premultiplied);
  Frames frames;
  auto frame = [&](auto&& move) {
    QElapsedTimer f;
    f.start();
    move();
    chart->render(&image);
    frames.Add(Ms(f));
  };
  chart->ShowAll();
  frame([] {});
  // Wheel steps from the whole week down to minutes, and back out.
  for (int dir : {120, -120}) {
    for (int i = 0; i < 40; ++i) {
      frame([&] {
        QWheelEvent e(QPointF(700, 300), QPointF(700, 300), QPoint(), QPoint(0, dir), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(chart.get(), &e);
      });
    }
  }
  frame([&] { chart->SetFollow(true); });
  std::fprintf(stderr,
               "chart over %zu points: %zu frames, median %.2f ms, max %.2f ms (frame %zu; the "
               "first is the whole week, 1-40 zoom in, 41-80 out)\n",
               chart->PointCount(), frames.ms.size(), frames.Median(), frames.Max(),
               frames.MaxAt());
  // The slowest five, to tell the whole week's cost from one late frame.
  std::vector<std::size_t> order(frames.ms.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::partial_sort(order.begin(), order.begin() + 5, order.end(),
                    [&](std::size_t a, std::size_t b) { return frames.ms[a] > frames.ms[b]; });
  std::fprintf(stderr, "chart: slowest frames");
  for (std::size_t i = 0; i < 5; ++i) {
    std::fprintf(stderr, " %zu (%.2f ms)", order[i], frames.ms[order[i]]);
  }
  std::fprintf(stderr, "\n");
  Figure("gui_chart_frame_max_ms", frames.Max());
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName(QString::fromUtf8(kv::kMainFormCaption));
  const QStringList args = app.arguments();
  if (args.size() == 3 && args.at(1) == QStringLiteral("--startup-child")) {
    return StartupChild(args.at(2));
  }
  auto number = [&](const char* name, int fallback) {
    const qsizetype at = args.indexOf(QString::fromLatin1(name));
    return at >= 0 && at + 1 < args.size() ? std::max(1, args.at(at + 1).toInt()) : fallback;
  };
  QTemporaryDir folder;
  if (!folder.isValid()) {
    std::fprintf(stderr, "no temporary folder\n");
    return 1;
  }
  TimeStartup(number("--starts", 5), folder.path());
  {
    Window w(folder.path());
    w.form->show();
    QCoreApplication::processEvents();
    TimeOpen(w, folder.path());
    TimeLog(w, number("--positions", 1000));
  }
  TimeChart();
  return 0;
}
