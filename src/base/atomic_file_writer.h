#pragma once
// Replaces a file as a whole or not at all: the bytes go to a temporary file
// in the target's folder that is renamed over the target once complete. A
// crash or a full disk leaves the old file as it was, never a truncated one.

#include <string>
#include <string_view>

#include "base/native_file.h"

namespace kv {

/// The step of an atomic write that failed; callers word the message.
enum class AtomicWriteStage {
  None,
  ReadOnly,  // the target carries no write permission at all
  Create,    // the temporary file could not be made (folder missing, no access)
  Write,     // writing, flushing or closing the temporary file
  Replace,   // the rename over the target (e.g. the target is a folder)
};

struct AtomicWriteError {
  AtomicWriteStage stage = AtomicWriteStage::None;
  /// errno of the failing call (Windows errors translated); 0 when it gave none.
  int errorNumber = 0;
};

/// Streams a file: Open(), any number of Write()s, Commit(). The rules:
/// - a target that is a symbolic link is followed: the linked file is
///   replaced and the link stays;
/// - a target without any write permission is refused (a rename would get
///   past a protection that writing in place respects);
/// - the new file gets the old file's permission bits;
/// - the data reach the disk (fsync) before the rename;
/// - the temporary file is created exclusively (a file of that name that is
///   not ours is never touched) and removed on every failure, and by the
///   destructor when Commit() was not reached.
/// The system calls behind these rules are those of base/native_file.h.
/// Commit() is Sync(), Replace() and a sync of the folder; a caller writing
/// several files calls the first two on each and SyncFolderOf() once.
class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(std::string path);
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  bool Open();
  bool Write(std::string_view bytes);
  bool Commit();
  /// Starts writing the data out without waiting for it (Linux), so that a
  /// later Sync() finds them on their way while other files are written.
  void StartSync();
  /// The data and the old file's mode on disk under the temporary name.
  bool Sync();
  /// The rename over the target, after Sync(); the folder is not synced.
  bool Replace();

  const AtomicWriteError& Error() const { return error_; }
  /// The temporary file's name ("" before Open()).
  const std::string& TempPath() const { return temp_; }

 private:
  bool Fail(AtomicWriteStage stage, int err);
  void Discard();

  std::string target_;
  std::string temp_;
  NativeFile file_;
  bool tempExists_ = false;
  bool synced_ = false;
  bool keepMode_ = false;
  unsigned oldMode_ = 0;
  AtomicWriteError error_;
};

/// The whole of `bytes` to `path` by the rules above.
bool WriteFileAtomically(const std::string& path, std::string_view bytes,
                         AtomicWriteError* error = nullptr);

}  // namespace kv
