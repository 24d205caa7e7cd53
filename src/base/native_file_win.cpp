#include <windows.h>

#include <cerrno>
#include <filesystem>
#include <utility>

#include "base/native_file.h"

namespace kv {

namespace {

// Paths take the standard library's narrow-to-wide conversion, as every
// other file the core opens does.
std::wstring Wide(const std::string& path) {
  return std::filesystem::path(path).wstring();
}

HANDLE Handle(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

// The Windows errors a file call here meets, as the errno values the rest of
// the program words.
int ErrnoFromLastError() {
  struct Pair {
    DWORD windows;
    int posix;
  };
  static constexpr Pair kPairs[] = {
      {ERROR_FILE_EXISTS, EEXIST},       {ERROR_ALREADY_EXISTS, EEXIST},
      {ERROR_FILE_NOT_FOUND, ENOENT},    {ERROR_PATH_NOT_FOUND, ENOENT},
      {ERROR_INVALID_NAME, ENOENT},      {ERROR_ACCESS_DENIED, EACCES},
      {ERROR_SHARING_VIOLATION, EACCES}, {ERROR_LOCK_VIOLATION, EACCES},
      {ERROR_WRITE_PROTECT, EROFS},      {ERROR_DISK_FULL, ENOSPC},
      {ERROR_HANDLE_DISK_FULL, ENOSPC},  {ERROR_DIRECTORY, EISDIR},
      {ERROR_FILE_TOO_LARGE, EFBIG},     {ERROR_NOT_SAME_DEVICE, EXDEV},
  };
  const DWORD error = ::GetLastError();
  for (const Pair& p : kPairs) {
    if (p.windows == error) {
      return p.posix;
    }
  }
  return EIO;
}

}  // namespace

ExistingFile InspectExistingFile(const std::string& path) {
  ExistingFile file;
  const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    file.regular = true;
    file.writable = (attributes & FILE_ATTRIBUTE_READONLY) == 0;
  }
  return file;
}

NativeFile::NativeFile(const std::string& path, Open how, int* error) {
  // Others may read (a viewer on the journal) and rename or delete (an
  // atomic replace by another program) while it is open.
  const DWORD access = how == Open::Exclusive ? GENERIC_WRITE : FILE_APPEND_DATA;
  const HANDLE h = ::CreateFileW(Wide(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                 nullptr, how == Open::Exclusive ? CREATE_NEW : OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    handle_ = reinterpret_cast<std::intptr_t>(h);
  } else if (error != nullptr) {
    *error = ErrnoFromLastError();
  }
}

int NativeFile::WriteAll(std::string_view bytes) {
  while (!bytes.empty()) {
    constexpr std::size_t kMaxChunk = 1u << 30;
    DWORD written = 0;
    const auto chunk = static_cast<DWORD>(bytes.size() < kMaxChunk ? bytes.size() : kMaxChunk);
    if (!::WriteFile(Handle(handle_), bytes.data(), chunk, &written, nullptr)) {
      return ErrnoFromLastError();
    }
    if (written == 0) {
      return EIO;
    }
    bytes.remove_prefix(written);
  }
  return 0;
}

int NativeFile::Sync(bool /*dataOnly*/) {
  return ::FlushFileBuffers(Handle(handle_)) ? 0 : ErrnoFromLastError();
}

void NativeFile::StartSync() {}

int NativeFile::SetMode(unsigned /*mode*/) {
  return 0;
}

std::int64_t NativeFile::Size() const {
  LARGE_INTEGER size{};
  return ::GetFileSizeEx(Handle(handle_), &size) ? static_cast<std::int64_t>(size.QuadPart) : -1;
}

int NativeFile::Close() {
  if (!IsOpen()) {
    return 0;
  }
  return ::CloseHandle(Handle(std::exchange(handle_, kClosed))) ? 0 : ErrnoFromLastError();
}

bool FileNumbers(const std::string& path, std::uint64_t* device, std::uint64_t* number) {
  // No access asked for: the numbers are there for a file open elsewhere, and
  // BACKUP_SEMANTICS opens folders too.
  const HANDLE h =
      ::CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  const bool ok = ::GetFileInformationByHandle(h, &info) != 0;
  ::CloseHandle(h);
  if (ok) {
    *device = info.dwVolumeSerialNumber;
    *number = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  }
  return ok;
}

// Without REPLACE_EXISTING the rename fails once the target exists; without
// WRITE_THROUGH it may return before the rename is on the disk.
int RenameOver(const std::string& from, const std::string& to) {
  return ::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
             ? 0
             : ErrnoFromLastError();
}

void RemoveFile(const std::string& path) {
  ::DeleteFileW(Wide(path).c_str());
}

void SyncFolderOf(const std::string& /*path*/) {}

}  // namespace kv
