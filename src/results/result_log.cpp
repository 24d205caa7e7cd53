#include "results/result_log.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "text/control_chars.h"

namespace kv {

namespace {

// Small logs stay small; long runs settle on 1 MiB blocks, where the unused
// tail of a block (less than one row) is negligible.
constexpr std::size_t kFirstBlockBytes = std::size_t{4} * 1024;
constexpr std::size_t kMaxBlockBytes = std::size_t{1024} * 1024;

// Bounds that keep odd data from turning the shared texts into a second log.
constexpr std::size_t kMaxShared = 1024;
constexpr std::size_t kMaxSharedLength = 64;
// Header values are even for literals and odd for shared texts.
constexpr std::size_t kNotShared = 0;

std::size_t VarintSize(std::size_t n) {
  std::size_t bytes = 1;
  while (n >= 0x80) {
    n >>= 7;
    ++bytes;
  }
  return bytes;
}

void PutVarint(std::string& out, std::size_t n) {
  while (n >= 0x80) {
    out.push_back(static_cast<char>((n & 0x7F) | 0x80));
    n >>= 7;
  }
  out.push_back(static_cast<char>(n));
}

std::size_t GetVarint(const char*& p) {
  std::size_t n = 0;
  int shift = 0;
  for (;;) {
    const auto byte = static_cast<unsigned char>(*p++);
    n |= static_cast<std::size_t>(byte & 0x7F) << shift;
    if ((byte & 0x80) == 0) {
      return n;
    }
    shift += 7;
  }
}

}  // namespace

ResultLog::ResultLog(const ResultLog& other)
    : blocks_(other.blocks_),
      rowStarts_(other.rowStarts_),
      shared_(other.shared_),
      nextResultRow_(other.nextResultRow_) {
  // The index keys view this log's own texts, never the other's.
  for (std::size_t i = 0; i < shared_.size(); ++i) {
    sharedIndex_.emplace(shared_[i], static_cast<std::uint32_t>(i));
  }
}

ResultLog& ResultLog::operator=(const ResultLog& other) {
  if (this != &other) {
    ResultLog copy(other);
    *this = std::move(copy);
  }
  return *this;
}

void ResultLog::Clear() {
  // Give the memory back: the next run may be short.
  std::vector<std::string>().swap(blocks_);
  std::vector<std::uint64_t>().swap(rowStarts_);
  sharedIndex_.clear();
  shared_.clear();
  nextResultRow_ = 1;
}

std::size_t ResultLog::RowCount() const {
  return rowStarts_.size();
}

ResultRowView ResultLog::RowView(std::size_t row) const {
  ResultRowView cells{};
  if (row >= rowStarts_.size()) {
    return cells;
  }
  const std::uint64_t start = rowStarts_[row];
  const std::string& block = blocks_[static_cast<std::size_t>(start >> 32)];
  const char* p = block.data() + (start & 0xFFFFFFFFu);
  std::array<std::size_t, kResultColumns> headers{};
  for (auto& header : headers) {
    header = GetVarint(p);
  }
  for (std::size_t c = 0; c < cells.size(); ++c) {
    const std::size_t n = headers[c] >> 1;
    if ((headers[c] & 1) != 0) {
      cells[c] = shared_[n];
    } else {
      cells[c] = std::string_view(p, n);
      p += n;
    }
  }
  return cells;
}

std::string_view ResultLog::Cell(std::size_t row, int col) const {
  if (col < 0 || col >= kResultColumns) {
    return {};
  }
  return RowView(row)[static_cast<std::size_t>(col)];
}

ResultRow ResultLog::Row(std::size_t row) const {
  const ResultRowView view = RowView(row);
  ResultRow cells;
  for (std::size_t c = 0; c < cells.size(); ++c) {
    cells[c] = std::string(view[c]);
  }
  return cells;
}

std::size_t ResultLog::SharedHeader(std::string_view text) {
  auto it = sharedIndex_.find(text);
  if (it == sharedIndex_.end()) {
    if (shared_.size() >= kMaxShared || text.size() > kMaxSharedLength) {
      return kNotShared;
    }
    shared_.emplace_back(text);
    it = sharedIndex_.emplace(shared_.back(), static_cast<std::uint32_t>(shared_.size() - 1)).first;
  }
  return (static_cast<std::size_t>(it->second) << 1) | 1;
}

void ResultLog::AddRowView(const ResultRowView& cells) {
  std::array<std::size_t, kResultColumns> headers{};
  std::size_t bytes = 0;
  for (std::size_t c = 0; c < cells.size(); ++c) {
    const bool shareable = (c == kResFunction || c == kResResult) && !cells[c].empty();
    headers[c] = shareable ? SharedHeader(cells[c]) : kNotShared;
    if (headers[c] == kNotShared) {
      headers[c] = cells[c].size() << 1;
      bytes += cells[c].size();
    }
    bytes += VarintSize(headers[c]);
  }
  // A row's offset must fit the low 32 bits of its index entry.
  if (blocks_.empty() || blocks_.back().capacity() - blocks_.back().size() < bytes ||
      blocks_.back().size() > std::numeric_limits<std::uint32_t>::max()) {
    const std::size_t grown = blocks_.empty()
                                  ? kFirstBlockBytes
                                  : std::min(kMaxBlockBytes, blocks_.back().capacity() * 2);
    blocks_.emplace_back();
    blocks_.back().reserve(std::max(grown, bytes));
  }
  std::string& block = blocks_.back();
  rowStarts_.push_back((static_cast<std::uint64_t>(blocks_.size() - 1) << 32) |
                       static_cast<std::uint64_t>(block.size()));
  for (const std::size_t header : headers) {
    PutVarint(block, header);
  }
  for (std::size_t c = 0; c < cells.size(); ++c) {
    if ((headers[c] & 1) == 0) {
      block.append(cells[c]);
    }
  }
}

void ResultLog::AddRow(const ResultRow& cells) {
  ResultRowView view;
  for (std::size_t c = 0; c < cells.size(); ++c) {
    view[c] = cells[c];
  }
  AddRowView(view);
}

std::size_t ResultLog::AddNumberedRow(ResultRow cells) {
  cells[kResNo] = std::to_string(nextResultRow_);
  AddRow(cells);
  // Saturate rather than overflow: a wrapped number would restart at a
  // negative value and break the row order the report relies on.
  if (nextResultRow_ < std::numeric_limits<std::int32_t>::max()) {
    ++nextResultRow_;
  }
  return rowStarts_.size() - 1;
}

std::size_t ResultLog::MemoryBytes() const {
  std::size_t bytes =
      blocks_.capacity() * sizeof(std::string) + rowStarts_.capacity() * sizeof(std::uint64_t);
  for (const auto& block : blocks_) {
    bytes += block.capacity() + 1;
  }
  return bytes;
}

std::string ReplyCell(std::string_view reply) {
  std::string cell(reply);
  for (char& c : cell) {
    if (IsControlChar(c)) {
      c = ' ';
    }
  }
  return cell;
}

std::array<ResultColumn, kResultColumns> BuildResultColumns() {
  return {{
      {"No.", 900},
      {"StepTime", 1800},
      {"V", 1200},
      {"I", 1200},
      {"W", 1800},
      {"AH", 1800},
      {"WH", 1800},
      {"TotalTime", 1800},
      {"Function Name", 2800},
      {"Result", 1000},
  }};
}

}  // namespace kv
