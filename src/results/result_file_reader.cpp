#include "results/result_file_reader.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "results/csv_export.h"

namespace kv {

namespace {

constexpr std::size_t kReadBytes = std::size_t{1} << 20;
// Far longer than any row; a file without line ends is not read to its end.
constexpr std::size_t kMaxLineBytes = std::size_t{1} << 16;

// Bytes no line of ours holds: control characters other than the line end
// (a reply cell has its control characters blanked before it is stored).
bool IsBinaryByte(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u < 0x20 && c != '\r' && c != '\n' && c != '\t') || u == 0x7f;
}

// The chunks of the report whose chunk 0 is `path`; just `path` otherwise.
std::vector<std::string> ChunkSet(const std::string& path) {
  constexpr std::string_view kFirst = "_0.CSV";
  std::vector<std::string> files{path};
  if (path.size() <= kFirst.size() ||
      path.compare(path.size() - kFirst.size(), kFirst.size(), kFirst) != 0) {
    return files;
  }
  const std::string chosen = path.substr(0, path.size() - kFirst.size()) + ".CSV";
  std::error_code ec;
  for (std::size_t chunk = 1;; ++chunk) {
    std::string next = CsvChunkFileName(chosen, chunk);
    if (!std::filesystem::exists(next, ec)) {
      return files;
    }
    files.push_back(std::move(next));
  }
}

class LineReader {
 public:
  LineReader(const std::string& file, ResultLog& log) : file_(file), log_(log) {}

  // One whole line, its line end taken off; empty is an error.
  std::string Line(std::string_view line) {
    ++number_;
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    if (number_ == 1) {
      return line == kCsvHeader ? std::string()
                                : Error(
                                      "its first line is not the header of a results file of "
                                      "this program");
    }
    if (line.empty()) {
      return {};
    }
    for (const char c : line) {
      if (IsBinaryByte(c)) {
        return Error("line " + std::to_string(number_) + " holds binary bytes");
      }
    }
    ResultRowView cells;
    std::size_t cell = 0;
    std::size_t from = 0;
    for (std::size_t at = 0; at <= line.size(); ++at) {
      if (at == line.size() || line[at] == ',') {
        if (cell < cells.size()) {
          cells[cell] = line.substr(from, at - from);
        }
        ++cell;
        from = at + 1;
      }
    }
    if (cell != cells.size()) {
      return Error("line " + std::to_string(number_) + " has " + std::to_string(cell) +
                   " cells, not " + std::to_string(cells.size()));
    }
    log_.AddRowView(cells);
    return {};
  }

  std::string Error(const std::string& why) const { return file_ + ": " + why; }
  std::size_t Number() const { return number_; }

 private:
  const std::string& file_;
  ResultLog& log_;
  std::size_t number_ = 0;
};

// Appends the rows of `file` to `read`'s log; the error, or "".
std::string ReadOne(const std::string& file, bool last, ResultFileRead& read) {
  std::error_code ec;
  const auto status = std::filesystem::status(file, ec);
  if (ec) {
    return file + ": " + ec.message();
  }
  if (!std::filesystem::is_regular_file(status)) {
    return file + ": not a file";
  }
  const std::uintmax_t size = std::filesystem::file_size(file, ec);
  if (ec) {
    return file + ": " + ec.message();
  }
  if (size == 0) {
    return file + ": the file is empty";
  }
  if (size > kMaxResultFileBytes) {
    return file + ": " + std::to_string(size) + " bytes is more than a results file of " +
           std::to_string(kMaxResultFileBytes >> 20) + " MiB this program reads";
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    return file + ": cannot be opened";
  }
  LineReader lines(file, read.log);
  std::string pending;
  std::string buf(kReadBytes, '\0');
  while (in) {
    in.read(buf.data(), static_cast<std::streamsize>(buf.size()));
    const std::string_view got(buf.data(), static_cast<std::size_t>(in.gcount()));
    std::size_t from = 0;
    for (std::size_t end = got.find('\n'); end != std::string_view::npos;
         from = end + 1, end = got.find('\n', from)) {
      std::string error;
      if (pending.empty()) {
        error = lines.Line(got.substr(from, end - from));
      } else {
        pending.append(got.substr(from, end - from));
        error = lines.Line(pending);
        pending.clear();
      }
      if (!error.empty()) {
        return error;
      }
    }
    pending.append(got.substr(from));
    if (pending.size() > kMaxLineBytes) {
      return lines.Error("line " + std::to_string(lines.Number() + 1) +
                         " is longer than any row of a results file");
    }
  }
  if (in.bad()) {
    return file + ": a read failed";
  }
  if (lines.Number() == 0) {
    return lines.Error("its first line is not the header of a results file of this program");
  }
  if (!pending.empty()) {
    if (!last) {
      return lines.Error("line " + std::to_string(lines.Number() + 1) + " is cut short");
    }
    read.tornLine = lines.Number() + 1;
  }
  return {};
}

}  // namespace

ResultFileRead ReadResultFile(const std::string& path) {
  ResultFileRead read;
  const std::vector<std::string> files = ChunkSet(path);
  for (std::size_t i = 0; i < files.size(); ++i) {
    std::string error = ReadOne(files[i], i + 1 == files.size(), read);
    if (!error.empty()) {
      // Never half-loaded.
      ResultFileRead refused;
      refused.error = std::move(error);
      return refused;
    }
  }
  read.ok = true;
  read.files = files;
  read.log.SetNextResultRow(static_cast<std::int32_t>(read.log.RowCount()) + 1);
  return read;
}

}  // namespace kv
