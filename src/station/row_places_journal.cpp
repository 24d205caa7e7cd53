#include "station/row_places_journal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

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
  fd_ = ::open(RowPlacesPath(journalPath).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  Write(RowPlacesHeader(started));
}

void RowPlacesJournal::Append(const RowPlaces& places) {
  buf_.clear();
  for (; fd_ >= 0 && written_ < places.Size() && places.At(written_) != nullptr; ++written_) {
    AppendRowPlace(buf_, written_, *places.At(written_));
  }
  Write(buf_);
}

void RowPlacesJournal::Sync() {
  if (fd_ >= 0 && ::fdatasync(fd_) != 0) {
    Finish();
  }
}

void RowPlacesJournal::Finish() {
  if (fd_ >= 0) {
    ::fdatasync(fd_);
    ::close(fd_);
    fd_ = -1;
  }
}

// A line cut short by a failed write is what a crash leaves too: the reader
// drops it.
void RowPlacesJournal::Write(const std::string& bytes) {
  std::size_t done = 0;
  while (fd_ >= 0 && done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      Finish();
      return;
    }
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace kv
