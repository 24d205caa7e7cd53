#pragma once
// A run's measurements as a Battery Data Format table (NAME.bdf.csv): one
// line per result row that holds a measurement, under the format's preferred
// labels with their units. Verdict rows and ticks without a measurement stay
// out, and so do rows whose cells hold no usable number (counted).
//
// Sign: the battery's view, charge positive. The load draws, so current,
// power, step capacity and step energy are negative while it does; the
// cumulative discharging columns count up from 0.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "base/clock.h"
#include "export/row_places.h"
#include "results/result_log.h"

namespace kv {

inline constexpr std::string_view kBdfHeader =
    "Test Time / s,Voltage / V,Current / A,Unix Time / s,Cycle Count / 1,Step Count / 1,"
    "Step Index / 1,Power / W,Step Capacity / Ah,Step Energy / Wh,Discharging Capacity / Ah,"
    "Discharging Energy / Wh";

/// What the table leaves open, said once in the metadata and to the operator.
struct BdfCounts {
  std::size_t rows = 0;
  /// Rows with a measurement whose numbers (or stamp) cannot be read.
  std::size_t unreadable = 0;
};

/// The run's rows to convert. `started` is the run's start, from which test
/// time counts (none: the first row's time); a row without a record in
/// `places` takes its time from its stamp and leaves the step columns empty.
struct BdfSource {
  const ResultLog& log;
  const RowPlaces& places;
  std::optional<LocalDateTime> started;
};

/// The whole table as text, CR LF line ends.
std::string FormatBdf(const BdfSource& source, BdfCounts* counts = nullptr);

struct BdfExportResult {
  bool ok = true;
  /// Which file failed and why; empty on success.
  std::string error;
  BdfCounts counts;
};

/// Writes the table to `path` as a whole or not at all.
BdfExportResult ExportBdf(const BdfSource& source, const std::string& path);

/// The metadata file beside a table: "run.bdf.csv" -> "run.bdf.json" (also
/// for "run.csv" and "run").
std::string BdfMetadataPath(std::string_view bdfPath);

}  // namespace kv
