#include "results/csv_export.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

namespace kv {

namespace {

constexpr std::string_view kCsvSuffix = ".CSV";
// Large enough that the file system sees few, big writes.
constexpr std::size_t kFlushBytes = std::size_t{1024} * 1024;

bool IsSeparator(char c) {
  if (c == '/') {
    return true;
  }
  return std::filesystem::path::preferred_separator == '\\' && c == '\\';
}

// ASCII only: bytes of other characters are left alone, so a name in a
// multi-byte encoding is never mangled.
char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string ErrnoText(int err) {
  return err != 0 ? std::generic_category().message(err) : std::string("unknown error");
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// A fresh temporary beside the target (same folder, so the final rename is
// atomic); exclusive creation never clobbers a file that is not ours.
FilePtr CreateTemp(const std::string& target, std::string& tempName, int& err) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempName = target + ".part" + (attempt == 0 ? std::string() : std::to_string(attempt));
    errno = 0;
    if (std::FILE* f = std::fopen(tempName.c_str(), "wbx")) {
      return FilePtr(f);
    }
    err = errno;
    if (err != EEXIST) {
      break;
    }
  }
  return nullptr;
}

void AppendRow(std::string& buf, const ResultRowView& cells) {
  for (std::size_t c = 0; c < cells.size(); ++c) {
    if (c != 0) {
      buf.push_back(',');
    }
    buf.append(cells[c]);
  }
  buf.append("\r\n");
}

bool Flush(std::FILE* f, std::string& buf) {
  const bool ok = buf.empty() || std::fwrite(buf.data(), 1, buf.size(), f) == buf.size();
  buf.clear();
  return ok;
}

// Writes rows [first, end) to `target`; on failure sets `error` and leaves
// nothing but what was there before.
bool WriteChunk(const ResultLog& log, std::size_t first, std::size_t end, const std::string& target,
                std::string& buf, std::string& error) {
  // Replacing by rename would get past a write protection that truncating in
  // place respects; a report someone protected stays as it is.
  std::error_code statEc;
  const auto status = std::filesystem::status(target, statEc);
  constexpr auto kAnyWrite = std::filesystem::perms::owner_write |
                             std::filesystem::perms::group_write |
                             std::filesystem::perms::others_write;
  if (!statEc && std::filesystem::is_regular_file(status) &&
      (status.permissions() & kAnyWrite) == std::filesystem::perms::none) {
    error = "Cannot write " + target + ": the file is read-only";
    return false;
  }

  std::string tempName;
  int err = 0;
  FilePtr file = CreateTemp(target, tempName, err);
  if (!file) {
    error = "Cannot create " + target + ": " + ErrnoText(err);
    return false;
  }
  // We hand fwrite whole megabytes; a second buffer would only copy them.
  std::setvbuf(file.get(), nullptr, _IONBF, 0);

  bool ok = true;
  buf.clear();
  buf.append(kCsvHeader);
  buf.append("\r\n");
  for (std::size_t row = first; row < end && ok; ++row) {
    AppendRow(buf, log.RowView(row));
    if (buf.size() >= kFlushBytes) {
      errno = 0;
      ok = Flush(file.get(), buf);
    }
  }
  if (ok) {
    errno = 0;
    ok = Flush(file.get(), buf);
  }
  if (ok) {
    errno = 0;
    ok = std::fclose(file.release()) == 0;
  }
  if (!ok) {
    err = errno;
    file.reset();
    std::error_code ignored;
    std::filesystem::remove(tempName, ignored);
    error = "Cannot write " + target + ": " + ErrnoText(err);
    return false;
  }

  std::error_code ec;
  std::filesystem::rename(tempName, target, ec);
  if (ec) {
    std::error_code ignored;
    std::filesystem::remove(tempName, ignored);
    error = "Cannot write " + target + ": " + ec.message();
    return false;
  }
  return true;
}

}  // namespace

std::string CsvChunkFileName(std::string_view chosenFileName, std::size_t chunk) {
  std::size_t nameStart = chosenFileName.size();
  while (nameStart > 0 && !IsSeparator(chosenFileName[nameStart - 1])) {
    --nameStart;
  }
  std::string result(chosenFileName.substr(0, nameStart));
  std::string name(chosenFileName.substr(nameStart));
  std::transform(name.begin(), name.end(), name.begin(), AsciiUpper);

  const std::string number = std::to_string(chunk);
  if (name.find(kCsvSuffix) == std::string::npos) {
    result += name;
    if (chunk != 0) {
      result += "_" + number;
    }
    return result;
  }
  std::size_t pos = 0;
  for (std::size_t hit; (hit = name.find(kCsvSuffix, pos)) != std::string::npos;
       pos = hit + kCsvSuffix.size()) {
    result.append(name, pos, hit - pos);
    result += "_" + number;
    result += kCsvSuffix;
  }
  result.append(name, pos);
  return result;
}

CsvExportResult ExportResultLog(const ResultLog& log, const std::string& chosenFileName) {
  CsvExportResult result;
  if (chosenFileName.empty() || IsSeparator(chosenFileName.back())) {
    result.ok = false;
    result.error = "No file name was given: \"" + chosenFileName + "\"";
    return result;
  }
  const std::size_t rows = log.RowCount();
  std::string buf;
  buf.reserve(kFlushBytes + 4096);
  for (std::size_t first = 0, chunk = 0; first < rows; first += kCsvRowsPerFile, ++chunk) {
    const std::size_t end = std::min(rows, first + kCsvRowsPerFile);
    std::string target = CsvChunkFileName(chosenFileName, chunk);
    if (!WriteChunk(log, first, end, target, buf, result.error)) {
      result.ok = false;
      return result;
    }
    result.files.push_back(std::move(target));
  }
  return result;
}

}  // namespace kv
