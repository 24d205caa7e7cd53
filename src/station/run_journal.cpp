#include "station/run_journal.h"

#include <fcntl.h>
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
    if (error != nullptr) {
      *error = "No folder for the run journal";
    }
    return false;
  }
  const std::string name = FileNameFor(start);
  const std::string stem = name.substr(0, name.size() - 4);
  for (int n = 1; n < 100; ++n) {
    const std::string file = n == 1 ? name : stem + "-" + std::to_string(n) + ".csv";
    const std::string path = (std::filesystem::path(folder) / file).string();
    std::string why;
    if (Open(path, true, &why)) {
      log_ = &log;
      return Append(log.RowCount() == 0 ? 0 : log.RowCount() - 1);
    }
    if (errno != EEXIST) {
      if (error != nullptr) {
        *error = why;
      }
      return false;
    }
  }
  if (error != nullptr) {
    *error = "Cannot create a run journal in " + folder + ": too many journals of this second";
  }
  return false;
}

bool RunJournal::StartFile(const std::string& path, const ResultLog& log, std::string* error) {
  Finish();
  if (!Open(path, false, error)) {
    return false;
  }
  log_ = &log;
  return Append(log.RowCount() == 0 ? 0 : log.RowCount() - 1);
}

bool RunJournal::Open(const std::string& path, bool exclusive, std::string* error) {
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (exclusive ? O_EXCL : O_TRUNC);
  errno = 0;
  const int fd = ::open(path.c_str(), flags, 0666);
  if (fd < 0) {
    const int err = errno;
    if (error != nullptr) {
      *error = "Cannot create " + path + ": " + ErrnoText(err);
    }
    errno = err;
    return false;
  }
  fd_ = fd;
  path_ = path;
  error_.clear();
  rowsWritten_ = 0;
  buf_.assign(kCsvHeader);
  buf_.append("\r\n");
  // The header on disk at once: an empty journal after a crash still says
  // which run it was.
  if (!WriteAll(buf_) || !Sync()) {
    if (error != nullptr) {
      *error = error_;
    }
    return false;
  }
  SyncFolderOf(path);
  return true;
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

bool RunJournal::SyncIfDue() {
  if (fd_ < 0) {
    return false;
  }
  if (!unsynced_ || std::chrono::steady_clock::now() - lastSync_ < kSyncInterval) {
    return true;
  }
  return Sync();
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
  unsynced_ = unsynced_ || !bytes.empty();
  return true;
}

bool RunJournal::Sync() {
  errno = 0;
  if (SyncFile(fd_) != 0) {
    return Fail("Cannot write ", errno);
  }
  unsynced_ = false;
  lastSync_ = std::chrono::steady_clock::now();
  return true;
}

bool RunJournal::Fail(const std::string& what, int err) {
  error_ = what + path_ + ": " + ErrnoText(err);
  ::close(fd_);
  fd_ = -1;
  log_ = nullptr;
  return false;
}

}  // namespace kv
