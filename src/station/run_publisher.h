#pragma once
// A station's runs, published live to the lab's broker: the retained state,
// each result row, each step left, the operator's messages and the run's
// end, as the same JSON objects as kvload-run's JSON Lines. Everything is
// handed to the MqttPublisher's queue; nothing here waits for the broker.
// A "stop" from the broker comes back as remoteStopRequested(), for the
// host to end the run through the station's own Stop.

#include <QObject>
#include <QString>
#include <memory>
#include <string>

#include "base/clock.h"
#include "publish/publish_settings.h"
#include "runner/loop_pass.h"
#include "station/json_lines.h"

namespace kv {

class MqttPublisher;
class Station;

/// What the state names besides the run: the program and the list.
struct PublishedBench {
  std::string program;
  std::string version;
  std::string list;
};

class RunPublisher : public QObject {
  Q_OBJECT

 public:
  /// Starts publishing (connecting in the background); `station` and
  /// `clock` must outlive it.
  RunPublisher(Station& station, const Clock& clock, const PublishConfig& config,
               PublishedBench bench, QObject* parent = nullptr);
  /// Publishes `offline` and lets the backlog out, within a bound.
  ~RunPublisher() override;

  /// The run's end object, as the host built it with its exit status.
  void PublishEnd(const std::string& endLine);
  /// Messages dropped while the broker was away that nobody was told of yet.
  std::size_t TakeUntoldDrops();

 signals:
  void remoteStopRequested();
  /// Something about publishing worth telling the operator.
  void notice(const QString& text);

 private:
  void PublishState(const std::string& state, const std::string& note = {});
  void OnRunEnded();

  Station& station_;
  const Clock& clock_;
  JsonBenchState state_;
  LoopPass pass_;
  int step_ = 0;
  std::unique_ptr<MqttPublisher> publisher_;
};

}  // namespace kv
