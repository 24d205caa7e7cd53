#include "station/station.h"

#include <utility>

#include <QMetaObject>

#include "base/tick_deadline.h"
#include "results/identification.h"
#include "runner/run_control.h"
#include "runner/system_clock.h"

namespace kv {

namespace {

constexpr qint64 kNsPerMs = 1000000;

QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

Station::Station(InstrumentLink& link, const Clock& clock, QObject* parent)
    : QObject(parent), link_(link), clock_(clock), ctx_{grid_,
                                                        link_,
                                                        log_,
                                                        clock_,
                                                        [this] { return modelText_; },
                                                        &summary_} {
  Init();
}

Station::Station(InstrumentLink& link, QObject* parent)
    : QObject(parent),
      link_(link),
      ownClock_(std::make_unique<SystemClock>()),
      clock_(*ownClock_),
      ctx_{grid_, link_, log_, clock_, [this] { return modelText_; }, &summary_} {
  Init();
}

Station::~Station() {
  timer1_.Stop();
  timer2_.stop();
}

void Station::Init() {
  connect(&timer1_, &DeadlineTimer::timeout, this, &Station::OnTimer1);
  timer2_.setTimerType(Qt::PreciseTimer);
  timer2_.setSingleShot(true);
  timer2_.setInterval(kIdentifyDelayMs);
  connect(&timer2_, &QTimer::timeout, this, &Station::OnTimer2);
  connect(this, &Station::measurementsLost, this, &Station::OnLinkLost);
}

void Station::ArmTimer1(qint64 targetNs) {
  timer1TargetNs_ = targetNs;
  timer1_.Start(targetNs);
}

bool Station::ShowResults(ResultLog log, const RunSummary& summary) {
  if (IsRunning()) {
    return false;  // the runner appends to the log it has
  }
  emit logAboutToBeCleared();
  log_ = std::move(log);
  summary_.Restore(summary);
  emit logReplaced();
  return true;
}

void Station::Run() {
  tickHeld_ = false;
  emit logAboutToBeCleared();
  const RunRequest request = RunCommand(state_, ctx_);
  emit logCleared();
  if (request.enableIdentification) {
    identifyHeld_ = false;
    timer2_.start(kIdentifyDelayMs);
  }
  if (request.enableRunner) {
    // Always a full second: the identification armed above comes first, so
    // the first step starts with this run's model text.
    ArmTimer1(DeadlineTimer::NowNs() + kFirstTickMs * kNsPerMs);
  }
  PublishRunning();
}

void Station::StopBecause(RunEndReason why) {
  // The timer goes first so that no tick can start inside Stop's own write.
  timer1_.Stop();
  tickHeld_ = false;
  const bool wasBusy = busy_;
  busy_ = true;
  StopCommand(state_, ctx_, why);
  loadTurnedOff_ = !state_.offLineOwed;
  busy_ = wasBusy;
  PublishRunning();
  HoldSecuringIfOwed();
  if (busy_) {
    return;  // the transaction in progress runs the held work when it ends
  }
  if (linkLossHeld_) {
    // At once rather than from the event loop: whoever pressed Stop may be
    // about to close the window or leave the program.
    SecureLoadAfterLinkLoss();
    return;
  }
  ScheduleHeldWork();
  AnnounceIdle();
}

void Station::HoldSecuringIfOwed() {
  if (state_.offLineOwed && !securingLoad_) {
    linkLossHeld_ = true;
  }
}

void Station::AnnounceIdle() {
  if (!IsLinkBusy()) {
    emit linkIdle();
  }
}

void Station::Halt() {
  timer1_.Stop();
  tickHeld_ = false;
  // A loss found during the halted run is no longer this station's to act
  // on, unless an off line went nowhere: that one is still owed.
  linkLossHeld_ = linkLossHeld_ && state_.offLineOwed;
  HaltRunner(state_, ctx_);
  PublishRunning();
}

void Station::EndRunForLinkLoss() {
  timer1_.Stop();
  tickHeld_ = false;
  EndStepForLinkLoss(state_, ctx_);
  PublishRunning();
}

void Station::OnLinkLost() {
  if (!state_.running || securingLoad_) {
    return;
  }
  // Never inside the transaction that found it: the load is reached again
  // once that one has ended.
  linkLossHeld_ = true;
  if (!busy_) {
    ScheduleHeldWork();
  }
}

void Station::SecureLoadAfterLinkLoss() {
  linkLossHeld_ = false;
  if (!state_.running && !state_.offLineOwed) {
    // Stop or the end of the list came first, and its off line reached a
    // working link.
    AnnounceIdle();
    return;
  }
  timer1_.Stop();
  tickHeld_ = false;
  busy_ = true;
  securingLoad_ = true;
  // Named as SendOffLine chooses it: the sequence step has its own off switch.
  const bool sequence = state_.currentFunction == StepFunction::SequenceLoad;
  const QString offLine = sequence ? QStringLiteral("SEQLD:TEST OFF") : QStringLiteral("LOAD OFF");
  // Sent even when Stop was pressed during the attempt: its own line went
  // nowhere while the link was down.
  const bool turnedOff = link_.Reconnect(kSecureLoadMs) && SendOffLine(state_, link_);
  // One attempt, whatever it gave: a Stop pressed during it owes nothing more.
  state_.offLineOwed = false;
  loadTurnedOff_ = turnedOff;
  securingLoad_ = false;
  busy_ = false;
  const QString text =
      turnedOff
          ? QStringLiteral("Link lost: the load was reached again and \"%1\" was sent").arg(offLine)
          : QStringLiteral(
                "Link lost: the load could not be reached again within %1 s; "
                "it may still be on")
                .arg(kSecureLoadMs / 1000);
  emit linkLossHandled(turnedOff, text);
  emit message(text);
  EndRunForLinkLoss();
  ScheduleHeldWork();
  AnnounceIdle();
}

void Station::Identify() {
  identifyHeld_ = false;
  timer2_.start(kIdentifyDelayMs);
}

void Station::OnTimer1() {
  if (busy_) {
    tickHeld_ = true;
    return;
  }
  RunTick();
}

void Station::OnTimer2() {
  if (busy_) {
    identifyHeld_ = true;
    return;
  }
  RunIdentification();
}

void Station::RunTick() {
  tickHeld_ = false;
  busy_ = true;
  const qint64 aimedNs = timer1TargetNs_;
  emit tickStarted();
  const TickOutcome outcome = RunnerTick(state_, ctx_);
  busy_ = false;
  if (outcome.reenableTimer) {
    ArmTimer1(NextTickDeadline(aimedNs, DeadlineTimer::NowNs(), outcome.intervalMs));
  }
  PublishRunning();
  HoldSecuringIfOwed();
  emit tickFinished();
  ScheduleHeldWork();
  AnnounceIdle();
}

void Station::RunIdentification() {
  identifyHeld_ = false;
  busy_ = true;
  modelText_ = std::string(kErrRec);
  emit modelTextChanged(ToQString(modelText_));
  std::string reply = IdentifyInstrument(link_);
  modelText_ = std::move(reply);
  offered_.clear();
  for (const std::string& name : kv::OfferedFunctions(modelText_)) {
    offered_.append(ToQString(name));
  }
  busy_ = false;
  const QString text = ToQString(modelText_);
  emit modelTextChanged(text);
  emit identified(text, offered_);
  ScheduleHeldWork();
  AnnounceIdle();
}

void Station::ScheduleHeldWork() {
  if ((!tickHeld_ && !identifyHeld_ && !linkLossHeld_) || heldWorkScheduled_) {
    return;
  }
  // From the event loop rather than from here: the caller may still be
  // unwinding out of a handler.
  heldWorkScheduled_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        heldWorkScheduled_ = false;
        RunHeldWork();
      },
      Qt::QueuedConnection);
}

void Station::RunHeldWork() {
  if (busy_) {
    return;  // The transaction in progress schedules it again when it ends.
  }
  // A lost load first: nothing more of the run goes out before it is off.
  // Then an identification: a run's ticks should see its model text.
  if (linkLossHeld_) {
    SecureLoadAfterLinkLoss();
  } else if (identifyHeld_) {
    RunIdentification();
  } else if (tickHeld_) {
    RunTick();
  }
}

void Station::PublishRunning() {
  if (state_.running != publishedRunning_) {
    publishedRunning_ = state_.running;
    emit runningChanged(publishedRunning_);
  }
}

void Station::OnStepStarted(int row, int previousRow) {
  emit stepStarted(row, previousRow);
}

void Station::OnRowAdded(std::size_t index) {
  emit rowAdded(static_cast<qsizetype>(index));
}

void Station::OnMessage(std::string_view text) {
  emit message(ToQString(text));
}

void Station::OnNotice(std::string_view text) {
  emit notice(ToQString(text));
}

void Station::OnRunFinished(int lastRow) {
  emit runFinished(lastRow);
}

void Station::OnStepEnded(const StepEnd& /*end*/) {
  emit stepEnded(static_cast<qsizetype>(summary_.Steps().size()) - 1);
}

void Station::OnRunEnded(const RunEnd& /*end*/) {
  emit runEnded();
}

void Station::OnMeasurementsLost() {
  emit measurementsLost();
}

}  // namespace kv
