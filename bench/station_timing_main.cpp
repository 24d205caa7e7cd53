// Runs the live station against kvload-sim, over TCP or its pseudo-terminal,
// and reports what an operator leaving a run overnight cares about: the CPU
// time the station used, the tick period, and how soon "LOAD OFF" reaches the
// load after Stop, also while a reply is late.
//
//   station_timing [--seconds N] [--serial] [--stops N] [--reference SCRIPT]
//
// With --reference, SCRIPT (bench/pyvisa_loop.py) runs beside the station for
// the same seconds against the same simulator over TCP, and its figures are
// passed on under the link's prefix ("tcp_pyvisa_cpu_pct", ...), and the
// kernel's bare sleep (sleep_loop) beside both under "tcp_sleep_..." or
// "pty_sleep_...". The reference wakes first in each second, the sleep loop a
// quarter of a second later, the station half a second later.
//
// Figures go to standard output as "figure<TAB>name<TAB>value" lines for
// bench/run-all.sh; the same in words goes to standard error.
#include <sys/resource.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTcpServer>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/message_sink.h"
#include "link/transports/link_router.h"
#include "publish/publish_settings.h"
#include "runner/system_clock.h"
#include "station/deadline_timer.h"
#include "station/run_publisher.h"
#include "station/station.h"
#include "steps/step_columns.h"
#include "tick_periods.h"

namespace {

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class PrintingSink : public kv::MessageSink {
 public:
  void ShowMessage(std::string_view text) override {
    std::fprintf(stderr, "message: %.*s\n", static_cast<int>(text.size()), text.data());
  }
};

using kv_bench::Percentile;

// --broker dead|silent: the station publishes every run to a broker that
// refuses each connection, or takes it and never answers; the figures then
// carry that prefix.
std::string g_figurePrefix;
std::optional<kv::PublishConfig> g_publish;

std::unique_ptr<kv::RunPublisher> Publish(kv::Station& station) {
  static const kv::SystemClock clock;
  return g_publish ? std::make_unique<kv::RunPublisher>(
                         station, clock, *g_publish, kv::PublishedBench{"station_timing", "", ""})
                   : nullptr;
}

void Figure(const char* name, double value) {
  std::printf("figure\t%s%s\t%.4f\n", g_figurePrefix.c_str(), name, value);
  std::fflush(stdout);
}

// Returns after `ms` with the event loop running meanwhile.
void Pump(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
  loop.exec();
}

/// kvload-sim in its own process, so that its CPU time is not counted; a bench
/// supply answers at once and never runs flat.
class SimProcess {
 public:
  /// `withTcp` serves TCP beside the pseudo-terminal too (for the reference).
  bool Start(bool serial, const QStringList& extra, bool withTcp = false) {
    QStringList args{QStringLiteral("--source"), QStringLiteral("supply")};
    if (serial && !withTcp) {
      args << QStringLiteral("--no-tcp");
    }
    if (!serial) {
      args << QStringLiteral("--no-serial");
    }
    if (!serial || withTcp) {
      args << QStringLiteral("--port") << QStringLiteral("0");
    }
    args << extra;
    process_.start(QCoreApplication::applicationDirPath() + QStringLiteral("/kvload-sim"), args);
    if (!process_.waitForStarted() || !process_.waitForReadyRead(5000)) {
      std::fprintf(stderr, "kvload-sim did not start\n");
      return false;
    }
    // "kvload-sim ready tcp=127.0.0.1:PORT" or "kvload-sim ready serial=/dev/pts/N"
    const QByteArray ready = process_.readLine().trimmed();
    const auto word = [&](const char* key) {
      const QByteArray tail = ready.mid(ready.indexOf(key) + qsizetype(std::strlen(key)));
      return tail.left(tail.indexOf(' ') < 0 ? tail.size() : tail.indexOf(' '));
    };
    if (ready.contains("tcp=")) {
      const QByteArray address = word("tcp=");
      tcpPort_ = address.mid(address.lastIndexOf(':') + 1).toInt();
    }
    settings_ = kv::LinkSettings{};
    if (serial) {
      settings_.connectMode = kv::kModeSerial;
      settings_.comPort = word("serial=").toStdString();
    } else {
      settings_.connectMode = kv::kModeLan;
      settings_.lanIp = {127, 0, 0, 1};
      settings_.lanPort = tcpPort_;
    }
    return true;
  }
  ~SimProcess() {
    process_.kill();
    process_.waitForFinished();
  }
  QProcess& Process() { return process_; }
  const kv::LinkSettings& Settings() const { return settings_; }
  int TcpPort() const { return tcpPort_; }

 private:
  QProcess process_;
  kv::LinkSettings settings_;
  int tcpPort_ = 0;
};

void OneLongStep(kv::Station& station) {
  kv::StepGrid& grid = station.Steps();
  grid.SetRows(3);
  grid.SetCell(1, kv::kColStepNo, "1");
  grid.SetCell(1, kv::kColFunction, "Discharge");
  grid.SetCell(1, kv::kColMode, "CC");
  grid.SetCell(1, kv::kColSinkValue, "1");
  grid.SetCell(1, kv::kColTStop, "86400");
}

// Starts the reference loop against the simulator's TCP port for `seconds`.
// Returns the start of its clock (seconds of CLOCK_MONOTONIC; its deadlines
// fall a whole number of seconds after it), or nothing.
std::optional<double> StartReference(QProcess& ref, const QString& script, int port, int seconds,
                                     bool serial) {
  if (script.isEmpty()) {
    return std::nullopt;
  }
  ref.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  ref.start(script, {QStringLiteral("--port"), QString::number(port), QStringLiteral("--seconds"),
                     QString::number(seconds), QStringLiteral("--name"),
                     serial ? QStringLiteral("pty_pyvisa") : QStringLiteral("tcp_pyvisa")});
  // Its start-up (the interpreter, the imports) is over before the station's
  // run begins, so that it does not count against the station's first ticks.
  const QByteArray ready = ref.waitForReadyRead(30000) ? ref.readLine().trimmed() : QByteArray();
  bool ok = false;
  const double start = ready.startsWith("ready ") ? ready.mid(6).toDouble(&ok) : 0.0;
  if (!ok) {
    std::fprintf(stderr, "the reference loop did not start\n");
    return std::nullopt;
  }
  return start;
}

// The kernel's bare absolute sleep (sleep_loop) beside the station, its wakes
// `first` + whole seconds: the host's floor for a tick's precision.
void StartSleepLoop(QProcess& loop, double first, int seconds, bool serial) {
  loop.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  loop.start(QCoreApplication::applicationDirPath() + QStringLiteral("/sleep_loop"),
             {QStringLiteral("--first"), QString::number(first, 'f', 6),
              QStringLiteral("--seconds"), QString::number(seconds), QStringLiteral("--name"),
              serial ? QStringLiteral("pty_sleep") : QStringLiteral("tcp_sleep")});
  loop.waitForStarted();
}

// Three loops waking at once on two cores would each wait for the others, and
// the one waking last would pay for them: the station's ticks are placed half
// a second after the reference's and the sleep loop's a quarter of a second.
// Waits until a Run now puts the station's first tick (one second after it)
// there.
void WaitForStationPhase(double referenceStart) {
  const double now = static_cast<double>(kv::DeadlineTimer::NowNs()) / 1e9;
  const double phase = std::fmod(referenceStart + 0.5 - now, 1.0);
  const double wait = phase < 0.05 ? phase + 1.0 : phase;
  Pump(static_cast<int>(std::lround(wait * 1000.0)));
}

// Passes the reference's figures on once it has ended.
bool FinishReference(QProcess& ref) {
  if (ref.program().isEmpty()) {
    return true;
  }
  // waitForFinished() is false for a process that has already ended.
  if (ref.state() != QProcess::NotRunning) {
    ref.waitForFinished(30000);
  }
  if (ref.state() != QProcess::NotRunning || ref.exitStatus() != QProcess::NormalExit ||
      ref.exitCode() != 0) {
    std::fprintf(stderr, "%s failed: %s\n", qPrintable(ref.program()),
                 qPrintable(ref.errorString()));
    return false;
  }
  std::fputs(ref.readAllStandardOutput().constData(), stdout);
  std::fflush(stdout);
  return true;
}

// CPU share and tick period of a run of `seconds`, the reference beside it.
bool TimeTicks(bool serial, int seconds, const QString& reference) {
  SimProcess sim;
  if (!sim.Start(serial, {}, !reference.isEmpty())) {
    return false;
  }
  QProcess ref;
  QProcess floor;
  const std::optional<double> refStart =
      StartReference(ref, reference, sim.TcpPort(), seconds, serial);
  if (refStart) {
    StartSleepLoop(floor, *refStart + 0.25, seconds, serial);
  }
  PrintingSink sink;
  kv::LinkRouter router(sim.Settings(), sink);
  kv::Station station(router);
  const std::unique_ptr<kv::RunPublisher> publisher = Publish(station);
  OneLongStep(station);

  QElapsedTimer clock;
  std::vector<std::int64_t> tickStartsNs;
  QObject::connect(&station, &kv::Station::tickStarted,
                   [&] { tickStartsNs.push_back(clock.nsecsElapsed()); });
  QObject::connect(&station, &kv::Station::message, [](const QString& text) {
    std::fprintf(stderr, "message: %s\n", qPrintable(text));
  });
  if (refStart) {
    WaitForStationPhase(*refStart);
  }
  clock.start();
  const double cpuAtRun = CpuSeconds();
  station.Run();
  Pump(seconds * 1000 + 500);
  station.Stop();
  const double cpu = CpuSeconds() - cpuAtRun;
  const double wall = static_cast<double>(clock.nsecsElapsed()) / 1e9;

  if (tickStartsNs.size() < 3) {
    std::fprintf(stderr, "too few ticks (%zu)\n", tickStartsNs.size());
    return false;
  }
  const kv_bench::TickPeriods t = kv_bench::ReadTickPeriods(tickStartsNs);
  const std::vector<double>& errors = t.errorsMs;
  std::fprintf(stderr, "  first tick %.2f ms after Run\n",
               static_cast<double>(tickStartsNs.front()) / 1e6);
  kv_bench::PrintLatePeriods("", t);
  std::fprintf(stderr, "%s: %.1f s wall, %zu ticks, cpu %.3f s (%.3f%% of one core)\n",
               serial ? "pty" : "tcp", wall, tickStartsNs.size(), cpu, 100.0 * cpu / wall);
  std::fprintf(stderr, "  period error: median %.2f ms, p99 %.2f ms, max %.2f ms; drift %+.2f ms\n",
               Percentile(errors, 50), Percentile(errors, 99),
               *std::max_element(errors.begin(), errors.end()), t.driftMs);
  const bool tcp = !serial;
  Figure(tcp ? "tcp_cpu_pct" : "pty_cpu_pct", 100.0 * cpu / wall);
  Figure(tcp ? "tcp_tick_p99_ms" : "pty_tick_p99_ms", Percentile(errors, 99));
  Figure(tcp ? "tcp_drift_ms_per_min" : "pty_drift_ms_per_min", t.DriftPerMinute());
  const bool floorOk = FinishReference(floor);
  return FinishReference(ref) && floorOk;
}

// Stop pressed `stops` times, each in its own run: between ticks, or, with
// `replyDelayMs`, while the tick waits for a late reply. The time runs from
// the Stop call until the simulator reports the line (its log on standard
// error, read here), so the pipe is counted against us.
bool TimeStops(bool serial, int stops, int replyDelayMs) {
  SimProcess sim;
  QStringList extra{QStringLiteral("--verbose")};
  if (replyDelayMs > 0) {
    extra << QStringLiteral("--reply-delay") << QString::number(replyDelayMs);
  }
  if (!sim.Start(serial, extra)) {
    return false;
  }
  QProcess& p = sim.Process();
  PrintingSink sink;
  kv::LinkRouter router(sim.Settings(), sink);
  kv::Station station(router);
  const std::unique_ptr<kv::RunPublisher> publisher = Publish(station);
  OneLongStep(station);

  QElapsedTimer clock;
  clock.start();
  qint64 stoppedAt = -1;
  int insideWait = 0;
  std::vector<double> latencies;
  QObject::connect(&p, &QProcess::readyReadStandardError, [&] {
    while (p.canReadLine() || p.bytesAvailable() > 0) {
      const QByteArray line = p.readLine().trimmed();
      if (line.isEmpty()) {
        break;
      }
      if (stoppedAt >= 0 && line.endsWith("\tLOAD OFF")) {
        latencies.push_back(static_cast<double>(clock.nsecsElapsed() - stoppedAt) / 1e6);
        stoppedAt = -1;
      }
    }
  });
  p.setReadChannel(QProcess::StandardError);

  for (int i = 0; i < stops; ++i) {
    // Two ticks in, Stop is pressed from a timer: the slow case 100-300 ms into
    // the third tick's wait (the timer fires inside it), the other between ticks.
    const std::size_t before = latencies.size();
    const int delayMs = replyDelayMs > 0 ? 100 + 50 * (i % 5) : 300 + 97 * (i % 5);
    int ticks = 0;
    const auto c = QObject::connect(&station, &kv::Station::tickStarted, [&] {
      if (++ticks == 3) {
        QTimer::singleShot(delayMs, Qt::PreciseTimer, [&] {
          insideWait += station.IsLinkBusy() ? 1 : 0;
          stoppedAt = clock.nsecsElapsed();
          station.Stop();
        });
      }
    });
    station.Run();
    for (int waited = 0; ticks < 3 && waited < 10000; waited += 10) {
      Pump(10);
    }
    QObject::disconnect(c);
    for (int waited = 0; latencies.size() == before && waited < 2000; waited += 10) {
      Pump(10);
    }
    if (latencies.size() == before) {
      std::fprintf(stderr, "LOAD OFF never reached the simulator\n");
      latencies.push_back(2000.0);
      stoppedAt = -1;
    }
    while (station.IsLinkBusy()) {
      Pump(50);  // the interrupted wait ends before the next Run
    }
    Pump(replyDelayMs + 200);  // the late reply of the stopped tick drains
  }
  const double worst = *std::max_element(latencies.begin(), latencies.end());
  std::fprintf(
      stderr,
      "%s stop -> LOAD OFF%s: median %.2f ms, max %.2f ms over %zu stops (%d inside a wait)\n",
      serial ? "pty" : "tcp", replyDelayMs > 0 ? " during a late reply" : "",
      Percentile(latencies, 50), worst, latencies.size(), insideWait);
  if (replyDelayMs > 0) {
    Figure(serial ? "pty_stop_slow_ms" : "tcp_stop_slow_ms", worst);
  } else {
    Figure(serial ? "pty_stop_ms" : "tcp_stop_ms", worst);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  auto number = [&](const char* name, int fallback, int least) {
    const qsizetype at = args.indexOf(QString::fromLatin1(name));
    return at >= 0 && at + 1 < args.size() ? std::max(least, args.at(at + 1).toInt()) : fallback;
  };
  const int seconds = number("--seconds", 60, 3);
  const int stops = number("--stops", 10, 1);
  const bool serial = args.contains(QStringLiteral("--serial"));
  const qsizetype ref = args.indexOf(QStringLiteral("--reference"));
  const QString reference = ref >= 0 && ref + 1 < args.size() ? args.at(ref + 1) : QString();

  QTcpServer broker;  // listens, and nobody ever reads what comes in
  const qsizetype brokerAt = args.indexOf(QStringLiteral("--broker"));
  if (brokerAt >= 0 && brokerAt + 1 < args.size()) {
    const QString kind = args.at(brokerAt + 1);
    broker.listen(QHostAddress::LocalHost);
    g_publish = kv::PublishConfig{};
    g_publish->address = {false, "127.0.0.1", broker.serverPort()};
    g_publish->bench = "bench";
    g_figurePrefix = kind.toStdString() + "_broker_";
    if (kind == QStringLiteral("dead")) {
      broker.close();  // every connection refused
    }
  }
  bool ok = TimeTicks(serial, seconds, reference);
  ok = TimeStops(serial, stops, 0) && ok;
  ok = TimeStops(serial, stops, 800) && ok;
  return ok ? 0 : 1;
}
