// Result log: cost of appending rows, memory per million rows, and the CSV
// export of a million rows against the bare cost of writing the same bytes.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench_data.h"
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

// The floor: the same lines (headers included), already formatted, written
// through one stdio stream with a large buffer.
void BM_PlainBufferedWriteSameBytes(benchmark::State& state) {
  std::vector<std::string> lines;
  lines.reserve(kMillion + 40);
  std::size_t n = 0;
  for (const auto& row : MillionRows()) {
    if (n++ % kv::kCsvRowsPerFile == 0) {
      lines.push_back(std::string(kv::kCsvHeader) + "\r\n");
    }
    std::string line;
    for (std::size_t c = 0; c < row.size(); ++c) {
      line += (c == 0 ? "" : ",") + row[c];
    }
    lines.push_back(line + "\r\n");
  }
  const std::string name = (BenchDir() / "plain.csv").string();
  std::vector<char> buffer(1 << 20);
  std::uintmax_t bytes = 0;
  for (auto _ : state) {
    std::FILE* f = std::fopen(name.c_str(), "wb");
    std::setvbuf(f, buffer.data(), _IOFBF, buffer.size());
    for (const auto& line : lines) {
      std::fwrite(line.data(), 1, line.size(), f);
    }
    std::fclose(f);
    bytes = fs::file_size(name);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_PlainBufferedWriteSameBytes)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  fs::remove_all(BenchDir(), ec);
  return 0;
}
