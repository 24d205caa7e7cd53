#include "station/run_journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "base/errno_text.h"
#include "results/csv_export.h"

namespace kv {

namespace {

// Data only: the file's size and times need no extra disk round trip.
int SyncFile(int fd) {
#if defined(__linux__)
  return ::fdatasync(fd);
#else
  return ::fsync(fd);
#endif
}

// A new file's name is in its folder, which a power loss can lose as well.
// Best effort: some file systems cannot sync a folder, and the rows are safe
// on those that journal their metadata.
void SyncFolderOf(const std::string& path) {
  std::string folder = std::filesystem::path(path).parent_path().string();
  if (folder.empty()) {
    folder = ".";
  }
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

// False, with `why` as the failure's cause.
bool Refuse(std::string* error, const std::string& why) {
  if (error != nullptr) {
    *error = why;
  }
  return false;
}

}  // namespace

RunJournal::~RunJournal() {
  Finish();
}

std::string RunJournal::FileNameFor(const LocalDateTime& start) {
  char name[64];
  std::snprintf(name, sizeof name, "kvload-%04d%02d%02d-%02d%02d%02d.csv", start.year, start.month,
                start.day, start.hour, start.minute, start.second);
  return name;
}

bool RunJournal::Start(const std::string& folder, const ResultLog& log, const LocalDateTime& start,
                       std::string* error) {
  Finish();
  if (folder.empty()) {
    return Refuse(error, "No folder for the run journal");
  }
  const std::string name = FileNameFor(start);
  const std::string stem = name.substr(0, name.size() - 4);
  for (int n = 1; n < 100; ++n) {
    const std::string file = n == 1 ? name : stem + "-" + std::to_string(n) + ".csv";
    bool taken = false;
    if (Open((std::filesystem::path(folder) / file).string(), true, error, &taken)) {
      return Begin(log, error);
    }
    if (!taken) {
      return false;
    }
  }
  return Refuse(error,
                "Cannot create a run journal in " + folder + ": too many journals of this second");
}

bool RunJournal::StartFile(const std::string& path, const ResultLog& log, std::string* error) {
  Finish();
  return Open(path, false, error, nullptr) && Begin(log, error);
}

bool RunJournal::Open(const std::string& path, bool exclusive, std::string* error, bool* taken) {
  // Never O_TRUNC: the rows a crashed run left are worth more than this run.
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (exclusive ? O_EXCL : O_APPEND);
  errno = 0;
  const int fd = ::open(path.c_str(), flags, 0666);
  if (fd < 0) {
    const int err = errno;
    if (taken != nullptr) {
      *taken = err == EEXIST;
    }
    return Refuse(error, "Cannot create " + path + ": " + ErrnoText(err));
  }
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    ::close(fd);
    return Refuse(error, path + " already holds " + std::to_string(st.st_size) +
                             " bytes; a journal never empties a file: choose another name");
  }
  fd_ = fd;
  path_ = path;
  error_.clear();
  rowsWritten_ = 0;
  rowsSynced_ = 0;
  unsynced_ = false;
  buf_.assign(kCsvHeader);
  buf_.append("\r\n");
  // The header on disk at once: an empty journal after a crash still says
  // which run it was.
  if (!WriteAll(buf_) || !Sync()) {
    return Refuse(error, error_);
  }
  SyncFolderOf(path);
  return true;
}

// The rows the log holds already, and the journal's failure as the start's.
bool RunJournal::Begin(const ResultLog& log, std::string* error) {
  log_ = &log;
  return Append(log.RowCount() == 0 ? 0 : log.RowCount() - 1) || Refuse(error, error_);
}

bool RunJournal::Append(std::size_t rowIndex) {
  if (fd_ < 0 || log_ == nullptr) {
    return false;
  }
  const std::size_t end = std::min(rowIndex + 1, log_->RowCount());
  if (rowsWritten_ < end) {
    buf_.clear();
    for (std::size_t row = rowsWritten_; row < end; ++row) {
      AppendCsvRow(buf_, log_->RowView(row));
    }
    if (!WriteAll(buf_)) {
      return false;
    }
    rowsWritten_ = end;
  }
  return SyncIfDue();
}

std::optional<std::int64_t> RunJournal::MsUntilSyncDue() const {
  if (fd_ < 0 || !unsynced_) {
    return std::nullopt;
  }
  return std::max<std::int64_t>(0, unsyncedSinceMs_ + kSyncAfterMs - clock_.TickMs());
}

bool RunJournal::SyncIfDue() {
  if (fd_ < 0) {
    return false;
  }
  const std::optional<std::int64_t> due = MsUntilSyncDue();
  return !due || *due > 0 || Sync();
}

bool RunJournal::Finish() {
  if (fd_ < 0) {
    return true;  // never opened, finished, or a failure already reported
  }
  const bool synced = !unsynced_ || Sync();
  if (fd_ < 0) {
    return false;
  }
  const int fd = fd_;
  fd_ = -1;
  log_ = nullptr;
  if (::close(fd) != 0 && synced) {
    error_ = "Cannot write " + path_ + ": " + ErrnoText(errno);
    return false;
  }
  return synced;
}

// One write() per batch of rows: once it returns, the rows are the system's
// and survive the end of this process, however it ends.
bool RunJournal::WriteAll(const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    errno = 0;
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      return Fail("Cannot write ", errno);
    }
    done += static_cast<std::size_t>(n);
  }
  if (!unsynced_ && !bytes.empty()) {
    // The promise runs from the oldest row the disk may not have yet.
    unsynced_ = true;
    unsyncedSinceMs_ = clock_.TickMs();
  }
  return true;
}

bool RunJournal::Sync() {
  errno = 0;
  if (SyncFile(fd_) != 0) {
    return Fail("Cannot write ", errno);
  }
  unsynced_ = false;
  rowsSynced_ = rowsWritten_;
  return true;
}

bool RunJournal::Fail(const std::string& what, int err) {
  // A write that took nothing without an errno still failed.
  error_ = what + path_ + ": " + ErrnoText(err != 0 ? err : EIO);
  ::close(fd_);
  fd_ = -1;
  log_ = nullptr;
  return false;
}

}  // namespace kv
