#pragma once
// What names a run wherever it is reported: the JSON Lines' start object and
// the metadata beside a Battery Data Format file carry the same facts.

#include <optional>
#include <string>

#include "base/clock.h"

namespace kv {

struct RunIdentity {
  std::string runId;
  std::string program;
  std::string version;
  /// As given; "-" for standard input.
  std::string listPath;
  /// Hex SHA-256 of the bytes read; empty until the list was read.
  std::string listSha256;
  std::optional<int> steps;
  /// Empty when no settings file was read (a simulated load, or refused earlier).
  std::string settingsPath;
  /// "lan", "serial", "gpib" or "sim"; empty when not settled.
  std::string linkMode;
  std::string linkAddress;
  LocalDateTime started;
};

}  // namespace kv
