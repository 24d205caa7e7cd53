#pragma once
// The file calls whose POSIX and Windows forms differ, in one place: the
// exclusive create, the append that never truncates, the flush to the disk,
// the rename over an existing file and the sync of a folder. Failures are
// errno values on both systems, so one text function words them.

#include <cstdint>
#include <string>
#include <string_view>

namespace kv {

/// What an existing file allows before it is replaced.
struct ExistingFile {
  bool regular = false;  // a regular file is there (links followed)
  /// Someone may write it; a rename would get past a protection that writing
  /// in place respects.
  bool writable = true;
  unsigned mode = 0;  // permission bits to give its successor (POSIX)
};
ExistingFile InspectExistingFile(const std::string& path);

class NativeFile {
 public:
  enum class Open { Exclusive, Append };

  NativeFile() = default;
  /// Opens or creates `path` for writing, never truncating it; on failure the
  /// file is not open and `*error` holds why.
  NativeFile(const std::string& path, Open how, int* error);
  ~NativeFile();
  NativeFile(NativeFile&& other) noexcept;
  NativeFile& operator=(NativeFile&& other) noexcept;
  NativeFile(const NativeFile&) = delete;
  NativeFile& operator=(const NativeFile&) = delete;

  bool IsOpen() const { return handle_ != kClosed; }
  /// All of `bytes`, or the errno of the write that failed.
  int WriteAll(std::string_view bytes);
  /// The data on the disk; `dataOnly` lets the file's times wait.
  int Sync(bool dataOnly);
  /// Starts writing the data out without waiting (Linux only; a hint).
  void StartSync();
  /// The permission bits of an ExistingFile (POSIX; nothing on Windows).
  int SetMode(unsigned mode);
  /// Bytes in the file; -1 when unknown.
  std::int64_t Size() const;
  /// Closing reports write-back errors such as a full disk on some systems.
  int Close();

 private:
  static constexpr std::intptr_t kClosed = -1;  // also INVALID_HANDLE_VALUE
  std::intptr_t handle_ = kClosed;
};

/// The numbers that tell files apart, the same for every name of one file
/// (device and inode; volume serial and file index on Windows, which has no
/// inodes); false when no file is there.
bool FileNumbers(const std::string& path, std::uint64_t* device, std::uint64_t* number);

/// Renames `from` over `to` as one step that survives a power loss once the
/// folder is synced; 0 or an errno value.
int RenameOver(const std::string& from, const std::string& to);

/// Removes a file; failures are ignored (only for our own temporaries).
void RemoveFile(const std::string& path);

/// Makes the renames and creations inside the folder holding `path` durable
/// (Windows has no such call: MOVEFILE_WRITE_THROUGH covers the rename).
void SyncFolderOf(const std::string& path);

}  // namespace kv
