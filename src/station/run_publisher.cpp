#include "station/run_publisher.h"

#include <QMetaObject>
#include <QPointer>

#include "publish/mqtt_publisher.h"
#include "runner/runner_tick.h"
#include "station/station.h"
#include "steps/step_columns.h"

namespace kv {

RunPublisher::RunPublisher(Station& station, const Clock& clock, const PublishConfig& config,
                           PublishedBench bench, QObject* parent)
    : QObject(parent), station_(station), clock_(clock) {
  state_.bench = config.bench;
  state_.program = std::move(bench.program);
  state_.version = std::move(bench.version);
  state_.list = std::move(bench.list);
  JsonBenchState offline = state_;
  offline.state = "offline";
  offline.time = clock_.Now();
  // The handlers run on the publisher's thread: they only post to this one.
  MqttPublisher::Handlers handlers;
  handlers.stop = [this] {
    QMetaObject::invokeMethod(
        this, [this] { emit remoteStopRequested(); }, Qt::QueuedConnection);
  };
  handlers.notice = [this](const std::string& text) {
    QMetaObject::invokeMethod(
        this, [this, t = QString::fromStdString(text)] { emit notice(t); }, Qt::QueuedConnection);
  };
  publisher_ = std::make_unique<MqttPublisher>(config, JsonStateLine(offline), std::move(handlers));

  state_.steps = station_.Steps().StepCount();
  PublishState("idle");
  connect(&station_, &Station::logCleared, this, [this] {
    pass_.Reset();
    step_ = 0;
    state_.steps = station_.Steps().StepCount();
  });
  connect(&station_, &Station::stepStarted, this, [this](int row, int /*previousRow*/) {
    step_ = row;
    state_.function = std::string(station_.Steps().Cell(row, kColFunction));
    pass_.OnStepStarted(row, FindStepFunction(state_.function));
    PublishState("running");
  });
  connect(&station_, &Station::runningChanged, this, [this](bool running) {
    if (running) {
      PublishState("running");
    }
  });
  connect(&station_, &Station::identified, this, [this](const QString& model) {
    state_.model = model.toStdString();
    PublishState(station_.IsRunning() ? "running" : state_.state, state_.note);
  });
  connect(&station_, &Station::rowAdded, this, [this](qsizetype index) {
    const ResultRowView row = station_.Log().RowView(static_cast<std::size_t>(index));
    publisher_->Publish("row", JsonRowLine(row, {step_, pass_.Pass()}));
  });
  connect(&station_, &Station::stepEnded, this, [this](qsizetype index) {
    publisher_->Publish(
        "step",
        JsonStepLine(station_.Summary().Steps()[static_cast<std::size_t>(index)], pass_.Pass()));
  });
  connect(&station_, &Station::message, this, [this](const QString& text) {
    const std::string message = text.toStdString();
    publisher_->Publish("message",
                        JsonMessageLine(message == kTestFinished ? "info" : "error", message));
  });
  connect(&station_, &Station::notice, this, [this](const QString& text) {
    publisher_->Publish("message", JsonMessageLine("warning", text.toStdString()));
  });
  connect(&station_, &Station::runEnded, this, &RunPublisher::OnRunEnded);
}

RunPublisher::~RunPublisher() = default;

void RunPublisher::OnRunEnded() {
  const std::optional<RunEnd>& end = station_.Summary().End();
  const RunEndReason reason = end ? end->reason : RunEndReason::Stopped;
  step_ = 0;
  state_.function.clear();
  switch (reason) {
    case RunEndReason::Completed:
      PublishState("finished");
      return;
    case RunEndReason::LinkLost:
      PublishState("link-lost", station_.LoadTurnedOff() ? "" : "load may be on");
      return;
    case RunEndReason::Stopped:
    case RunEndReason::Timeout:
    case RunEndReason::RemoteStopped:
      PublishState("stopped");
      return;
    case RunEndReason::Unrecorded:
      // Rows reopened from a file are no run of this bench: its state stands.
      return;
  }
}

void RunPublisher::PublishState(const std::string& state, const std::string& note) {
  state_.state = state;
  state_.note = note;
  state_.step = step_;
  state_.time = clock_.Now();
  publisher_->PublishState(JsonStateLine(state_));
}

void RunPublisher::PublishEnd(const std::string& endLine) {
  publisher_->Publish("end", endLine);
}

std::size_t RunPublisher::TakeUntoldDrops() {
  return publisher_->TakeUntoldDrops();
}

}  // namespace kv
