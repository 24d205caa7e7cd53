#pragma once
// A run's rows on disk as they come: the report's header and row format in
// one file per run, each row handed to the system at once (a crash of the
// program loses nothing) and forced to the disk within a second of being
// written (a power loss loses at most the last second). It never replaces
// Save Log, and it never empties a file.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "base/clock.h"
#include "base/native_file.h"
#include "results/result_log.h"

namespace kv {

class RunJournal {
 public:
  /// A row handed to the journal is on the disk within this time.
  static constexpr std::int64_t kSyncPromiseMs = 1000;
  /// Rows are synced once the oldest unsynced one is this old; the rest of
  /// the promise is for a host timer that fires late and the sync itself.
  static constexpr std::int64_t kSyncAfterMs = 750;

  /// `clock`'s tick count times the syncs; it must outlive the journal.
  explicit RunJournal(const Clock& clock) : clock_(clock) {}
  ~RunJournal();
  RunJournal(const RunJournal&) = delete;
  RunJournal& operator=(const RunJournal&) = delete;

  /// "kvload-YYYYMMDD-hhmmss.csv".
  static std::string FileNameFor(const LocalDateTime& start);

  /// Opens a new journal named after `start` in `folder` (never an existing
  /// file: a second run in the same second gets "-2", "-3" ...), writes the
  /// header and the rows `log` holds already. False with `error` naming the
  /// cause when the journal cannot be created or written.
  bool Start(const std::string& folder, const ResultLog& log, const LocalDateTime& start,
             std::string* error);
  /// The same into exactly `path`: a new file, or an existing empty one. A
  /// file that holds anything is refused, never emptied.
  bool StartFile(const std::string& path, const ResultLog& log, std::string* error);

  /// Writes every row of the log not yet written, through `rowIndex`
  /// (0-based), and syncs when due. False once a write failed (the journal
  /// then stays closed; Error() says why).
  bool Append(std::size_t rowIndex);
  /// Syncs when the oldest unsynced row is kSyncAfterMs old.
  bool SyncIfDue();
  /// Milliseconds until SyncIfDue() has work; none when all is on the disk.
  /// The host's timer calls SyncIfDue() then, and asks again (timers may
  /// fire early).
  std::optional<std::int64_t> MsUntilSyncDue() const;
  /// Syncs whatever is unsynced now.
  bool SyncNow() { return IsOpen() && (!unsynced_ || Sync()); }
  /// Syncs and closes. False when the last sync or close failed (true when
  /// nothing was open).
  bool Finish();

  bool IsOpen() const { return file_.IsOpen(); }
  const std::string& Path() const { return path_; }
  const std::string& Error() const { return error_; }
  std::size_t RowsWritten() const { return rowsWritten_; }
  /// Rows known to be on the disk.
  std::size_t RowsSynced() const { return rowsSynced_; }

 private:
  /// Opens `path` and writes the header; `taken` tells that an exclusive
  /// create found a file of that name.
  bool Open(const std::string& path, bool exclusive, std::string* error, bool* taken);
  bool Begin(const ResultLog& log, std::string* error);
  bool WriteAll(const std::string& bytes);
  bool Sync();
  bool Fail(const std::string& what, int err);

  const Clock& clock_;
  NativeFile file_;
  const ResultLog* log_ = nullptr;
  std::string path_;
  std::string error_;
  std::string buf_;
  std::size_t rowsWritten_ = 0;
  std::size_t rowsSynced_ = 0;
  bool unsynced_ = false;
  std::int64_t unsyncedSinceMs_ = 0;
};

}  // namespace kv
