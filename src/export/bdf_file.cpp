#include "export/bdf_file.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "base/atomic_file_writer.h"
#include "base/errno_text.h"
#include "text/number_text.h"

namespace kv {

namespace {

// Large enough that the file system sees few, big writes.
constexpr std::size_t kFlushBytes = std::size_t{1024} * 1024;

// A cell's number as the table writes it: the cell's own digits (no binary
// round trip), blanks and a leading "+" dropped. Empty when the cell holds
// anything but one finite number.
struct Number {
  std::string_view text;
  double value = 0.0;
  bool ok = false;
};

Number ReadNumber(std::string_view cell) {
  const auto first = cell.find_first_not_of(' ');
  if (first == std::string_view::npos) {
    return {};
  }
  cell = cell.substr(first, cell.find_last_not_of(' ') - first + 1);
  if (cell.front() == '+') {
    cell.remove_prefix(1);
  }
  Number n;
  const auto [end, ec] = std::from_chars(cell.data(), cell.data() + cell.size(), n.value);
  n.ok = ec == std::errc() && end == cell.data() + cell.size() && std::isfinite(n.value);
  n.text = cell;
  return n;
}

void AppendSignFlipped(std::string& out, const Number& n) {
  if (n.value == 0.0) {
    out += '0';
  } else if (n.text.front() == '-') {
    out += n.text.substr(1);
  } else {
    out += '-';
    out += n.text;
  }
}

template <typename T>
void AppendInteger(std::string& out, T value) {
  char buf[24];
  const auto result = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, result.ptr);
}

// Seconds with exactly three decimals, from whole milliseconds.
void AppendMilliseconds(std::string& out, std::int64_t ms) {
  if (ms < 0) {
    out += '-';
    ms = -ms;
  }
  AppendInteger(out, ms / 1000);
  const auto frac = static_cast<int>(ms % 1000);
  out += '.';
  out += static_cast<char>('0' + frac / 100);
  out += static_cast<char>('0' + frac / 10 % 10);
  out += static_cast<char>('0' + frac % 10);
}

void AppendSum(std::string& out, double value) {
  char buf[32];
  const auto result = std::to_chars(buf, buf + sizeof buf, Round8(value), std::chars_format::fixed);
  out.append(buf, result.ptr);
}

// "YYYY/MM/DD hh:mm:ss" in the zone of `zone`.
std::optional<std::int64_t> StampMilliseconds(std::string_view cell, const LocalDateTime& zone) {
  constexpr std::string_view kShape = "dddd/dd/dd dd:dd:dd";
  if (cell.size() != kShape.size()) {
    return std::nullopt;
  }
  for (std::size_t i = 0; i < kShape.size(); ++i) {
    if (kShape[i] == 'd' ? (cell[i] < '0' || cell[i] > '9') : cell[i] != kShape[i]) {
      return std::nullopt;
    }
  }
  const auto field = [cell](std::size_t at, std::size_t len) {
    int v = 0;
    std::from_chars(cell.data() + at, cell.data() + at + len, v);
    return v;
  };
  LocalDateTime t = zone;
  t.year = field(0, 4);
  t.month = field(5, 2);
  t.day = field(8, 2);
  t.hour = field(11, 2);
  t.minute = field(14, 2);
  t.second = field(17, 2);
  t.millisecond = 0;
  return UnixMilliseconds(t);
}

// Converts the rows in order; keeps what runs across rows (the test time so
// far, the sums of the steps left).
class BdfRows {
 public:
  explicit BdfRows(const BdfSource& source) : source_(source) {
    if (source.started) {
      startMs_ = UnixMilliseconds(*source.started);
    }
  }

  void Append(std::string& out, std::size_t index) {
    const ResultRowView row = source_.log.RowView(index);
    if (!row[kResResult].empty()) {
      return;
    }
    if (row[kResVoltage].empty() || row[kResCurrent].empty()) {
      // A tick without a measurement: nothing to show, and its sums are
      // those of the row before.
      return;
    }
    const RowRecord* record = source_.places.At(index);
    const Number v = ReadNumber(row[kResVoltage]);
    const Number i = ReadNumber(row[kResCurrent]);
    const Number w = ReadNumber(row[kResPower]);
    const Number ah = ReadNumber(row[kResAh]);
    const Number wh = ReadNumber(row[kResWh]);
    if (ah.ok && wh.ok) {
      // Also from rows left out: what the load drew during them is drawn.
      AddToSums(record, ah.value, wh.value);
    }
    const std::optional<std::int64_t> ms =
        record != nullptr && record->unixMs
            ? record->unixMs
            : StampMilliseconds(row[kResTotalTime], source_.started.value_or(LocalDateTime{}));
    if (!v.ok || !i.ok || !w.ok || !ah.ok || !wh.ok || !ms) {
      ++counts_.unreadable;
      return;
    }
    ++counts_.rows;
    if (!startMs_) {
      startMs_ = *ms;
    }
    // The wall clock may be set back during a run; test time never runs back.
    testMs_ = std::max({testMs_, *ms - *startMs_, std::int64_t{0}});

    AppendMilliseconds(out, testMs_);
    out += ',';
    out += v.text;
    out += ',';
    AppendSignFlipped(out, i);
    out += ',';
    AppendMilliseconds(out, *ms);
    out += ',';
    if (record != nullptr) {
      AppendInteger(out, record->place.pass);
      out += ',';
      AppendInteger(out, record->stepsTaken);
      out += ',';
      AppendInteger(out, record->place.step);
    } else {
      out += ",,";
    }
    out += ',';
    AppendSignFlipped(out, w);
    out += ',';
    AppendSignFlipped(out, ah);
    out += ',';
    AppendSignFlipped(out, wh);
    out += ',';
    AppendSum(out, doneAh_ + lastAh_);
    out += ',';
    AppendSum(out, doneWh_ + lastWh_);
    out += "\r\n";
  }

  const BdfCounts& Counts() const { return counts_; }

 private:
  // The sums of a step start again at the next step; those of the steps
  // left are kept.
  void AddToSums(const RowRecord* record, double ah, double wh) {
    // Rows without a record show a new step only by its sums starting again.
    const int step = record != nullptr ? record->stepsTaken : -1;
    if (step != step_ || (record == nullptr && ah < lastAh_)) {
      doneAh_ += lastAh_;
      doneWh_ += lastWh_;
      step_ = step;
    }
    lastAh_ = ah;
    lastWh_ = wh;
  }

  const BdfSource& source_;
  BdfCounts counts_;
  std::optional<std::int64_t> startMs_;
  std::int64_t testMs_ = 0;
  int step_ = 0;
  double lastAh_ = 0.0;
  double lastWh_ = 0.0;
  double doneAh_ = 0.0;
  double doneWh_ = 0.0;
};

void AppendHeader(std::string& out) {
  out += kBdfHeader;
  out += "\r\n";
}

}  // namespace

std::string FormatBdf(const BdfSource& source, BdfCounts* counts) {
  std::string out;
  AppendHeader(out);
  BdfRows rows(source);
  for (std::size_t i = 0; i < source.log.RowCount(); ++i) {
    rows.Append(out, i);
  }
  if (counts != nullptr) {
    *counts = rows.Counts();
  }
  return out;
}

BdfExportResult ExportBdf(const BdfSource& source, const std::string& path) {
  AtomicFileWriter file(path);
  BdfRows rows(source);
  std::string buf;
  buf.reserve(kFlushBytes + 512);
  bool ok = file.Open();
  AppendHeader(buf);
  for (std::size_t i = 0; ok && i < source.log.RowCount(); ++i) {
    rows.Append(buf, i);
    if (buf.size() >= kFlushBytes) {
      ok = file.Write(buf);
      buf.clear();
    }
  }
  ok = ok && file.Write(buf) && file.Commit();
  BdfExportResult result;
  result.counts = rows.Counts();
  if (!ok) {
    result.ok = false;
    result.error = file.Error().stage == AtomicWriteStage::ReadOnly
                       ? "Cannot write " + path + ": the file is read-only"
                       : "Cannot write " + path + ": " + ErrnoText(file.Error().errorNumber);
  }
  return result;
}

std::string BdfMetadataPath(std::string_view bdfPath) {
  const auto endsWith = [&bdfPath](std::string_view suffix) {
    return bdfPath.size() >= suffix.size() &&
           std::equal(
               suffix.begin(), suffix.end(), bdfPath.end() - static_cast<long>(suffix.size()),
               [](char a, char b) { return a == (b >= 'A' && b <= 'Z' ? b - 'A' + 'a' : b); });
  };
  if (endsWith(".csv")) {
    bdfPath.remove_suffix(4);
  }
  return std::string(bdfPath) + (endsWith(".bdf") ? ".json" : ".bdf.json");
}

}  // namespace kv
