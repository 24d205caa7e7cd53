#include "results/csv_export.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <set>

#include "base/atomic_file_writer.h"
#include "base/errno_text.h"
#include "base/file_identity.h"
#include "base/ordered_jobs.h"

namespace kv {

namespace {

constexpr std::string_view kCsvSuffix = ".CSV";
// Large enough that the file system sees few, big writes.
constexpr std::size_t kFlushBytes = std::size_t{1024} * 1024;
// Open temporaries at a time: well under any descriptor limit.
constexpr std::size_t kChunksPerBatch = 64;

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

// The chunk numbers a file name could carry: each run of digits in it (a
// chunk's number stands between "_" and "." or the end).
void AddNumbersIn(const std::string& name, std::set<std::size_t>& numbers) {
  constexpr std::size_t kMaxDigits = 18;  // well inside std::size_t
  for (std::size_t i = 0; i < name.size();) {
    std::size_t end = i;
    while (end < name.size() && name[end] >= '0' && name[end] <= '9') {
      ++end;
    }
    if (end > i && end - i <= kMaxDigits) {
      numbers.insert(std::stoull(name.substr(i, end - i)));
    }
    i = std::max(end, i + 1);
  }
}

bool Flush(AtomicFileWriter& file, std::string& buf) {
  const bool ok = file.Write(buf);
  buf.clear();
  return ok;
}

std::string ChunkFailure(const AtomicFileWriter& file, const std::string& target) {
  const AtomicWriteError& e = file.Error();
  switch (e.stage) {
    case AtomicWriteStage::ReadOnly:
      // Replacing by rename would get past a write protection that truncating
      // in place respects; a report someone protected stays as it is.
      return "Cannot write " + target + ": the file is read-only";
    case AtomicWriteStage::Create:
      return "Cannot create " + target + ": " + ErrnoText(e.errorNumber);
    default:
      return "Cannot write " + target + ": " + ErrnoText(e.errorNumber);
  }
}

// Writes rows [first, end) to a temporary file for `file`, left unsynced.
bool WriteChunk(const ResultLog& log, std::size_t first, std::size_t end, AtomicFileWriter& file,
                std::string& buf) {
  bool ok = file.Open();
  buf.clear();
  buf.append(kCsvHeader);
  buf.append("\r\n");
  for (std::size_t row = first; row < end && ok; ++row) {
    AppendCsvRow(buf, log.RowView(row));
    if (buf.size() >= kFlushBytes) {
      ok = Flush(file, buf);
    }
  }
  ok = ok && Flush(file, buf);
  file.StartSync();
  return ok;
}

// One sync per file and one for the folder: each chunk is synced on a thread
// of its own while the next ones are formatted, and all are synced before the
// first rename, so the disk sees the data once and the folder once. The chunks
// before a failure are still put in place, as if each had been committed on
// its own.
bool CommitBatch(std::vector<std::unique_ptr<AtomicFileWriter>>& files,
                 std::vector<std::string>& targets, OrderedJobs& syncs, CsvExportResult& result) {
  const std::size_t good = syncs.WaitAll();
  std::size_t placed = 0;
  while (placed < good && files[placed]->Replace()) {
    result.files.push_back(std::move(targets[placed]));
    ++placed;
  }
  if (placed > 0) {
    SyncFolderOf(result.files.back());
  }
  if (placed < files.size()) {
    result.ok = false;
    result.error = ChunkFailure(*files[placed], targets[placed]);
  }
  files.clear();  // the temporaries not placed go with their writers
  targets.clear();
  return result.ok;
}

}  // namespace

void AppendCsvRow(std::string& buf, const ResultRowView& cells) {
  for (std::size_t c = 0; c < cells.size(); ++c) {
    if (c != 0) {
      buf.push_back(',');
    }
    buf.append(cells[c]);
  }
  buf.append("\r\n");
}

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

std::string CsvChunkWriting(const std::string& chosenFileName, const std::string& file) {
  const FileIdentity target = IdentifyFile(file);
  if (target.path.empty() || chosenFileName.empty()) {
    return {};
  }
  std::set<std::size_t> chunks{0};
  AddNumbersIn(std::filesystem::path(target.path).filename().string(), chunks);
  // A chunk name already there may be a link to the file elsewhere, and the
  // export writes through links.
  std::filesystem::path folder = std::filesystem::path(CsvChunkFileName(chosenFileName, 0));
  folder = folder.has_parent_path() ? folder.parent_path() : ".";
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    std::error_code linkEc;
    if (it->is_symlink(linkEc)) {
      AddNumbersIn(it->path().filename().string(), chunks);
    }
  }
  for (const std::size_t chunk : chunks) {
    std::string name = CsvChunkFileName(chosenFileName, chunk);
    if (IsSameFile(IdentifyFile(name), target)) {
      return name;
    }
  }
  return {};
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
  std::vector<std::unique_ptr<AtomicFileWriter>> files;
  std::vector<std::string> targets;
  OrderedJobs syncs;  // after `files`: it ends, and waits, before they do
  for (std::size_t first = 0, chunk = 0; first < rows; first += kCsvRowsPerFile, ++chunk) {
    const std::size_t end = std::min(rows, first + kCsvRowsPerFile);
    targets.push_back(CsvChunkFileName(chosenFileName, chunk));
    files.push_back(std::make_unique<AtomicFileWriter>(targets.back()));
    AtomicFileWriter& file = *files.back();
    const bool written = WriteChunk(log, first, end, file, buf);
    if (written) {
      syncs.Add([&file] { return file.Sync(); });
    }
    if (!written || files.size() == kChunksPerBatch) {
      if (!CommitBatch(files, targets, syncs, result) || !written) {
        return result;
      }
    }
  }
  CommitBatch(files, targets, syncs, result);
  return result;
}

}  // namespace kv
