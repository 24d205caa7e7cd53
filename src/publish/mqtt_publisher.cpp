#include "publish/mqtt_publisher.h"

#include <mqtt/async_client.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <random>
#include <thread>
#include <utility>
#include <vector>

namespace kv {

namespace {

using Clock = std::chrono::steady_clock;

// Tells this client from a bench of the same name that is still known to the
// broker (a program restarted before its old session timed out).
std::uint32_t ClientNumber() {
  std::random_device random;
  return random();
}
using std::chrono::milliseconds;

// Messages sent and not yet acknowledged; enough to keep a local broker busy.
constexpr std::size_t kWindow = 256;
constexpr int kConnectTimeoutS = 5;
constexpr int kKeepAliveS = 10;
constexpr milliseconds kSlice{50};
constexpr milliseconds kRetryMin{500};
constexpr milliseconds kRetryMax{8000};

struct Item {
  std::string topic;
  std::string payload;
  bool retained = false;
};

std::string ServerUri(const BrokerAddress& a) {
  const bool ipv6 = a.host.find(':') != std::string::npos;
  return std::string(a.tls ? "ssl://" : "tcp://") + (ipv6 ? "[" + a.host + "]" : a.host) + ":" +
         std::to_string(a.port);
}

}  // namespace

class MqttPublisher::Worker : public mqtt::callback {
 public:
  Worker(PublishConfig config, std::string offline, Handlers handlers, std::size_t limit)
      : config_(std::move(config)),
        prefix_(BenchTopic(config_.bench)),
        offline_(std::move(offline)),
        handlers_(std::move(handlers)),
        limit_(limit) {
    thread_ = std::thread([this] { Run(); });
  }

  ~Worker() override {
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }

  void Enqueue(std::string_view leaf, std::string payload) {
    {
      const std::lock_guard lock(mutex_);
      queue_.push_back({prefix_ + std::string(leaf), std::move(payload), false});
      if (queue_.size() > limit_) {
        queue_.pop_front();
        ++dropped_;
      }
    }
    wake_.notify_one();
  }

  void SetState(std::string payload) {
    {
      const std::lock_guard lock(mutex_);
      state_ = Item{prefix_ + "state", std::move(payload), true};
    }
    wake_.notify_one();
  }

  std::size_t Backlog() const {
    const std::lock_guard lock(mutex_);
    return queue_.size() + (state_ ? 1 : 0) + inWindow_.load();
  }

  std::size_t TakeUntoldDrops() { return dropped_.exchange(0); }
  bool Connected() const { return connected_.load(); }

 private:
  // mqtt::callback, on the client library's thread.
  void connection_lost(const std::string& /*cause*/) override {
    lost_ = true;
    wake_.notify_all();
  }

  void message_arrived(mqtt::const_message_ptr message) override {
    // A retained command is an old one: it must not stop a run that starts later.
    if (message->is_retained()) {
      return;
    }
    if (message->to_string() == "stop") {
      if (handlers_.stop) {
        handlers_.stop();
      }
    } else if (!ignoredSaid_.exchange(true)) {
      Tell("a command other than \"stop\" arrived on " + message->get_topic() +
           " and was ignored (said once)");
    }
  }

  void Tell(const std::string& text) {
    if (handlers_.notice) {
      handlers_.notice(text);
    }
  }

  bool Stopping() {
    const std::lock_guard lock(mutex_);
    return stopping_;
  }

  // Waits on `token` in slices until `deadline`; false on a failure, a
  // timeout, or when the end was asked for and `untilStop` holds.
  bool Await(const mqtt::token_ptr& token, Clock::time_point deadline, bool untilStop) {
    try {
      while (!token->wait_for(kSlice)) {
        if (Clock::now() >= deadline || (untilStop && Stopping())) {
          return false;
        }
      }
      return true;
    } catch (const mqtt::exception&) {
      return false;
    }
  }

  bool Connect() {
    mqtt::connect_options options;
    options.set_clean_session(true);
    options.set_keep_alive_interval(kKeepAliveS);
    options.set_connect_timeout(kConnectTimeoutS);
    options.set_max_inflight(static_cast<int>(kWindow) * 4);
    options.set_will(mqtt::will_options(mqtt::message(prefix_ + "state", offline_, 1, true)));
    if (!config_.user.empty()) {
      options.set_user_name(config_.user);
    }
    if (!config_.password.empty()) {
      options.set_password(config_.password);
    }
    if (config_.address.tls) {
      mqtt::ssl_options ssl;
      if (!config_.caFile.empty()) {
        ssl.set_trust_store(config_.caFile);
      }
      options.set_ssl(ssl);
    }
    try {
      lost_ = false;
      const auto deadline = Clock::now() + std::chrono::seconds(kConnectTimeoutS + 1);
      if (!Await(client_->connect(options), deadline, true)) {
        return false;
      }
      if (config_.remoteStop) {
        const auto subscribed =
            client_->subscribe(mqtt::string_collection::create(std::vector<std::string>{
                                   prefix_ + "command", "kvload/all/command"}),
                               mqtt::iasync_client::qos_collection{1, 1});
        if (!Await(subscribed, Clock::now() + std::chrono::seconds(kConnectTimeoutS), true)) {
          return false;
        }
      }
      return true;
    } catch (const mqtt::exception&) {
      return false;
    }
  }

  // Moves what waits for an acknowledgement back to the head of the queue:
  // after a lost connection nothing says whether it arrived (QoS 1 allows
  // the duplicate, not the loss).
  void Requeue() {
    const std::lock_guard lock(mutex_);
    for (auto it = window_.rbegin(); it != window_.rend(); ++it) {
      queue_.push_front(std::move(it->first));
    }
    window_.clear();
    inWindow_ = 0;
  }

  // Sends queued items until the window is full; false when the link failed.
  bool Fill() {
    std::deque<Item> batch;
    {
      const std::lock_guard lock(mutex_);
      if (state_ && window_.size() < kWindow) {
        batch.push_back(std::move(*state_));
        state_.reset();
      }
      while (!queue_.empty() && window_.size() + batch.size() < kWindow) {
        batch.push_back(std::move(queue_.front()));
        queue_.pop_front();
      }
      inWindow_ = window_.size() + batch.size();
    }
    for (Item& item : batch) {
      try {
        auto token = client_->publish(item.topic, item.payload.data(), item.payload.size(), 1,
                                      item.retained);
        window_.emplace_back(std::move(item), std::move(token));
      } catch (const mqtt::exception&) {
        window_.emplace_back(std::move(item), nullptr);
        return false;
      }
    }
    return true;
  }

  // Drops acknowledged messages off the window's head; false on a failure.
  bool Settle(milliseconds wait) {
    try {
      while (!window_.empty() && window_.front().second && window_.front().second->wait_for(wait)) {
        window_.pop_front();
        wait = milliseconds(0);
      }
    } catch (const mqtt::exception&) {
      return false;
    }
    inWindow_ = window_.size();
    return window_.empty() || window_.front().second != nullptr;
  }

  bool HasWork() {
    const std::lock_guard lock(mutex_);
    return state_ || !queue_.empty();
  }

  void Idle() {
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, kSlice * 4,
                   [this] { return stopping_ || state_ || !queue_.empty() || lost_; });
  }

  void Run() {
    // The client library's own buffer takes the whole window: a burst must
    // not be refused there while the connection is fine.
    mqtt::create_options create;
    create.set_max_buffered_messages(static_cast<int>(kWindow) * 2);
    client_ = std::make_unique<mqtt::async_client>(
        ServerUri(config_.address),
        "kvload-" + config_.bench + "-" + std::to_string(ClientNumber()), create,
        static_cast<mqtt::iclient_persistence*>(nullptr));
    client_->set_callback(*this);
    milliseconds retry = kRetryMin;
    bool failedOnce = false;
    while (!Stopping()) {
      if (!connected_) {
        Requeue();
        if (!Connect()) {
          if (!failedOnce) {
            failedOnce = true;
            Tell("the broker " + ServerUri(config_.address) +
                 " is out of reach; publishing keeps trying, the run goes on");
          }
          SleepUnlessStopping(retry);
          retry = std::min(retry * 2, kRetryMax);
          continue;
        }
        connected_ = true;
        retry = kRetryMin;
        if (failedOnce) {
          Tell("the broker " + ServerUri(config_.address) + " is reached; publishing");
        }
      }
      if (lost_ || !Fill() || !Settle(window_.empty() ? milliseconds(0) : kSlice)) {
        connected_ = false;
        continue;
      }
      if (window_.empty() && !HasWork()) {
        TellDrops();
        Idle();
      }
    }
    Finish();
  }

  void TellDrops() {
    if (const std::size_t n = dropped_.exchange(0); n > 0) {
      Tell("the broker was out of reach: the " + std::to_string(n) +
           " oldest messages were dropped (queue limit " + std::to_string(limit_) + ")");
    }
  }

  void SleepUnlessStopping(milliseconds time) {
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, time, [this] { return stopping_; });
  }

  // The end: the backlog and `offline`, within kFlushMs all told.
  void Finish() {
    const auto deadline = Clock::now() + milliseconds(kFlushMs);
    if (connected_ && !lost_) {
      while (Clock::now() < deadline && (HasWork() || !window_.empty())) {
        if (!Fill() || !Settle(kSlice) || lost_) {
          break;
        }
      }
      SetState(offline_);
      if (Fill()) {
        while (!window_.empty() && Clock::now() < deadline && Settle(kSlice) && !lost_) {
        }
      }
      try {
        Await(client_->disconnect(static_cast<int>(kSlice.count())), deadline, false);
      } catch (const mqtt::exception&) {
      }
    }
    try {
      client_->disable_callbacks();
    } catch (const mqtt::exception&) {
    }
    window_.clear();
    client_.reset();
  }

  const PublishConfig config_;
  const std::string prefix_;
  const std::string offline_;
  const Handlers handlers_;
  const std::size_t limit_;

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Item> queue_;
  std::optional<Item> state_;
  bool stopping_ = false;

  std::atomic<std::size_t> dropped_{0};
  std::atomic<std::size_t> inWindow_{0};
  std::atomic<bool> lost_{false};
  std::atomic<bool> connected_{false};
  std::atomic<bool> ignoredSaid_{false};

  // Worker thread only.
  std::unique_ptr<mqtt::async_client> client_;
  std::deque<std::pair<Item, mqtt::delivery_token_ptr>> window_;
  std::thread thread_;
};

MqttPublisher::MqttPublisher(PublishConfig config, std::string offlineState, Handlers handlers,
                             std::size_t queueLimit)
    : worker_(std::make_unique<Worker>(std::move(config), std::move(offlineState),
                                       std::move(handlers), queueLimit)) {}

MqttPublisher::~MqttPublisher() = default;

void MqttPublisher::Publish(std::string_view leaf, std::string payload) {
  worker_->Enqueue(leaf, std::move(payload));
}

void MqttPublisher::PublishState(std::string payload) {
  worker_->SetState(std::move(payload));
}

std::size_t MqttPublisher::Backlog() const {
  return worker_->Backlog();
}

std::size_t MqttPublisher::TakeUntoldDrops() {
  return worker_->TakeUntoldDrops();
}

bool MqttPublisher::Connected() const {
  return worker_->Connected();
}

}  // namespace kv
