#pragma once
// A run's rows on disk as they come: the report's header and row format in
// one file per run, each row handed to the system at once (a crash of the
// program loses nothing) and forced to the disk at least once a second (a
// power loss loses at most the last second). It never replaces Save Log.

#include <chrono>
#include <cstddef>
#include <string>

#include "base/clock.h"
#include "results/result_log.h"

namespace kv {

class RunJournal {
 public:
  static constexpr std::chrono::milliseconds kSyncInterval{1000};

  RunJournal() = default;
  ~RunJournal();
  RunJournal(const RunJournal&) = delete;
  RunJournal& operator=(const RunJournal&) = delete;

  /// "kvload-YYYYMMDD-hhmmss.csv".
  static std::string FileNameFor(const LocalDateTime& start);

  /// Opens a new journal named after `start` in `folder` (never an existing
  /// file: a second run in the same second gets "-2", "-3" ...), writes the
  /// header and the rows `log` holds already. False with `error` set when the
  /// file cannot be created.
  bool Start(const std::string& folder, const ResultLog& log, const LocalDateTime& start,
             std::string* error);
  /// The same into exactly `path`, created or emptied.
  bool StartFile(const std::string& path, const ResultLog& log, std::string* error);

  /// Writes every row of the log not yet written, through `rowIndex`
  /// (0-based), and syncs when the last sync is a second old. False once a
  /// write failed (the journal then stays closed; Error() says why).
  bool Append(std::size_t rowIndex);
  /// Syncs rows written since the last sync when that is a second ago; the
  /// host calls this from a timer so that a quiet spell keeps the promise.
  bool SyncIfDue();
  /// Syncs whatever is unsynced now.
  bool SyncNow() { return IsOpen() && (!unsynced_ || Sync()); }
  /// Syncs and closes. False when the last sync or close failed (true when
  /// nothing was open).
  bool Finish();

  bool IsOpen() const { return fd_ >= 0; }
  const std::string& Path() const { return path_; }
  const std::string& Error() const { return error_; }
  std::size_t RowsWritten() const { return rowsWritten_; }

 private:
  bool Open(const std::string& path, bool exclusive, std::string* error);
  bool WriteAll(const std::string& bytes);
  bool Sync();
  bool Fail(const std::string& what, int err);

  int fd_ = -1;
  const ResultLog* log_ = nullptr;
  std::string path_;
  std::string error_;
  std::string buf_;
  std::size_t rowsWritten_ = 0;
  bool unsynced_ = false;
  std::chrono::steady_clock::time_point lastSync_{};
};

}  // namespace kv
