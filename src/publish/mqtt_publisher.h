#pragma once
// Hands a bench's messages to an MQTT broker from a thread of its own. The
// caller only ever appends to a bounded queue: a broker that is slow,
// refuses or vanishes can never hold up a tick, a Stop or the load's off
// line. While the broker is out of reach the queue keeps the messages; past
// its limit the oldest go, and how many went is said once. The retained
// state is kept apart, latest only, so that dropping rows never loses it.
//
// The worker connects and reconnects by itself (bounded waits only), sets a
// last will of `offline` on the state topic and, on a clean end, publishes
// that state itself. With remote Stop on it listens on kvload/<bench>/command
// and kvload/all/command for the one command there is, "stop".

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "publish/publish_settings.h"

namespace kv {

class MqttPublisher {
 public:
  static constexpr std::size_t kDefaultQueueLimit = 100000;
  /// How long the end waits for the backlog and the `offline` state.
  static constexpr int kFlushMs = 2000;

  /// Both run on the publisher's thread; they must only hand over.
  struct Handlers {
    std::function<void()> stop;                      // "stop" arrived on a command topic
    std::function<void(const std::string&)> notice;  // for the operator
  };

  /// Starts the thread; connecting happens there. `offlineState` is the
  /// state payload of the last will and of a clean end.
  MqttPublisher(PublishConfig config, std::string offlineState, Handlers handlers,
                std::size_t queueLimit = kDefaultQueueLimit);
  /// Sends what it can of the backlog and the `offline` state within
  /// kFlushMs, then disconnects.
  ~MqttPublisher();
  MqttPublisher(const MqttPublisher&) = delete;
  MqttPublisher& operator=(const MqttPublisher&) = delete;

  /// Queues `payload` for kvload/<bench>/<leaf> (QoS 1); never waits.
  void Publish(std::string_view leaf, std::string payload);
  /// The retained state; replaces one not sent yet.
  void PublishState(std::string payload);
  /// Messages queued or sent and not yet acknowledged.
  std::size_t Backlog() const;
  /// Messages dropped since the last call (each drop is told once).
  std::size_t TakeUntoldDrops();
  bool Connected() const;

 private:
  class Worker;
  std::unique_ptr<Worker> worker_;
};

}  // namespace kv
