#include "export/bdf_file.h"

#include <algorithm>
#include <cmath>
#include <future>

#include "base/atomic_file_writer.h"
#include "base/errno_text.h"
#include "export/bdf_line.h"
#include "runner/clock_cells.h"

namespace kv {

namespace {

// Large enough that the file system sees few, big writes.
constexpr std::size_t kFlushBytes = std::size_t{1024} * 1024;

// "YYYY/MM/DD hh:mm:ss" in the zone of `zone`.
std::optional<std::int64_t> StampMilliseconds(std::string_view cell, const LocalDateTime& zone) {
  const std::optional<LocalDateTime> t = ReadStampCell(cell, zone);
  return t ? std::optional<std::int64_t>(UnixMilliseconds(*t)) : std::nullopt;
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
    const BdfNumber v = ReadBdfNumber<false>(row[kResVoltage]);
    const BdfNumber i = ReadBdfNumber<false>(row[kResCurrent]);
    const BdfNumber w = ReadBdfNumber<false>(row[kResPower]);
    const BdfNumber ah = ReadBdfNumber<false>(row[kResAh]);
    const BdfNumber wh = ReadBdfNumber<false>(row[kResWh]);
    if (ah.ok && wh.ok) {
      // Also from rows left out: what the load drew during them is drawn.
      AddToSums(record, ah.text, wh.text);
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

    line_.Milliseconds(testMs_);
    line_.Comma();
    line_.Text(v.text);
    line_.Comma();
    line_.SignFlipped(i);
    line_.Comma();
    line_.Milliseconds(*ms);
    line_.Comma();
    if (record != nullptr) {
      line_.Integer(record->place.pass);
      line_.Comma();
      line_.Integer(record->stepsTaken);
      line_.Comma();
      line_.Integer(record->place.step);
    } else {
      line_.Comma();
    }
    line_.Comma();
    line_.SignFlipped(w);
    line_.Comma();
    line_.SignFlipped(ah);
    line_.Comma();
    line_.SignFlipped(wh);
    line_.Comma();
    // While no step before drew anything the sums are the step's own.
    if (doneAh_ == 0 && doneWh_ == 0) {
      line_.Text(lastAh_);
      line_.Comma();
      line_.Text(lastWh_);
    } else {
      line_.E8(doneAh_ + E8Of(lastAh_));
      line_.Comma();
      line_.E8(doneWh_ + E8Of(lastWh_));
    }
    line_.AppendTo(out);
  }

  const BdfCounts& Counts() const { return counts_; }

 private:
  static std::int64_t E8Of(std::string_view sum) { return ReadBdfNumber<true>(sum).e8; }

  // The sums of a step start again at the next step; those of the steps
  // left are kept. A sum becomes a number only where it must: a long run of
  // one step copies its cells as they stand.
  void AddToSums(const RowRecord* record, std::string_view ah, std::string_view wh) {
    // Rows without a record show a new step only by its sums starting again.
    const int step = record != nullptr ? record->stepsTaken : -1;
    if (step != step_ || (record == nullptr && E8Of(ah) < E8Of(lastAh_))) {
      doneAh_ += E8Of(lastAh_);
      doneWh_ += E8Of(lastWh_);
      step_ = step;
    }
    lastAh_ = ah;
    lastWh_ = wh;
  }

  const BdfSource& source_;
  BdfLine line_;
  BdfCounts counts_;
  std::optional<std::int64_t> startMs_;
  std::int64_t testMs_ = 0;
  int step_ = 0;
  // The latest sums of the step in progress, as its rows write them.
  std::string_view lastAh_ = "0";
  std::string_view lastWh_ = "0";
  // The steps left, in units of 1e-8 Ah and Wh.
  std::int64_t doneAh_ = 0;
  std::int64_t doneWh_ = 0;
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
  // The file system copies one buffer while the rows fill the other. Where no
  // thread can be had the write runs when it is waited for.
  std::string buffers[2];
  std::future<bool> written;
  const auto handOver = [&file, &written](const std::string& full) {
    const bool before = !written.valid() || written.get();
    written = std::async(std::launch::async | std::launch::deferred,
                         [&file, &full] { return file.Write(full); });
    return before;
  };
  int filling = 0;
  bool ok = file.Open();
  AppendHeader(buffers[filling]);
  for (std::size_t i = 0; ok && i < source.log.RowCount(); ++i) {
    rows.Append(buffers[filling], i);
    if (buffers[filling].size() >= kFlushBytes) {
      ok = handOver(buffers[filling]);
      filling ^= 1;
      buffers[filling].clear();  // its write was waited for
    }
  }
  ok = (!written.valid() || written.get()) && ok && file.Write(buffers[filling]) && file.Commit();
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
