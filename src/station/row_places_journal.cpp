#include "station/row_places_journal.h"

#include "export/row_places_file.h"

namespace kv {

RowPlacesJournal::~RowPlacesJournal() {
  Finish();
}

void RowPlacesJournal::Start(const std::string& journalPath, const LocalDateTime& started) {
  Finish();
  written_ = 0;
  // The journal is new, so a places file already there belongs to rows that
  // are gone, and would misplace these.
  const std::string path = RowPlacesPath(journalPath);
  RemoveFile(path);
  int error = 0;
  file_ = NativeFile(path, NativeFile::Open::Exclusive, &error);
  Write(RowPlacesHeader(started));
}

void RowPlacesJournal::Append(const RowPlaces& places) {
  buf_.clear();
  for (; IsOpen() && written_ < places.Size() && places.At(written_) != nullptr; ++written_) {
    AppendRowPlace(buf_, written_, *places.At(written_));
  }
  Write(buf_);
}

void RowPlacesJournal::Sync() {
  if (IsOpen() && file_.Sync(true) != 0) {
    Finish();
  }
}

void RowPlacesJournal::Finish() {
  if (IsOpen()) {
    file_.Sync(true);
    file_.Close();
  }
}

// A line cut short by a failed write is what a crash leaves too: the reader
// drops it.
void RowPlacesJournal::Write(const std::string& bytes) {
  if (IsOpen() && !bytes.empty() && file_.WriteAll(bytes) != 0) {
    Finish();
  }
}

}  // namespace kv
