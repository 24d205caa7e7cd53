#pragma once
// The CSV report of a result log: files of at most 32000 rows, each with the
// header line, named after the chosen file with a chunk number.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "results/result_log.h"

namespace kv {

inline constexpr std::size_t kCsvRowsPerFile = 32000;
inline constexpr std::string_view kCsvHeader =
    "NO.,StepTime,V,I,W,Ah,Wh,TotalTime,FunctionName,Result";

/// Appends one report line: the ten cells joined by "," as they stand (no
/// quoting) and CR LF. The export and the run journal both write rows so.
void AppendCsvRow(std::string& buf, const ResultRowView& cells);

struct CsvExportResult {
  bool ok = true;
  /// Which file failed and why; empty on success.
  std::string error;
  /// The chunk files written completely, in order.
  std::vector<std::string> files;
};

/// The name of chunk `chunk`: the file name part upper-cased (folders kept as
/// they are), every ".CSV" in it replaced by "_<chunk>.CSV"; a name without
/// ".CSV" stands as it is for chunk 0 and gets "_<chunk>" for later chunks.
std::string CsvChunkFileName(std::string_view chosenFileName, std::size_t chunk);

/// The chunk name of the report under `chosenFileName` that would write
/// `file` (the same file, links followed as the export follows them); empty
/// when no chunk would.
std::string CsvChunkWriting(const std::string& chosenFileName, const std::string& file);

/// Writes every row of `log` as CSV chunks. Each chunk goes to a temporary file
/// that replaces the target only when complete, so a failure leaves earlier
/// chunks whole and no truncated one. The chunks are all written, then all
/// synced, then renamed, and the folder synced once. No rows: no file, success.
CsvExportResult ExportResultLog(const ResultLog& log, const std::string& chosenFileName);

}  // namespace kv
