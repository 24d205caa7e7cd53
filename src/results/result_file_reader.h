#pragma once
// Reads a run journal or a CSV report back into a result log. Both are the
// report's header line and its rows; anything else is refused with the
// reason, and a refused file leaves nothing loaded. A last line without its
// line end is what a program that died mid-write leaves: it is dropped.

#include <cstdint>
#include <string>
#include <vector>

#include "results/result_log.h"

namespace kv {

/// Larger files are refused before a byte is read: at about 80 bytes a row
/// this is months of rows at one a second, more than the log is made for.
inline constexpr std::uint64_t kMaxResultFileBytes = std::uint64_t{1} << 30;

struct ResultFileRead {
  bool ok = false;
  /// The file and why it was refused; empty when ok.
  std::string error;
  ResultLog log;
  /// The files read, in order: one, or every chunk of a report from its
  /// "_0" chunk on.
  std::vector<std::string> files;
  /// The 1-based line number of a torn last line that was dropped; 0: none.
  std::size_t tornLine = 0;
};

/// Reads `path`; a report's chunk "NAME_0.CSV" brings the chunks after it.
ResultFileRead ReadResultFile(const std::string& path);

}  // namespace kv
