#pragma once
// NAME.bdf.json beside a Battery Data Format table: what ran where, how it
// ended, and the sign convention the table keeps, so the table can be read
// without the program that wrote it.

#include <optional>
#include <string>

#include "export/bdf_file.h"
#include "export/run_identity.h"
#include "runner/run_summary.h"

namespace kv {

/// The facts of a run that its summary does not hold.
struct BdfRunFacts {
  RunIdentity identity;
  /// The load's reply to "name?"; empty when it gave none.
  std::string model;
  /// [System] BenchName, else the host's name.
  std::string bench;
  /// None where no process status applies (the desktop program).
  std::optional<int> exitStatus;
  /// Overrides the summary's end reason ("timeout"); empty: the summary's.
  std::string reason;
  /// The table's file name as the metadata names it (no folders).
  std::string dataFile;
  BdfCounts counts;
};

/// The metadata as one JSON object, keys in a fixed order, LF line ends.
std::string BdfMetadataJson(const BdfRunFacts& facts, const RunSummary& summary);

/// The table to `path`, then its metadata to BdfMetadataPath(path), each
/// whole or not at all; no metadata when the table failed. Fills in the
/// facts' data file and counts.
BdfExportResult ExportBdfRun(const BdfSource& source, BdfRunFacts facts, const RunSummary& summary,
                             const std::string& path);

}  // namespace kv
