#pragma once
// kvload-run's run: one Run of the station, its rows printed as they come,
// its end turned into an exit status. The same Run as the desktop program's,
// with no one watching, so it also decides when the load is out of reach and
// makes a signal stop the load before the program leaves.

#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "check/check_finding.h"
#include "headless/connect_report.h"
#include "headless/headless_console.h"
#include "headless/headless_options.h"
#include "link/link_watch.h"
#include "runner/loop_pass.h"
#include "runner/step_end.h"

namespace kv {

class Station;

class HeadlessRun : public QObject {
  Q_OBJECT
 public:
  /// All three must outlive the run; the station works on `watch`.
  HeadlessRun(Station& station, LinkWatch& watch, HeadlessConsole& console,
              QObject* parent = nullptr);

  /// Prints the report header and presses Run.
  void Start();
  /// The offer-less check's findings, shown before the run; once the load is
  /// identified, only what its model adds is shown.
  void SetShownFindings(std::vector<CheckFinding> findings) { shown_ = std::move(findings); }
  /// When the link is not connected: ends any connection attempt in progress
  /// and returns true. A signal before the load is identified then leaves at
  /// once instead of waiting out the connect bound.
  void SetConnectAbort(std::function<bool()> abandonUnconnected) {
    abandonUnconnected_ = std::move(abandonUnconnected);
  }
  /// Says why a load that gave no model text was out of reach; may be null.
  void SetConnectReport(ConnectReport* report) { connectReport_ = report; }
  /// A signal came before anything was connected.
  bool ConnectAborted() const { return connectAborted_; }
  /// SIGINT/SIGTERM: Stop at once (the load is turned off), then finish with
  /// kExitStopped once the link is free; kExitUnreachable when the off line
  /// did not reach the load. A second call leaves at once.
  void Interrupt(int signalNumber);
  /// "stop" from the lab's broker: as a signal, with its own end reason.
  void RemoteStop() { StopRun("remote stop", RunEndReason::RemoteStopped); }
  /// From Start on, the run is stopped as by a signal once it has taken
  /// `seconds`, and its end says "timeout".
  void SetTimeout(double seconds) { timeoutSeconds_ = seconds; }
  bool TimedOut() const { return timedOut_; }

 signals:
  /// The run is over and the link is idle; `status` is a HeadlessExit.
  void finished(int status);
  /// A second signal came while the first was being handled.
  void forcedExit();

 private:
  /// The one way a signal or the timeout ends the run.
  void StopRun(const std::string& cause, RunEndReason why);
  void OnIdentified(const QString& modelText);
  void OnRowAdded(qsizetype index);
  void OnStepStarted(int row);
  void OnRunFinished();
  void OnStepEnded(qsizetype index);
  void OnRunEnded();
  /// Says once that the load stopped answering.
  void ReportLoss();
  void Finish(int status);
  void EmitWhenIdle();

  Station& station_;
  LinkWatch& watch_;
  HeadlessConsole& console_;
  bool started_ = false;
  bool identified_ = false;
  bool interrupted_ = false;
  bool finishing_ = false;
  bool finished_ = false;
  bool failSeen_ = false;
  bool lostReported_ = false;
  bool measurementsLost_ = false;
  bool connectAborted_ = false;
  bool timedOut_ = false;
  std::optional<double> timeoutSeconds_;
  LoopPass pass_;
  std::vector<CheckFinding> shown_;
  std::function<bool()> abandonUnconnected_;
  ConnectReport* connectReport_ = nullptr;
  int status_ = kExitPassed;
  int stepRow_ = 0;
  std::string stepFunction_;
};

/// Everything kvload-run does after parsing: loads the settings and the step
/// file, runs the list on the chosen link in a local event loop, writes the
/// --csv report, the --summary and the --junit file, and under --format
/// jsonl opens the stream with its start object and closes it with its end
/// object, refusals included. `signalSource` (may be null) feeds
/// SIGINT/SIGTERM/SIGHUP to the run.
/// Returns the exit status.
class ProcessSignals;
int RunHeadlessProgram(const HeadlessOptions& options, HeadlessConsole& console,
                       ProcessSignals* signalSource);

}  // namespace kv
