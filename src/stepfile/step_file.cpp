#include "stepfile/step_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "base/atomic_file_writer.h"
#include "base/errno_text.h"
#include "base/file_closer.h"
#include "steps/step_columns.h"
#include "steps/step_list_ops.h"

namespace kv {

namespace fs = std::filesystem;

namespace {

// Far beyond any real list (32767 steps take about 2 MB of file and 30 MB of
// grid), small enough that a wrongly chosen file cannot exhaust memory.
constexpr std::uintmax_t kMaxFileBytes = 64u << 20;
// The editor's limit holds for files too: the runner returns to a FOR by its
// row, and a longer list is one nobody could have edited here.
constexpr auto kMaxSteps = static_cast<std::size_t>(kMaxStepCount);

StepFileResult Failure(std::string_view verb, const std::string& path, const std::string& reason) {
  StepFileResult result;
  result.ok = false;
  result.error = std::string(verb) + " \"" + path + "\": " + reason;
  return result;
}

// "," would split the cell on reading and CR or LF would end the line: either puts
// the following values into the wrong columns of the step.
std::string UnsavableCell(const StepGrid& grid) {
  for (int r = 0; r <= grid.Rows() - 2; ++r) {
    for (int c = 0; c < kStepColumns; ++c) {
      const std::string& cell = grid.Cell(r, c);
      const std::size_t bad = cell.find_first_of(",\r\n");
      if (bad != std::string::npos) {
        return "row " + std::to_string(r) + ", column " +
               std::string(kStepColumnHeaders[static_cast<std::size_t>(c)]) + " holds " +
               (cell[bad] == ',' ? "\",\"" : "a line break") +
               ", which the file format cannot store";
      }
    }
  }
  return {};
}

std::string StepFileText(const StepGrid& grid) {
  std::string text;
  text.reserve(static_cast<std::size_t>(grid.Rows()) * 64);
  for (int r = 0; r <= grid.Rows() - 2; ++r) {
    text += grid.Cell(r, kColStepNo);
    for (int c = 1; c < kStepColumns; ++c) {
      text += ',';
      text += grid.Cell(r, c);
    }
    text += "\r\n";
  }
  return text;
}

// The reason of a failed write, in the words the save has always used.
std::string WriteFailure(const AtomicFileWriter& writer) {
  const AtomicWriteError& e = writer.Error();
  switch (e.stage) {
    case AtomicWriteStage::ReadOnly:
      return "the file is read-only";
    case AtomicWriteStage::Create:
      return ErrnoText(e.errorNumber) + " (writing " + writer.TempPath() + ")";
    case AtomicWriteStage::Write:
      return e.errorNumber != 0 ? ErrnoText(e.errorNumber) : "write failed";
    case AtomicWriteStage::Replace:
    case AtomicWriteStage::None:
      break;
  }
  return ErrnoText(e.errorNumber);
}

// Where the line that starts at `pos` ends and where the next one begins. CR
// LF is what this program writes; a bare LF (a script, a checkout that
// dropped the CRs, an editor) and a lone CR end a line as well.
std::pair<std::size_t, std::size_t> LineAt(std::string_view data, std::size_t pos) {
  const std::size_t end = data.find_first_of("\r\n", pos);
  if (end == std::string_view::npos) {
    return {data.size(), data.size()};  // a last line without a line end
  }
  const bool crLf = data[end] == '\r' && end + 1 < data.size() && data[end + 1] == '\n';
  return {end, end + (crLf ? 2 : 1)};
}

// Fills `steps` from the lines of `data`; returns the number of lines.
int SplitLines(const StepGrid& grid, std::string_view data, std::vector<TestStep>& steps,
               int& longLines) {
  int lines = 0;
  std::size_t pos = 0;
  while (pos < data.size()) {
    const auto [end, next] = LineAt(data, pos);
    const std::string_view line = data.substr(pos, end - pos);
    pos = next;
    ++lines;
    if (lines == 1) {
      continue;  // the header line; the grid keeps its own header texts
    }
    // Only step row 1 survives the loader's first cut of the grid to two rows,
    // so only that row can hold text from before the load.
    TestStep step = steps.empty() ? grid.Row(1) : TestStep{};
    if (!line.empty()) {
      std::size_t start = 0;
      for (int c = 0; c < kStepColumns; ++c) {
        const std::size_t comma = line.find(',', start);
        if (comma == std::string_view::npos) {
          step[c].assign(line.substr(start));
          start = std::string_view::npos;
          break;
        }
        step[c].assign(line.substr(start, comma - start));
        start = comma + 1;
      }
      if (start != std::string_view::npos) {
        ++longLines;  // a 27th field: dropped with everything after it
      }
    }
    steps.push_back(std::move(step));
  }
  return lines;
}

// Reads the lines of a whole file; the error names no file.
StepFileResult LoadStepText(StepGrid& grid, std::string_view data) {
  StepFileResult result;
  std::size_t lines = 0;
  for (std::size_t pos = 0; pos < data.size(); pos = LineAt(data, pos).second) {
    ++lines;
  }
  if (lines > kMaxSteps + 1) {  // the first line is the header
    result.ok = false;
    result.error =
        "it holds more than " + std::to_string(kMaxSteps) + " steps, the most a step list can hold";
    return result;
  }
  std::vector<TestStep> steps;
  // Room for the header and the empty last row that the grid adds, so that
  // handing the rows over moves no row twice.
  steps.reserve(lines + 1);
  if (SplitLines(grid, data, steps, result.longLines) > 0) {
    result.steps = static_cast<int>(steps.size());
    grid.AssignSteps(std::move(steps));
    grid.SetCurrentCell(result.steps, kColStepNo);
  }
  return result;
}

}  // namespace

StepFileResult SaveStepFile(const StepGrid& grid, const std::string& path) {
  constexpr std::string_view kVerb = "Cannot save";
  if (path.empty()) {
    return Failure(kVerb, path, "no file name given");
  }
  if (const std::string bad = UnsavableCell(grid); !bad.empty()) {
    return Failure(kVerb, path, bad);
  }
  // The writer follows a linked target, refuses a write-protected one and
  // keeps the old file's access.
  AtomicFileWriter writer(path);
  if (!writer.Open() || !writer.Write(StepFileText(grid)) || !writer.Commit()) {
    return Failure(kVerb, path, WriteFailure(writer));
  }
  StepFileResult result;
  result.steps = grid.StepCount();
  return result;
}

StepFileResult LoadStepFile(StepGrid& grid, const std::string& path, std::string* bytes) {
  constexpr std::string_view kVerb = "Cannot read";
  StepFileResult result;
  std::error_code ec;
  if (path.empty()) {
    result.missing = true;
    return result;
  }
  const fs::file_status status = fs::status(path, ec);
  if (status.type() == fs::file_type::none) {
    return Failure(kVerb, path, ec.message());  // e.g. a folder on the way is not readable
  }
  if (!fs::exists(status)) {
    result.missing = true;
    return result;
  }
  if (fs::is_directory(status)) {
    return Failure(kVerb, path, "it is a folder");
  }
  // Devices and pipes could block or never end.
  if (!fs::is_regular_file(status)) {
    return Failure(kVerb, path, "not a regular file");
  }
  const std::uintmax_t size = fs::file_size(path, ec);
  if (!ec && size > kMaxFileBytes) {
    return Failure(kVerb, path, "larger than any step list (" + std::to_string(size) + " bytes)");
  }
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    return Failure(kVerb, path, ErrnoText(errno));
  }
  return LoadStepStream(grid, file.get(), path, bytes, ec ? 0 : static_cast<std::size_t>(size));
}

StepFileResult LoadStepStream(StepGrid& grid, std::FILE* in, const std::string& name,
                              std::string* bytes, std::size_t sizeHint) {
  std::string data;
  data.reserve(std::min(sizeHint, static_cast<std::size_t>(kMaxFileBytes)));
  std::string readError;
  char chunk[1 << 16];
  while (true) {
    errno = 0;
    const std::size_t n = std::fread(chunk, 1, sizeof chunk, in);
    data.append(chunk, n);
    if (data.size() > kMaxFileBytes) {
      readError = "the file keeps growing";
      break;
    }
    if (n < sizeof chunk) {
      if (std::ferror(in) != 0) {
        readError = errno != 0 ? ErrnoText(errno) : "read failed";
      }
      break;
    }
  }
  if (!readError.empty()) {
    // Keep only the lines known to be complete.
    const std::size_t lastEnd = data.find_last_of("\r\n");
    data.resize(lastEnd == std::string::npos ? 0 : lastEnd + 1);
  }

  StepFileResult result = LoadStepText(grid, data);
  if (bytes != nullptr) {
    *bytes = std::move(data);
  }
  constexpr std::string_view kVerb = "Cannot read";
  if (!result.ok) {
    return Failure(kVerb, name, result.error);
  }
  if (!readError.empty()) {
    StepFileResult failure = Failure(kVerb, name, readError);
    failure.steps = result.steps;
    failure.longLines = result.longLines;
    return failure;
  }
  return result;
}

}  // namespace kv
