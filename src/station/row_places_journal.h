#pragma once
// Keeps the places of a journal's rows beside it (see export/row_places_file)
// as they are recorded. Each batch is handed to the system at once, like the
// journal's rows, and synced when the run ends; the places are a help to a
// reopened run, not its record, so a failure only ends them: a reopened
// journal then falls back to the rows' stamps.

#include <cstddef>
#include <string>

#include "base/clock.h"
#include "base/native_file.h"
#include "export/row_places.h"

namespace kv {

class RowPlacesJournal {
 public:
  RowPlacesJournal() = default;
  ~RowPlacesJournal();
  RowPlacesJournal(const RowPlacesJournal&) = delete;
  RowPlacesJournal& operator=(const RowPlacesJournal&) = delete;

  /// Starts the places of the new journal at `journalPath`.
  void Start(const std::string& journalPath, const LocalDateTime& started);
  /// Writes the records not yet written, up to the first row not recorded.
  void Append(const RowPlaces& places);
  void Sync();
  void Finish();

  bool IsOpen() const { return file_.IsOpen(); }

 private:
  void Write(const std::string& bytes);

  NativeFile file_;
  std::size_t written_ = 0;
  std::string buf_;
};

}  // namespace kv
