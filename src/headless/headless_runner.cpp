#include "headless/headless_runner.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <QUuid>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <utility>

#include "base/errno_text.h"
#include "check/check_report.h"
#include "check/step_list_check.h"
#include "export/bdf_metadata.h"
#include "headless/headless_preflight.h"
#include "headless/headless_publish.h"
#include "headless/headless_reopen.h"
#include "headless/run_files.h"
#include "link/lan_endpoint.h"
#include "link/link_settings.h"
#include "link/transports/event_wait.h"
#include "link/transports/link_router.h"
#include "link/transports/tcp_transport.h"
#include "process/process_signals.h"
#include "results/csv_export.h"
#include "results/result_columns.h"
#include "runner/system_clock.h"
#include "station/bench.h"
#include "station/json_lines.h"
#include "station/row_place_recorder.h"
#include "station/run_journal_keeper.h"
#include "station/station.h"
#include "stepfile/step_file.h"
#include "steps/step_columns.h"
#include "text/quoted.h"

namespace kv {

namespace {

// After the last line, the socket or port gets this long to hand it over
// before it is closed and the program ends.
constexpr double kLinkDrainMs = 100.0;

// "3" or "2.5": as the user wrote it, without trailing zeros.
std::string FormatSeconds(double seconds) {
  return QString::number(seconds, 'g', 12).toStdString();
}

}  // namespace

HeadlessRun::HeadlessRun(Station& station, LinkWatch& watch, HeadlessConsole& console,
                         QObject* parent)
    : QObject(parent), station_(station), watch_(watch), console_(console) {
  connect(&station_, &Station::rowAdded, this, &HeadlessRun::OnRowAdded);
  connect(&station_, &Station::stepStarted, this,
          [this](int row, int /*previousRow*/) { OnStepStarted(row); });
  connect(&station_, &Station::runFinished, this, [this](int) { OnRunFinished(); });
  connect(&station_, &Station::stepEnded, this, &HeadlessRun::OnStepEnded);
  connect(&station_, &Station::runEnded, this, &HeadlessRun::OnRunEnded);
  connect(&station_, &Station::measurementsLost, this, [this] {
    if (!measurementsLost_) {
      measurementsLost_ = true;
      console_.Warn("several measurements in a row were missing; exit status will be 4");
    }
  });
  connect(&station_, &Station::identified, this,
          [this](const QString& model, const QStringList&) { OnIdentified(model); });
  connect(&station_, &Station::message, this, [this](const QString& text) {
    // The end of the list is news; every other box the station raises is
    // about the link or the load.
    const std::string message = text.toStdString();
    console_.Show(
        message == kTestFinished ? HeadlessConsole::Level::Info : HeadlessConsole::Level::Error,
        message);
  });
  connect(&station_, &Station::notice, this, [this](const QString& text) {
    console_.Show(HeadlessConsole::Level::Warning, text.toStdString());
  });
  // The end of a run waits for the transaction in progress; these say it is over.
  connect(&station_, &Station::tickFinished, this, &HeadlessRun::EmitWhenIdle,
          Qt::QueuedConnection);
  connect(&station_, &Station::identified, this, &HeadlessRun::EmitWhenIdle, Qt::QueuedConnection);
  connect(&station_, &Station::linkIdle, this, &HeadlessRun::EmitWhenIdle, Qt::QueuedConnection);
}

void HeadlessRun::Start() {
  started_ = true;
  if (timeoutSeconds_) {
    QTimer::singleShot(
        std::chrono::milliseconds(static_cast<qint64>(*timeoutSeconds_ * 1000.0)), this, [this] {
          if (!finishing_ && !interrupted_) {
            timedOut_ = true;
            StopRun("--timeout: the run took longer than " + FormatSeconds(*timeoutSeconds_) + " s",
                    RunEndReason::Timeout);
          }
        });
  }
  console_.Header();
  console_.SetProgress("identifying the load");
  station_.Run();
}

void HeadlessRun::Interrupt(int signalNumber) {
  if (interrupted_) {
    emit forcedExit();
    return;
  }
  StopRun(SignalName(signalNumber), RunEndReason::Stopped);
}

void HeadlessRun::StopRun(const std::string& cause, RunEndReason why) {
  interrupted_ = true;
  if (!finishing_ && !identified_ && abandonUnconnected_ && abandonUnconnected_()) {
    // Nothing answered yet, so nothing can have been switched on; the writes
    // the identification still makes go nowhere and need no messages.
    connectAborted_ = true;
    console_.MuteLinkFailures();
    console_.Warn(cause + " while connecting: nothing was connected");
    // Nothing to switch off, and no link to send it over: halting is enough.
    station_.Halt();
    Finish(kExitStopped);
    return;
  }
  if (finishing_) {
    console_.Warn(cause + ": the run has already ended");
    return;
  }
  console_.Warn(cause + ": stopping");
  station_.StopBecause(why);
  // A Stop over a lost link ends the run as link lost: that end and its exit
  // status stand, and the station says what became of the load.
  if (!station_.IsSecuringLoad() && !finishing_) {
    console_.Warn("the load was turned off");
  }
  Finish(kExitStopped);
}

void HeadlessRun::OnIdentified(const QString& modelText) {
  if (!started_ || identified_ || finishing_) {
    return;
  }
  identified_ = true;
  const std::string model = modelText.toStdString();
  if (model.empty() || model == kErrRec) {
    // Without a model text the runner would skip or mis-run the steps and log
    // nothing but zeros; no step has started yet, so nothing is switched.
    console_.Error((connectReport_ != nullptr ? connectReport_->NotIdentifiedLine()
                                              : "the load gave no reply to \"name?\"") +
                   "; the run was not started");
    // Ends the run as one whose link was lost, so that the summary says so
    // rather than that somebody pressed Stop.
    station_.EndRunForLinkLoss();
    Finish(kExitUnreachable);
    return;
  }
  if (connectReport_ != nullptr) {
    connectReport_->Identified();
  }
  console_.Info("load identified as " + Quoted(model));
  for (const CheckFinding& finding : CheckStepListForModel(station_.Steps(), model)) {
    if (finding.severity != Severity::Note &&
        std::find(shown_.begin(), shown_.end(), finding) == shown_.end()) {
      console_.Warn(FormatFinding(finding));
    }
  }
  console_.SetProgress("load " + Quoted(model) + ", waiting for the first step");
}

void HeadlessRun::OnRowAdded(qsizetype index) {
  const ResultRowView row = station_.Log().RowView(static_cast<std::size_t>(index));
  console_.Row(row, {stepRow_, pass_.Pass()});
  if (row[kResResult] == "FAIL") {
    failSeen_ = true;
  }
  ReportLoss();
  if (!console_.Quiet()) {
    console_.SetProgress("step " + std::to_string(stepRow_) + "/" +
                         std::to_string(station_.Steps().StepCount()) + " " + stepFunction_ +
                         " | row " + std::string(row[kResNo]) + " | " +
                         std::string(row[kResVoltage]) + " V " + std::string(row[kResCurrent]) +
                         " A | " + std::string(row[kResStepTime]));
  }
}

void HeadlessRun::OnStepStarted(int row) {
  stepRow_ = row;
  stepFunction_ = std::string(station_.Steps().Cell(row, kColFunction));
  pass_.OnStepStarted(row, FindStepFunction(stepFunction_));
  console_.Info("step " + std::to_string(row) + ": " + stepFunction_);
}

void HeadlessRun::ReportLoss() {
  if (watch_.LoadLost() && !lostReported_) {
    lostReported_ = true;
    console_.Warn("the load left " + std::to_string(LinkWatch::kLostAfter) +
                  " queries in a row unanswered; exit status will be 4");
  }
}

void HeadlessRun::OnStepEnded(qsizetype index) {
  const std::vector<StepEnd>& steps = station_.Summary().Steps();
  if (index >= 0 && static_cast<std::size_t>(index) < steps.size()) {
    console_.JsonLine(JsonStepLine(steps[static_cast<std::size_t>(index)], pass_.Pass()));
  }
}

void HeadlessRun::OnRunEnded() {
  // The station ends a run itself when it finds the link lost.
  const std::optional<RunEnd>& end = station_.Summary().End();
  if (end && end->reason == RunEndReason::LinkLost) {
    Finish(kExitUnreachable);
  }
}

void HeadlessRun::OnRunFinished() {
  ReportLoss();
  const bool lost = watch_.LoadLost() || console_.LinkFailures() > 0 || measurementsLost_;
  Finish(lost ? kExitUnreachable : failSeen_ ? kExitFailVerdict : kExitPassed);
}

void HeadlessRun::Finish(int status) {
  if (finishing_) {
    return;
  }
  finishing_ = true;
  status_ = status;
  QMetaObject::invokeMethod(this, &HeadlessRun::EmitWhenIdle, Qt::QueuedConnection);
}

void HeadlessRun::EmitWhenIdle() {
  // A Stop inside a tick's wait leaves that tick to end first; leaving the
  // event loop under it would leave its wait spinning to its bound.
  if (!finishing_ || finished_ || station_.IsLinkBusy()) {
    return;
  }
  finished_ = true;
  emit finished(status_);
}

namespace {

std::string DescribeLink(const LinkSettings& s) {
  switch (s.connectMode) {
    case kModeSerial:
      return "serial " + SerialDeviceName(s.comPort) + " at " + std::to_string(s.baudRate) +
             " baud, handshake " + std::to_string(s.handShake);
    case kModeGpib:
      return "GPIB board 0 address " + std::to_string(s.address);
    case kModeLan:
      return "LAN " + LanEndpointText(LanAddressText(s), s.lanPort);
    default:
      return "ConnectMode " + std::to_string(s.connectMode);
  }
}

/// Everything after parsing but --check; the end object of a run that ran.
int RunList(const HeadlessOptions& options, HeadlessConsole& console, ProcessSignals* signalSource,
            JsonRunIdentity& identity);

}  // namespace

int RunHeadlessProgram(const HeadlessOptions& options, HeadlessConsole& console,
                       ProcessSignals* signalSource) {
  JsonRunIdentity identity;
  identity.runId = QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
  identity.program = "kvload-run";
  identity.version = QCoreApplication::applicationVersion().toStdString();
  identity.listPath = options.stepFile;
  identity.started = SystemClock().Now();
  int status = options.checkOnly              ? RunHeadlessCheck(options, console, identity)
               : !options.fromJournal.empty() ? RunFromJournal(options, console, identity)
                                              : RunList(options, console, signalSource, identity);
  // A script reading the stream learns how it ended, refusals included.
  console.JsonStart(JsonStartLine(identity));
  JsonRunOutcome refused;
  refused.exitStatus = status;
  refused.reason = "refused";
  refused.note =
      console.LastError().empty() ? "refused before anything was connected" : console.LastError();
  console.JsonEnd(JsonEndLine(identity, refused, RunSummary()));
  // Lost rows are a report that was not written: a verdict turns into 2,
  // while a stop or an unreachable load says more and stands.
  if (console.OutputLost() && (status == kExitPassed || status == kExitFailVerdict)) {
    status = kExitUsage;
  }
  return status;
}

namespace {

// The load's reply to "name?"; empty when it gave none.
std::string AnsweredModel(const Station& station) {
  return station.ModelText() == kErrRec ? "" : station.ModelText();
}

int RunList(const HeadlessOptions& options, HeadlessConsole& console, ProcessSignals* signalSource,
            JsonRunIdentity& identity) {
  if (const auto problem = OutputTargetsProblem(
          options, options.iniPath.empty() ? DefaultIniPath() : options.iniPath)) {
    console.Error(*problem);
    return kExitUsage;
  }
  const bool simulated = options.link == HeadlessLinkKind::Sim;
  if (!simulated && !options.iniPath.empty()) {
    const QFileInfo ini(QString::fromStdString(options.iniPath));
    if (!ini.isFile() || !ini.isReadable()) {
      console.Error("cannot read the settings file " + Quoted(options.iniPath));
      return kExitUsage;
    }
  }
  BenchOptions benchOptions;
  benchOptions.iniPath = options.iniPath;
  benchOptions.simulated = simulated;
  benchOptions.simModel = options.simModel;
  benchOptions.gpibLibrary = options.gpibLibrary;
  if (!simulated) {
    benchOptions.adjust = [&options](LinkSettings fromIni) {
      return ApplyHeadlessLink(options, std::move(fromIni));
    };
  }
  // Opens nothing: the link connects on the station's first transaction.
  ConnectReport connectReport(console);
  const std::unique_ptr<Bench> bench = Bench::Open(benchOptions, connectReport);

  if (simulated) {
    identity.linkMode = "sim";
    identity.linkAddress = bench->SimulatedModel();
    console.Warn("the load is SIMULATED inside this program (model " +
                 Quoted(bench->SimulatedModel()) + "); nothing real is switched");
  } else {
    const std::string& iniPath = bench->IniPath();
    const LinkSettings& settings = bench->Settings();
    for (const std::string& w : bench->Warnings()) {
      console.Warn(w);
    }
    // The defaults would open a serial port nobody chose.
    if (options.link == HeadlessLinkKind::FromIni &&
        !QFileInfo::exists(QString::fromStdString(iniPath))) {
      console.Error("name a load: --lan, --serial, --gpib, --sim or a settings file (there is no " +
                    Quoted(iniPath) + ")");
      return kExitUsage;
    }
    if (const auto problem = UnusableSettingsProblem(settings, iniPath)) {
      console.Error(*problem);
      return kExitUsage;
    }
    const bool iniExists = QFileInfo::exists(QString::fromStdString(iniPath));
    identity.settingsPath = iniExists ? iniPath : "";
    NameLink(settings, identity);
    if (options.link == HeadlessLinkKind::FromIni) {
      console.Info("connection settings from " + Quoted(iniPath));
    }
  }
  // Refused before the load is touched, like any other unusable setting.
  std::optional<PublishConfig> publishConfig;
  if (!CheckHeadlessPublish(options, bench->IniPath(), console, &publishConfig)) {
    return kExitUsage;
  }

  LinkWatch& watch = bench->Watch();
  Station& station = bench->GetStation();
  if (!LoadHeadlessStepFile(options.stepFile, station.Steps(), console, &identity)) {
    return kExitUsage;
  }
  if (station.Steps().StepCount() == 0) {
    // Connecting, reporting "Test Finished" and leaving with 0 would tell a
    // CI job that a test passed that never ran.
    console.Error("the list " + Quoted(options.stepFile) +
                  " has no steps; nothing was run (a list needs a header line and one line a "
                  "step)");
    return kExitUsage;
  }
  std::vector<CheckFinding> findings = CheckStepList(station.Steps(), nullptr);
  ShowFindings(findings, console);
  if (options.strict && HasErrors(findings)) {
    console.Error("--strict: the list has errors (" + FormatFindingCounts(findings) +
                  "); the run was not started");
    return kExitUsage;
  }

  const SystemClock clock;
  RunJournalKeeper journal(station, clock);
  const RowPlaceRecorder places(station, clock);
  journal.KeepPlaces(places.Places());
  bool journalFailed = false;
  if (!options.journalPath.empty()) {
    // Opened before anything is connected: a run whose rows cannot be kept
    // as they come is not started at all.
    std::string error;
    if (!journal.OpenFile(options.journalPath, &error)) {
      console.Error("--journal: " + error + "; the run was not started");
      return kExitUsage;
    }
    QObject::connect(&journal, &RunJournalKeeper::failed, &journal,
                     [&console, &journalFailed](const QString& e) {
                       journalFailed = true;
                       console.Error("the journal stopped: " + e.toStdString() +
                                     "; the run goes on, exit status will be 2");
                     });
  }
  console.JsonStart(JsonStartLine(identity));
  if (!simulated) {
    connectReport.SetLink(DescribeLink(bench->Settings()));
    console.Info("connecting over " + DescribeLink(bench->Settings()));
  }

  HeadlessRun run(station, watch, console);
  run.SetShownFindings(std::move(findings));
  if (options.timeoutSeconds) {
    run.SetTimeout(*options.timeoutSeconds);
  }
  run.SetConnectReport(&connectReport);
  if (LinkRouter* router = bench->Router()) {
    if (options.connectTimeoutMs) {
      router->Tcp().SetConnectTimeoutMs(*options.connectTimeoutMs);
    }
    run.SetConnectAbort([router] {
      if (router->ConnectMode() != kModeLan || router->Tcp().IsConnected()) {
        return false;
      }
      router->Tcp().AbortConnect();
      return true;
    });
  }
  QEventLoop loop;
  QObject::connect(&run, &HeadlessRun::finished, &loop, &QEventLoop::exit);
  QObject::connect(&run, &HeadlessRun::forcedExit, &run, [&console, &identity, &station] {
    console.Warn("second signal: leaving at once; the load may still be on");
    JsonRunOutcome outcome;
    outcome.exitStatus = kExitStopped;
    outcome.reason = "stopped";
    outcome.note = "second signal: left at once; the load may still be on";
    outcome.model = AnsweredModel(station);
    console.JsonEnd(JsonEndLine(identity, outcome, station.Summary()));
    console.Finish();
    std::fflush(stdout);
    std::_Exit(kExitStopped);
  });
  if (signalSource != nullptr) {
    QObject::connect(signalSource, &ProcessSignals::received, &run, &HeadlessRun::Interrupt);
  }
  const std::unique_ptr<RunPublisher> publisher =
      StartHeadlessPublisher(publishConfig, station, clock, identity, run, console);
  run.Start();
  int status = loop.exec();

  if (!simulated && watch.LinesWritten() > 0 && !run.ConnectAborted()) {
    // The last line (LOAD OFF above all) must leave before the port closes.
    WaitMilliseconds(kLinkDrainMs);
    watch.CloseInstrument();
  }
  station.Halt();
  journal.Close();

  JsonRunOutcome outcome;
  if (!options.journalPath.empty()) {
    outcome.journalFile = options.journalPath;
  }
  outcome.model = AnsweredModel(station);
  if (outcome.model.empty() && !console.LastError().empty()) {
    outcome.note = console.LastError();  // why the load was never reached
  }
  const std::optional<RunEnd>& end = station.Summary().End();
  if (run.TimedOut() && (!end || end->reason != RunEndReason::LinkLost)) {
    outcome.reason = "timeout";  // also when the timeout came while connecting
  }
  // A file the caller asked for and did not get outweighs the verdict, not
  // a stop or a lost load: those say more about what happened to the run.
  const bool written = status == kExitPassed || status == kExitFailVerdict;
  const std::string suite =
      options.stepFile == kStandardInput
          ? "standard input"
          : QFileInfo(QString::fromStdString(options.stepFile)).fileName().toStdString();
  const RunFilesSource files{
      station.Log(),    places.Places(), station.Summary(),      station.Summary().Started(),
      &station.Steps(), suite,           AnsweredModel(station), BenchName(bench->IniPath())};
  if ((!WriteRunFiles(options, files, console, outcome) || journalFailed) && written) {
    status = kExitUsage;
  }
  if (!WriteClosingFiles(options, files, identity, status, console, outcome) && written) {
    status = kExitUsage;
  }
  outcome.exitStatus = status;
  const std::string endLine = JsonEndLine(identity, outcome, station.Summary());
  console.JsonEnd(endLine);
  EndHeadlessPublishing(publisher.get(), endLine, console);
  console.Finish();
  return status;
}

}  // namespace

}  // namespace kv
