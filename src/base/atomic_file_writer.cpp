#include "base/atomic_file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>

namespace kv {

namespace {

namespace fs = std::filesystem;

// Enough to step past stale temporaries of earlier crashes.
constexpr int kTempAttempts = 100;
constexpr std::string_view kTempSuffix = ".kvtmp";
constexpr unsigned kAnyWrite = S_IWUSR | S_IWGRP | S_IWOTH;
constexpr unsigned kModeBits = 07777;

std::string ResolvedTarget(std::string path) {
  std::error_code ec;
  if (fs::is_symlink(path, ec)) {
    const fs::path resolved = fs::weakly_canonical(path, ec);
    if (!ec) {
      return resolved.string();
    }
  }
  return path;
}

}  // namespace

void SyncFolderOf(const std::string& path) {
  const fs::path parent = fs::path(path).parent_path();
  const int dir = ::open(parent.empty() ? "." : parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

AtomicFileWriter::AtomicFileWriter(std::string path) : target_(ResolvedTarget(std::move(path))) {}

AtomicFileWriter::~AtomicFileWriter() {
  Discard();
}

bool AtomicFileWriter::Fail(AtomicWriteStage stage, int err) {
  if (error_.stage == AtomicWriteStage::None) {
    error_ = AtomicWriteError{stage, err};
  }
  Discard();
  return false;
}

void AtomicFileWriter::Discard() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (tempExists_) {
    ::unlink(temp_.c_str());
    tempExists_ = false;
  }
}

bool AtomicFileWriter::Open() {
  struct stat old {};
  if (::stat(target_.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
    if ((old.st_mode & kAnyWrite) == 0) {
      return Fail(AtomicWriteStage::ReadOnly, 0);
    }
    keepMode_ = true;
    oldMode_ = old.st_mode & kModeBits;
  }
  for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
    temp_ = target_ + std::string(kTempSuffix) + (attempt == 0 ? "" : std::to_string(attempt));
    fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0) {
      tempExists_ = true;
      return true;
    }
    if (errno != EEXIST) {
      break;
    }
  }
  return Fail(AtomicWriteStage::Create, errno);
}

bool AtomicFileWriter::Write(std::string_view bytes) {
  if (fd_ < 0) {
    return false;
  }
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      return Fail(AtomicWriteStage::Write, errno);
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool AtomicFileWriter::Commit() {
  if (!Sync() || !Replace()) {
    return false;
  }
  SyncFolderOf(target_);
  return true;
}

void AtomicFileWriter::StartSync() {
#ifdef __linux__
  // Only a hint: Sync() reports what went wrong.
  if (fd_ >= 0) {
    ::sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
  }
#endif
}

bool AtomicFileWriter::Sync() {
  if (fd_ < 0) {
    return false;
  }
  if (keepMode_ && ::fchmod(fd_, static_cast<mode_t>(oldMode_)) != 0) {
    return Fail(AtomicWriteStage::Write, errno);
  }
  if (::fsync(fd_) != 0) {
    return Fail(AtomicWriteStage::Write, errno);
  }
  // close reports write-back errors such as a full disk on some file systems.
  if (::close(std::exchange(fd_, -1)) != 0) {
    return Fail(AtomicWriteStage::Write, errno);
  }
  synced_ = true;
  return true;
}

bool AtomicFileWriter::Replace() {
  if (!synced_ || !tempExists_) {
    return false;
  }
  if (::rename(temp_.c_str(), target_.c_str()) != 0) {
    return Fail(AtomicWriteStage::Replace, errno);
  }
  tempExists_ = false;
  return true;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, AtomicWriteError* error) {
  AtomicFileWriter writer(path);
  const bool ok = writer.Open() && writer.Write(bytes) && writer.Commit();
  if (error != nullptr) {
    *error = writer.Error();
  }
  return ok;
}

}  // namespace kv
