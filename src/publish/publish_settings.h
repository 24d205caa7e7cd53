#pragma once
// Where a bench publishes its runs: the [Publish] section of the settings
// file, with the command line laid over it, checked as a whole before any
// load is touched. A password never lives in the settings file: only in a
// file that its owner alone can read.

#include <optional>
#include <string>
#include <string_view>

#include "link/link_settings.h"

namespace kv {

/// The settings as written; an empty broker means publishing is off.
struct PublishSettings {
  std::string broker{};  // mqtt://host[:port] or mqtts://host[:port]
  std::string bench{};   // "" : the host's name
  std::string user{};
  std::string passwordFile{};
  std::string caFile{};
  bool remoteStop = false;
  bool On() const { return !broker.empty(); }
};

/// [Publish] Broker, Bench, User, PasswordFile, CaFile and RemoteStop (1 on).
PublishSettings ReadPublishSettings(const std::string& iniPath);

struct BrokerAddress {
  bool tls = false;
  std::string host{};
  int port = 1883;
};

/// "mqtt://host", "mqtts://[::1]:8883" ...; nullopt with `error` set when it
/// does not parse or names another scheme.
std::optional<BrokerAddress> ParseBrokerUrl(std::string_view url, std::string* error);

/// Everything a connection needs, read and checked.
struct PublishConfig {
  BrokerAddress address;
  std::string bench;
  std::string user;
  std::string password;
  std::string caFile;
  bool remoteStop = false;
};

/// The checked configuration of settings that are On(), or nullopt with
/// `problem` saying what is wrong (a one-line message naming the setting).
/// `hostName` stands in for an empty bench name.
std::optional<PublishConfig> CheckPublishSettings(const PublishSettings& settings,
                                                  const std::string& hostName,
                                                  std::string* problem);

/// The topic prefix "kvload/<bench>/".
std::string BenchTopic(std::string_view bench);

}  // namespace kv
