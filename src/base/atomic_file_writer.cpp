#include "base/atomic_file_writer.h"

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
  file_.Close();
  if (tempExists_) {
    RemoveFile(temp_);
    tempExists_ = false;
  }
}

bool AtomicFileWriter::Open() {
  const ExistingFile old = InspectExistingFile(target_);
  if (old.regular) {
    if (!old.writable) {
      return Fail(AtomicWriteStage::ReadOnly, 0);
    }
    keepMode_ = true;
    oldMode_ = old.mode;
  }
  int err = 0;
  for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
    temp_ = target_ + std::string(kTempSuffix) + (attempt == 0 ? "" : std::to_string(attempt));
    file_ = NativeFile(temp_, NativeFile::Open::Exclusive, &err);
    if (file_.IsOpen()) {
      tempExists_ = true;
      return true;
    }
    if (err != EEXIST) {
      break;
    }
  }
  return Fail(AtomicWriteStage::Create, err);
}

bool AtomicFileWriter::Write(std::string_view bytes) {
  if (!file_.IsOpen()) {
    return false;
  }
  const int err = file_.WriteAll(bytes);
  return err == 0 || Fail(AtomicWriteStage::Write, err);
}

bool AtomicFileWriter::Commit() {
  if (!Sync() || !Replace()) {
    return false;
  }
  SyncFolderOf(target_);
  return true;
}

void AtomicFileWriter::StartSync() {
  file_.StartSync();
}

bool AtomicFileWriter::Sync() {
  if (!file_.IsOpen()) {
    return false;
  }
  int err = keepMode_ ? file_.SetMode(oldMode_) : 0;
  if (err == 0) {
    err = file_.Sync(false);
  }
  if (err == 0) {
    err = file_.Close();
  }
  if (err != 0) {
    return Fail(AtomicWriteStage::Write, err);
  }
  synced_ = true;
  return true;
}

bool AtomicFileWriter::Replace() {
  if (!synced_ || !tempExists_) {
    return false;
  }
  if (const int err = RenameOver(temp_, target_); err != 0) {
    return Fail(AtomicWriteStage::Replace, err);
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
