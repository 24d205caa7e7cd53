// Result log: cost of appending rows, memory per million rows, and the CSV
// export of a million rows against the bare cost of writing the same bytes,
// and of writing the same files with one sync each.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench_data.h"
#include "export/bdf_file.h"
#include "results/csv_export.h"
#include "results/result_log.h"

namespace {

namespace fs = std::filesystem;

using kv::bench::kMillion;
using kv::bench::TypicalRows;

const std::vector<kv::ResultRow>& MillionRows() {
  static const std::vector<kv::ResultRow> rows = TypicalRows(kMillion);
  return rows;
}

const kv::ResultLog& MillionRowLog() {
  static const kv::ResultLog log = [] {
    kv::ResultLog l;
    for (const auto& row : MillionRows()) {
      l.AddRow(row);
    }
    return l;
  }();
  return log;
}

fs::path BenchDir() {
  static const fs::path dir = [] {
    fs::path d =
        fs::temp_directory_path() / ("kv_bench_csv_" + std::to_string(std::random_device{}()));
    fs::create_directories(d);
    return d;
  }();
  return dir;
}

void BM_AppendRows(benchmark::State& state) {
  const auto& rows = MillionRows();
  const auto count = static_cast<std::size_t>(state.range(0));
  std::size_t memory = 0;
  std::size_t text = 0;
  for (auto _ : state) {
    kv::ResultLog log;
    for (std::size_t n = 0; n < count; ++n) {
      log.AddNumberedRow(rows[n]);
    }
    memory = log.MemoryBytes();
    benchmark::DoNotOptimize(log.RowCount());
  }
  for (std::size_t n = 0; n < count; ++n) {
    for (const auto& cell : rows[n]) {
      text += cell.size();
    }
  }
  const double perMillion = static_cast<double>(kMillion) / static_cast<double>(count);
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * count));
  state.counters["MB_per_1M_rows"] = static_cast<double>(memory) * perMillion / 1e6;
  state.counters["text_MB_per_1M_rows"] = static_cast<double>(text) * perMillion / 1e6;
}
BENCHMARK(BM_AppendRows)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_ExportMillionRows(benchmark::State& state) {
  const kv::ResultLog& log = MillionRowLog();
  const std::string name = (BenchDir() / "export.csv").string();
  std::uintmax_t bytes = 0;
  for (auto _ : state) {
    const kv::CsvExportResult r = kv::ExportResultLog(log, name);
    if (!r.ok) {
      state.SkipWithError(r.error.c_str());
      break;
    }
    bytes = 0;
    for (const auto& f : r.files) {
      bytes += fs::file_size(f);
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
  state.counters["files"] = static_cast<double>((log.RowCount() + 31999) / 32000);
}
BENCHMARK(BM_ExportMillionRows)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same rows as a Battery Data Format table: every row placed in one step,
// a second apart, as a long discharge's recorder leaves them.
void BM_ExportBdfMillionRows(benchmark::State& state) {
  const kv::ResultLog& log = MillionRowLog();
  kv::RowPlaces places;
  const kv::LocalDateTime start{2026, 12, 6, 0, 0, 0, 0, 60};
  places.OnStepStarted(1, kv::StepFunction::Discharge);
  for (std::size_t n = 0; n < log.RowCount(); ++n) {
    places.OnRowAdded(n, kv::UnixMilliseconds(start) + static_cast<std::int64_t>(n + 1) * 1000);
  }
  const std::string name = (BenchDir() / "export.bdf.csv").string();
  for (auto _ : state) {
    const kv::BdfExportResult r = kv::ExportBdf({log, places, start}, name);
    if (!r.ok || r.counts.rows != log.RowCount()) {
      state.SkipWithError(r.ok ? "rows left out" : r.error.c_str());
      break;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fs::file_size(name)));
}
BENCHMARK(BM_ExportBdfMillionRows)->Unit(benchmark::kMillisecond)->UseRealTime();

// The lines of the export (headers included), already formatted, one file's
// worth per entry.
const std::vector<std::string>& ChunkTexts() {
  static const std::vector<std::string> chunks = [] {
    std::vector<std::string> out;
    std::size_t n = 0;
    for (const auto& row : MillionRows()) {
      if (n++ % kv::kCsvRowsPerFile == 0) {
        out.push_back(std::string(kv::kCsvHeader) + "\r\n");
      }
      for (std::size_t c = 0; c < row.size(); ++c) {
        out.back() += (c == 0 ? "" : ",") + row[c];
      }
      out.back() += "\r\n";
    }
    return out;
  }();
  return chunks;
}

// The floor: the same bytes through one stdio stream with a large buffer.
void BM_PlainBufferedWriteSameBytes(benchmark::State& state) {
  const auto& chunks = ChunkTexts();
  const std::string name = (BenchDir() / "plain.csv").string();
  std::vector<char> buffer(1 << 20);
  std::uintmax_t bytes = 0;
  for (auto _ : state) {
    std::FILE* f = std::fopen(name.c_str(), "wb");
    std::setvbuf(f, buffer.data(), _IOFBF, buffer.size());
    for (const auto& chunk : chunks) {
      std::fwrite(chunk.data(), 1, chunk.size(), f);
    }
    std::fclose(f);
    bytes = fs::file_size(name);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_PlainBufferedWriteSameBytes)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor with the export's durability: the same files, each written under a
// temporary name in one buffered loop, synced, renamed into place, and the
// folder synced, so that a crash leaves every file whole or absent.
void BM_SyncedWriteSameFiles(benchmark::State& state) {
  const auto& chunks = ChunkTexts();
  std::vector<char> buffer(1 << 20);
  const std::string folder = BenchDir().string();
  for (auto _ : state) {
    for (std::size_t i = 0; i < chunks.size(); ++i) {
      const std::string target = folder + "/SYNCED_" + std::to_string(i) + ".CSV";
      const std::string temp = target + ".tmp";
      std::FILE* f = std::fopen(temp.c_str(), "wb");
      std::setvbuf(f, buffer.data(), _IOFBF, buffer.size());
      std::fwrite(chunks[i].data(), 1, chunks[i].size(), f);
      std::fflush(f);
      ::fsync(::fileno(f));
      std::fclose(f);
      std::rename(temp.c_str(), target.c_str());
      const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
      ::fsync(dir);
      ::close(dir);
    }
  }
  state.counters["files"] = static_cast<double>(chunks.size());
}
BENCHMARK(BM_SyncedWriteSameFiles)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor for one sync per file: the same files written in one buffered loop
// straight under their names, each synced once, then the folder once.
void BM_OneSyncEachSameFiles(benchmark::State& state) {
  const auto& chunks = ChunkTexts();
  std::vector<char> buffer(1 << 20);
  const std::string folder = BenchDir().string();
  for (auto _ : state) {
    for (std::size_t i = 0; i < chunks.size(); ++i) {
      const std::string target = folder + "/ONESYNC_" + std::to_string(i) + ".CSV";
      std::FILE* f = std::fopen(target.c_str(), "wb");
      std::setvbuf(f, buffer.data(), _IOFBF, buffer.size());
      std::fwrite(chunks[i].data(), 1, chunks[i].size(), f);
      std::fflush(f);
      ::fsync(::fileno(f));
      std::fclose(f);
    }
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    ::fsync(dir);
    ::close(dir);
  }
  state.counters["files"] = static_cast<double>(chunks.size());
}
BENCHMARK(BM_OneSyncEachSameFiles)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  fs::remove_all(BenchDir(), ec);
  return 0;
}
