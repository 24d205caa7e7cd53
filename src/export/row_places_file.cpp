#include "export/row_places_file.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "results/result_file_reader.h"

namespace kv {

namespace {

constexpr std::string_view kHeaderStart = "kvload row places 1,";

// The comma-separated integers of `line` into `out`; false unless there are
// exactly that many, each whole (an empty one reads as none).
template <std::size_t N>
bool ReadIntegers(std::string_view line, std::array<std::optional<std::int64_t>, N>& out) {
  std::size_t from = 0;
  for (std::size_t i = 0; i < N; ++i) {
    const std::size_t end = i + 1 == N ? line.size() : line.find(',', from);
    if (end == std::string_view::npos) {
      return false;
    }
    const std::string_view cell = line.substr(from, end - from);
    out[i].reset();
    if (!cell.empty()) {
      std::int64_t v = 0;
      const auto [ptr, ec] = std::from_chars(cell.data(), cell.data() + cell.size(), v);
      if (ec != std::errc() || ptr != cell.data() + cell.size()) {
        return false;
      }
      out[i] = v;
    }
    from = end + 1;
  }
  return true;
}

RowPlacesRead LeftAside(const std::string& path, const std::string& why) {
  RowPlacesRead read;
  read.note = path + " left aside (" + why + "): steps and passes are not shown";
  return read;
}

}  // namespace

std::string RowPlacesPath(std::string_view journalPath) {
  return std::string(journalPath) + ".places";
}

std::string RowPlacesHeader(const LocalDateTime& started) {
  return std::string(kHeaderStart) + std::to_string(UnixMilliseconds(started)) + "," +
         std::to_string(started.utcOffsetMinutes) + "\r\n";
}

void AppendRowPlace(std::string& buf, std::size_t index, const RowRecord& record) {
  buf += std::to_string(index);
  for (const int v : {record.place.step, record.place.pass, record.stepsTaken}) {
    buf += ',';
    buf += std::to_string(v);
  }
  buf += ',';
  if (record.unixMs) {
    buf += std::to_string(*record.unixMs);
  }
  buf += "\r\n";
}

RowPlacesRead ReadRowPlaces(const std::string& path, std::size_t rows) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    return {};
  }
  if (std::filesystem::file_size(path, ec) > kMaxResultFileBytes || ec) {
    return LeftAside(path, "too large");
  }
  std::ifstream in(path, std::ios::binary);
  std::string line;
  RowPlacesRead read;
  for (std::size_t number = 1; std::getline(in, line); ++number) {
    if (in.eof()) {
      break;  // a torn last line
    }
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    if (number == 1) {
      std::array<std::optional<std::int64_t>, 2> start;
      if (!line.starts_with(kHeaderStart) ||
          !ReadIntegers(std::string_view(line).substr(kHeaderStart.size()), start) || !start[0] ||
          !start[1]) {
        return LeftAside(path, "not a places file");
      }
      read.started = LocalFromUnixMilliseconds(*start[0], static_cast<int>(*start[1]));
      continue;
    }
    std::array<std::optional<std::int64_t>, 5> v;
    if (!ReadIntegers(line, v) || !v[0] || !v[1] || !v[2] || !v[3] ||
        *v[0] != static_cast<std::int64_t>(number - 2)) {
      return LeftAside(path, "line " + std::to_string(number) + " does not read");
    }
    if (static_cast<std::size_t>(*v[0]) < rows) {
      read.places.Restore(
          static_cast<std::size_t>(*v[0]),
          RowRecord{
              {static_cast<int>(*v[1]), static_cast<int>(*v[2])}, static_cast<int>(*v[3]), v[4]});
    }
  }
  if (in.bad()) {
    return LeftAside(path, "a read failed");
  }
  return read;
}

}  // namespace kv
