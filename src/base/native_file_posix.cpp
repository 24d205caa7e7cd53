#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <utility>

#include "base/native_file.h"

namespace kv {

namespace {

constexpr unsigned kAnyWrite = S_IWUSR | S_IWGRP | S_IWOTH;
constexpr unsigned kModeBits = 07777;

int Fd(std::intptr_t handle) {
  return static_cast<int>(handle);
}

}  // namespace

ExistingFile InspectExistingFile(const std::string& path) {
  ExistingFile file;
  struct stat old {};
  if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
    file.regular = true;
    file.writable = (old.st_mode & kAnyWrite) != 0;
    file.mode = old.st_mode & kModeBits;
  }
  return file;
}

NativeFile::NativeFile(const std::string& path, Open how, int* error) {
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (how == Open::Exclusive ? O_EXCL : O_APPEND);
  errno = 0;
  const int fd = ::open(path.c_str(), flags, 0666);
  if (fd >= 0) {
    handle_ = fd;
  } else if (error != nullptr) {
    *error = errno;
  }
}

int NativeFile::WriteAll(std::string_view bytes) {
  while (!bytes.empty()) {
    errno = 0;
    const ssize_t n = ::write(Fd(handle_), bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      // A write that took nothing without an errno still failed.
      return errno != 0 ? errno : EIO;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return 0;
}

int NativeFile::Sync(bool dataOnly) {
#if defined(__linux__)
  // Data only: the file's size and times need no extra disk round trip.
  const int rc = dataOnly ? ::fdatasync(Fd(handle_)) : ::fsync(Fd(handle_));
#else
  (void)dataOnly;
  const int rc = ::fsync(Fd(handle_));
#endif
  return rc == 0 ? 0 : errno;
}

void NativeFile::StartSync() {
#if defined(__linux__)
  if (IsOpen()) {
    ::sync_file_range(Fd(handle_), 0, 0, SYNC_FILE_RANGE_WRITE);
  }
#endif
}

int NativeFile::SetMode(unsigned mode) {
  return ::fchmod(Fd(handle_), static_cast<mode_t>(mode)) == 0 ? 0 : errno;
}

std::int64_t NativeFile::Size() const {
  struct stat st {};
  if (::fstat(Fd(handle_), &st) != 0 || !S_ISREG(st.st_mode)) {
    return -1;
  }
  return static_cast<std::int64_t>(st.st_size);
}

int NativeFile::Close() {
  if (!IsOpen()) {
    return 0;
  }
  return ::close(Fd(std::exchange(handle_, kClosed))) == 0 ? 0 : errno;
}

bool FileNumbers(const std::string& path, std::uint64_t* device, std::uint64_t* number) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    return false;
  }
  *device = static_cast<std::uint64_t>(st.st_dev);
  *number = static_cast<std::uint64_t>(st.st_ino);
  return true;
}

int RenameOver(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

void RemoveFile(const std::string& path) {
  ::unlink(path.c_str());
}

// Best effort: some file systems cannot sync a folder, and the rows are safe
// on those that journal their metadata.
void SyncFolderOf(const std::string& path) {
  const std::string parent = std::filesystem::path(path).parent_path().string();
  const int dir = ::open(parent.empty() ? "." : parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

}  // namespace kv
