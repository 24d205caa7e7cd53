#pragma once
// The live bench that the desktop program and the headless runner share: the
// link, the step list, the result log, the runner with its timer (Timer1) and
// the one-shot identification (Timer2).
//
// Link transactions never interleave. A tick or an identification whose timer
// fires while another one waits for the load is held and runs as soon as that
// one is done. Stop is the exception by design: its command goes out at once,
// even in the middle of a waiting query, and the interrupted tick then ends
// without sending anything more or re-arming the timer. (On GPIB the driver
// takes one call at a time: Stop's line follows the call in flight, within
// the driver's one-second time-out.)

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <memory>
#include <string>
#include <string_view>

#include "base/clock.h"
#include "link/instrument_link.h"
#include "results/result_log.h"
#include "runner/run_summary.h"
#include "runner/runner_state.h"
#include "runner/runner_tick.h"
#include "station/deadline_timer.h"
#include "steps/step_grid.h"

namespace kv {

class Station : public QObject, private RunnerObserver {
  Q_OBJECT

 public:
  /// Delay of the identification after Run or the connection dialog.
  static constexpr int kIdentifyDelayMs = 100;
  /// Delay of a run's first tick.
  static constexpr int kFirstTickMs = 1000;
  /// The whole attempt to reach a lost load again and turn it off.
  static constexpr int kSecureLoadMs = 2000;

  /// Works on `link` and reads time from `clock`; both must outlive the
  /// station. The link may be a LinkRouter or an in-process simulated load.
  Station(InstrumentLink& link, const Clock& clock, QObject* parent = nullptr);
  /// As above on the system clock.
  explicit Station(InstrumentLink& link, QObject* parent = nullptr);
  ~Station() override;

  /// Shows the rows and summary of a run that has ended (reopened from its
  /// file) as the latest run: logAboutToBeCleared, then logReplaced. False,
  /// and nothing changed, while a run goes on.
  bool ShowResults(ResultLog log, const RunSummary& summary);

  StepGrid& Steps() { return grid_; }
  const StepGrid& Steps() const { return grid_; }
  const ResultLog& Log() const { return log_; }
  const RunnerState& State() const { return state_; }
  /// The latest run: each step taken with why it ended, and how the run ended.
  const RunSummary& Summary() const { return summary_; }
  InstrumentLink& Link() { return link_; }

  /// The load's reply to "name?" ("ErrRec" while asking or when it failed);
  /// "" before the first identification.
  const std::string& ModelText() const { return modelText_; }
  /// The step functions the identified model supports, in function order.
  const QStringList& OfferedFunctionList() const { return offered_; }

  bool IsRunning() const { return state_.running; }
  /// A tick, an identification or the attempt to reach a lost load is
  /// waiting on the link right now, or that attempt is due: work that needs
  /// the link waits for linkIdle().
  bool IsLinkBusy() const { return busy_ || linkLossHeld_; }
  /// An off line did not reach a working link and the attempt to reach the
  /// load again has not been made yet (it is due or under way).
  bool IsSecuringLoad() const { return securingLoad_ || state_.offLineOwed; }
  /// The latest off line sent by Stop or by the attempt to reach a lost load
  /// was written to a working link: only then was the load turned off.
  bool LoadTurnedOff() const { return loadTurnedOff_; }
  bool IsRunnerTimerActive() const { return timer1_.IsActive() || tickHeld_; }

 public slots:
  /// Clears the log, starts over at row 1 and arms the identification and the
  /// runner's timer. Sends nothing itself.
  void Run();
  /// Sends "LOAD OFF" (or "SEQLD:TEST OFF" after a Sequence Load) at once and
  /// stops the runner for good, also from inside a tick's wait. When that
  /// line did not reach a working link, the run ends as link lost and the one
  /// attempt to reach the load again is made before Stop returns (or, inside
  /// a wait, as soon as that transaction ends).
  void Stop() { StopBecause(RunEndReason::Stopped); }
  /// Stop, with the reason the run's end carries when the off line went out.
  void StopBecause(RunEndReason why);
  /// Stops the runner without sending anything (the CSV export does this).
  void Halt();
  /// Arms the one-shot identification (after the connection dialog closes).
  void Identify();
  /// The host found the link lost during a run: the running step and the run
  /// end as "link lost" and the runner stops; nothing is sent.
  void EndRunForLinkLoss();
  /// The link was found lost (a LAN write found no connection). During a
  /// run, once the transaction that found it has ended: one attempt within
  /// kSecureLoadMs to reach the load again and turn it off, then
  /// linkLossHandled, then EndRunForLinkLoss. Lost measurements lead here
  /// too, and so does any off line (Stop, the end of the list) that did not
  /// reach a working link, whether or not the run is still going.
  void OnLinkLost();

 signals:
  /// Run is about to empty the result log; logCleared follows at once.
  void logAboutToBeCleared();
  /// Run emptied the result log.
  void logCleared();
  /// Result log row `index` (0-based) was added.
  void rowAdded(qsizetype index);
  /// ShowResults put the rows and the summary of an ended run in place.
  void logReplaced();
  /// Step list row `row` started (highlight it); `previousRow` (0: none) ends.
  void stepStarted(int row, int previousRow);
  /// The list ran to its end; `lastRow` (0: none) is no longer highlighted.
  void runFinished(int lastRow);
  /// A message for the operator ("Test Finished"); show it without blocking.
  void message(const QString& text);
  /// Something worth knowing that is not a failure (a skipped step).
  void notice(const QString& text);
  void runningChanged(bool running);
  /// The runner left a step; it is Summary().Steps()[index].
  void stepEnded(qsizetype index);
  /// The run ended (Summary().End() says how).
  void runEnded();
  /// Several ticks in a row gave no measurement: the load is as good as lost.
  void measurementsLost();
  /// After a lost link: whether the load was reached again and its off line
  /// sent; `text` says so for the operator (also sent as message()).
  void linkLossHandled(bool loadTurnedOff, const QString& text);
  /// The model text changed ("ErrRec" at the start of every identification).
  void modelTextChanged(const QString& modelText);
  /// An identification ended with `modelText`; `functions` are now offered.
  void identified(const QString& modelText, const QStringList& functions);
  /// A runner tick begins / has ended (for timing and tests).
  void tickStarted();
  void tickFinished();
  /// Nothing waits on the link and nothing is due on it: work held back for
  /// the link (a dialog, a message, the end of the program) may go ahead.
  void linkIdle();

 private:
  /// Arms Timer1 to fire at `targetNs` on the monotonic clock.
  void ArmTimer1(qint64 targetNs);
  void OnTimer1();
  void OnTimer2();
  void RunTick();
  void RunIdentification();
  void SecureLoadAfterLinkLoss();
  /// Holds the attempt to reach the load when an off line went nowhere.
  void HoldSecuringIfOwed();
  /// Emits linkIdle when nothing waits on the link or is due on it.
  void AnnounceIdle();
  /// Starts a held tick or identification once the link is free again.
  void ScheduleHeldWork();
  void RunHeldWork();
  void PublishRunning();
  void Init();

  // RunnerObserver
  void OnStepStarted(int row, int previousRow) override;
  void OnRowAdded(std::size_t index) override;
  void OnMessage(std::string_view text) override;
  void OnNotice(std::string_view text) override;
  void OnRunFinished(int lastRow) override;
  void OnStepEnded(const StepEnd& end) override;
  void OnRunEnded(const RunEnd& end) override;
  void OnMeasurementsLost() override;

  InstrumentLink& link_;
  std::unique_ptr<Clock> ownClock_;
  const Clock& clock_;
  StepGrid grid_;
  ResultLog log_;
  RunnerState state_;
  // Sees every runner event first and passes it on to the station.
  RunSummary summary_{this};
  RunnerContext ctx_;
  // The runner asks for "the rest of this second" in whole milliseconds, and
  // any timer fires a little late; both errors would add up over a run. While
  // the ticks keep their rhythm, the station aims each one at exactly one
  // second after the previous tick's aim instead (NextTickDeadline).
  DeadlineTimer timer1_;
  QTimer timer2_;
  qint64 timer1TargetNs_ = 0;
  std::string modelText_;
  QStringList offered_;
  bool busy_ = false;
  bool tickHeld_ = false;
  bool identifyHeld_ = false;
  bool linkLossHeld_ = false;
  bool securingLoad_ = false;
  bool heldWorkScheduled_ = false;
  bool publishedRunning_ = false;
  bool loadTurnedOff_ = false;
};

}  // namespace kv
