// Saving and loading a list of 32767 steps must feel instant when the
// operator opens or saves a file.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench_data.h"
#include "stepfile/step_file.h"

namespace {

namespace fs = std::filesystem;

constexpr int kSteps = kv::bench::kMaxSteps;
using kv::bench::LongGrid;

std::string BenchPath() {
  std::random_device rd;
  return (fs::temp_directory_path() / ("kv_bench_" + std::to_string(rd()) + ".tsf")).string();
}

void BM_SaveStepFile(benchmark::State& state) {
  const kv::StepGrid grid = LongGrid();
  const std::string path = BenchPath();
  for (auto _ : state) {
    const kv::StepFileResult r = kv::SaveStepFile(grid, path);
    if (!r.ok) {
      state.SkipWithError(r.error.c_str());
      break;
    }
  }
  state.counters["steps"] = kSteps;
  state.counters["bytes"] = static_cast<double>(fs::file_size(path));
  fs::remove(path);
}
BENCHMARK(BM_SaveStepFile)->Unit(benchmark::kMillisecond);

void BM_LoadStepFile(benchmark::State& state) {
  const std::string path = BenchPath();
  kv::SaveStepFile(LongGrid(), path);
  kv::StepGrid grid;
  for (auto _ : state) {
    // An Open clears the grid before loading; that is not the loader's cost.
    state.PauseTiming();
    grid.Reset();
    state.ResumeTiming();
    const kv::StepFileResult r = kv::LoadStepFile(grid, path);
    if (!r.ok || r.steps != kSteps) {
      state.SkipWithError("load failed");
      break;
    }
    benchmark::DoNotOptimize(grid);
  }
  state.counters["steps"] = kSteps;
  fs::remove(path);
}
BENCHMARK(BM_LoadStepFile)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
