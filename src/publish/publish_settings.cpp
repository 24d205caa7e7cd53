#include "publish/publish_settings.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "link/ini_file.h"

namespace kv {

namespace {

struct Scheme {
  std::string_view prefix;
  bool tls;
  int defaultPort;
};

constexpr Scheme kSchemes[] = {{"mqtt://", false, 1883}, {"mqtts://", true, 8883}};

std::optional<int> PortNumber(std::string_view text) {
  int port = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
  if (ec != std::errc() || end != text.data() + text.size() || port < 1 || port > 65535) {
    return std::nullopt;
  }
  return port;
}

// A bench name is one topic level that no wildcard can hide in; "all" is the
// level every bench listens on.
bool UsableBenchName(std::string_view name) {
  return !name.empty() && name != "all" && name.find_first_of("/+#") == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

// The first line of a file only its owner may read; nullopt with `problem`.
std::optional<std::string> ReadPasswordFile(const std::string& path, std::string* problem) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (error || !fs::is_regular_file(status)) {
    *problem = "PasswordFile " + path + " does not exist";
    return std::nullopt;
  }
  if ((status.permissions() & (fs::perms::group_all | fs::perms::others_all)) != fs::perms::none) {
    *problem = "PasswordFile " + path + " may be read by others than its owner (chmod 600 it)";
    return std::nullopt;
  }
  std::ifstream in(path, std::ios::binary);
  std::string line;
  if (!in || !std::getline(in, line)) {
    *problem = "PasswordFile " + path + " cannot be read or is empty";
    return std::nullopt;
  }
  if (!line.empty() && line.back() == '\r') {
    line.pop_back();
  }
  return line;
}

// Loading means holding at least one PEM certificate: the TLS library would
// otherwise say so only at the first connection, long after the run began.
bool LoadsAsCaFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return in.good() && text.str().find("-----BEGIN CERTIFICATE-----") != std::string::npos;
}

}  // namespace

PublishSettings ReadPublishSettings(const std::string& iniPath) {
  const IniDocument ini = IniDocument::Load(iniPath);
  PublishSettings s;
  s.broker = ini.Value(kPublishSection, kBrokerKey, "");
  s.bench = ini.Value(kPublishSection, "Bench", "");
  s.user = ini.Value(kPublishSection, "User", "");
  s.passwordFile = ini.Value(kPublishSection, "PasswordFile", "");
  s.caFile = ini.Value(kPublishSection, "CaFile", "");
  s.remoteStop = ini.Value(kPublishSection, "RemoteStop", "0") == "1";
  return s;
}

std::optional<BrokerAddress> ParseBrokerUrl(std::string_view url, std::string* error) {
  for (const Scheme& scheme : kSchemes) {
    if (!url.starts_with(scheme.prefix)) {
      continue;
    }
    std::string_view rest = url.substr(scheme.prefix.size());
    if (rest.ends_with('/')) {
      rest.remove_suffix(1);
    }
    BrokerAddress address{scheme.tls, "", scheme.defaultPort};
    std::string_view portText;
    if (rest.starts_with('[')) {  // [IPv6]:port
      const std::size_t close = rest.find(']');
      if (close == std::string_view::npos) {
        break;
      }
      address.host = std::string(rest.substr(1, close - 1));
      rest.remove_prefix(close + 1);
      if (!rest.empty() && !rest.starts_with(':')) {
        break;
      }
      portText = rest.empty() ? "" : rest.substr(1);
    } else {
      const std::size_t colon = rest.find(':');
      address.host = std::string(rest.substr(0, colon));
      portText = colon == std::string_view::npos ? "" : rest.substr(colon + 1);
      if (colon != std::string_view::npos && portText.empty()) {
        break;
      }
    }
    if (address.host.empty() || address.host.find_first_of("/@?# ") != std::string::npos) {
      break;
    }
    if (!portText.empty()) {
      const std::optional<int> port = PortNumber(portText);
      if (!port) {
        break;
      }
      address.port = *port;
    }
    return address;
  }
  *error = "Broker " + std::string(url) +
           (url.find("://") == std::string_view::npos || url.starts_with("mqtt")
                ? " does not parse (mqtt://host:port or mqtts://host:port)"
                : " names an unknown scheme (mqtt:// or mqtts://)");
  return std::nullopt;
}

std::optional<PublishConfig> CheckPublishSettings(const PublishSettings& settings,
                                                  const std::string& hostName,
                                                  std::string* problem) {
  PublishConfig config;
  const std::optional<BrokerAddress> address = ParseBrokerUrl(settings.broker, problem);
  if (!address) {
    return std::nullopt;
  }
  config.address = *address;
  config.bench = settings.bench.empty() ? hostName : settings.bench;
  if (!UsableBenchName(config.bench)) {
    *problem =
        "Bench \"" + config.bench + "\" cannot be a topic level (empty, \"all\", or holding / + #)";
    return std::nullopt;
  }
  config.user = settings.user;
  if (!settings.passwordFile.empty()) {
    const std::optional<std::string> password = ReadPasswordFile(settings.passwordFile, problem);
    if (!password) {
      return std::nullopt;
    }
    config.password = *password;
  }
  if (!settings.caFile.empty()) {
    if (!config.address.tls) {
      *problem = "CaFile " + settings.caFile + " needs an mqtts:// broker";
      return std::nullopt;
    }
    if (!LoadsAsCaFile(settings.caFile)) {
      *problem = "CaFile " + settings.caFile + " does not load (no PEM certificate in it)";
      return std::nullopt;
    }
    config.caFile = settings.caFile;
  }
  config.remoteStop = settings.remoteStop;
  return config;
}

std::string BenchTopic(std::string_view bench) {
  return "kvload/" + std::string(bench) + "/";
}

}  // namespace kv
