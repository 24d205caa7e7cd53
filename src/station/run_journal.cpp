#include "station/run_journal.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <utility>

#include "base/errno_text.h"
#include "results/csv_export.h"

namespace kv {

namespace {

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
  // Never truncated: the rows a crashed run left are worth more than this run.
  int err = 0;
  NativeFile file(path, exclusive ? NativeFile::Open::Exclusive : NativeFile::Open::Append, &err);
  if (!file.IsOpen()) {
    if (taken != nullptr) {
      *taken = err == EEXIST;
    }
    return Refuse(error, "Cannot create " + path + ": " + ErrnoText(err));
  }
  if (const std::int64_t size = file.Size(); size > 0) {
    return Refuse(error, path + " already holds " + std::to_string(size) +
                             " bytes; a journal never empties a file: choose another name");
  }
  file_ = std::move(file);
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
  if (!file_.IsOpen() || log_ == nullptr) {
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
  if (!file_.IsOpen() || !unsynced_) {
    return std::nullopt;
  }
  return std::max<std::int64_t>(0, unsyncedSinceMs_ + kSyncAfterMs - clock_.TickMs());
}

bool RunJournal::SyncIfDue() {
  if (!file_.IsOpen()) {
    return false;
  }
  const std::optional<std::int64_t> due = MsUntilSyncDue();
  return !due || *due > 0 || Sync();
}

bool RunJournal::Finish() {
  if (!file_.IsOpen()) {
    return true;  // never opened, finished, or a failure already reported
  }
  const bool synced = !unsynced_ || Sync();
  if (!file_.IsOpen()) {
    return false;
  }
  log_ = nullptr;
  if (const int err = file_.Close(); err != 0 && synced) {
    error_ = "Cannot write " + path_ + ": " + ErrnoText(err);
    return false;
  }
  return synced;
}

// One write per batch of rows: once it returns, the rows are the system's
// and survive the end of this process, however it ends.
bool RunJournal::WriteAll(const std::string& bytes) {
  if (const int err = file_.WriteAll(bytes); err != 0) {
    return Fail("Cannot write ", err);
  }
  if (!unsynced_ && !bytes.empty()) {
    // The promise runs from the oldest row the disk may not have yet.
    unsynced_ = true;
    unsyncedSinceMs_ = clock_.TickMs();
  }
  return true;
}

bool RunJournal::Sync() {
  // Data only: the file's size and times need no extra disk round trip.
  if (const int err = file_.Sync(true); err != 0) {
    return Fail("Cannot write ", err);
  }
  unsynced_ = false;
  rowsSynced_ = rowsWritten_;
  return true;
}

bool RunJournal::Fail(const std::string& what, int err) {
  // A write that took nothing without an errno still failed.
  error_ = what + path_ + ": " + ErrnoText(err != 0 ? err : EIO);
  file_.Close();
  log_ = nullptr;
  return false;
}

}  // namespace kv
