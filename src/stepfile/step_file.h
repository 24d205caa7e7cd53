#pragma once
// Test-step files (.tsf): one line per grid row, the header row first, the 26
// cells joined by "," and every line ended by CR LF. Cell texts are moved as
// bytes, without quoting or re-encoding, so files from older installations
// load unchanged.

#include <cstddef>
#include <cstdio>
#include <string>

#include "steps/step_grid.h"

namespace kv {

struct StepFileResult {
  bool ok = true;
  /// The file and the reason, when !ok.
  std::string error;
  /// Steps written by a save, or step rows filled by a load.
  int steps = 0;
  /// Load: lines that held more than 26 fields; their extra fields are dropped.
  int longLines = 0;
  /// Load: the path was empty or named no file, so the grid is unchanged.
  bool missing = false;
};

/// Writes rows 0 to Rows()-2 of `grid` to `path`. The text goes to a
/// temporary file beside the target that then replaces it, so a failed save
/// leaves the old file as it was. A cell holding ",", CR or LF cannot be read
/// back into its place, so such a grid is not saved at all.
StepFileResult SaveStepFile(const StepGrid& grid, const std::string& path);

/// Reads `path` into `grid`: the first line is dropped, line k fills step row
/// k from column 0 on (cells past a short line's last field keep their text),
/// and the grid ends with one empty row after the last line. Lines end at
/// CR LF, a lone LF or a lone CR. A missing file or an
/// empty path leaves the grid unchanged; after a read error the lines read
/// completely so far are kept. A file of more than kMaxStepCount steps is
/// refused and leaves the grid unchanged. The current cell becomes column 0 of
/// the last row loaded.
/// `bytes`, when given, receives the bytes read.
StepFileResult LoadStepFile(StepGrid& grid, const std::string& path, std::string* bytes = nullptr);

/// LoadStepFile's reading from a stream already open (a list piped to the
/// program); `name` stands for the file in errors, `sizeHint` is the bytes
/// expected (0 when unknown).
StepFileResult LoadStepStream(StepGrid& grid, std::FILE* in, const std::string& name,
                              std::string* bytes = nullptr, std::size_t sizeHint = 0);

}  // namespace kv
