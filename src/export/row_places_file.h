#pragma once
// The places of a journal's rows in a file beside it (JOURNAL.places), so
// that a run reopened from its journal keeps its steps, passes and
// millisecond times: the rows' own cells hold none of them. One line per row
// as it is recorded; the first line holds the run's start.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "base/clock.h"
#include "export/row_places.h"

namespace kv {

/// "run.csv" -> "run.csv.places".
std::string RowPlacesPath(std::string_view journalPath);

/// The first line, CR LF included.
std::string RowPlacesHeader(const LocalDateTime& started);
/// "index,step,pass,stepsTaken,unixMs" and CR LF.
void AppendRowPlace(std::string& buf, std::size_t index, const RowRecord& record);

struct RowPlacesRead {
  /// The places of rows 0 .. rows-1 found in the file (none when it is
  /// missing or not whole).
  RowPlaces places;
  std::optional<LocalDateTime> started;
  /// Why the file was left aside; empty when it was read or is missing.
  std::string note;
};

/// The places of the first `rows` rows of a journal, from `path`. A torn
/// last line is dropped; a file that does not read as a whole is left
/// aside, since places out of order would misplace rows.
RowPlacesRead ReadRowPlaces(const std::string& path, std::size_t rows);

}  // namespace kv
