// Saving and loading a list of 32767 steps must feel instant when the
// operator opens or saves a file.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "stepfile/step_file.h"

namespace {

namespace fs = std::filesystem;

constexpr int kSteps = 32767;

// A realistic mix: short numeric cells and a few sub-step lists.
kv::StepGrid LongGrid() {
  std::vector<kv::TestStep> steps(kSteps);
  for (int i = 0; i < kSteps; ++i) {
    kv::TestStep& s = steps[static_cast<std::size_t>(i)];
    s[kv::kColStepNo] = std::to_string(i + 1);
    if (i % 3 == 0) {
      s[kv::kColFunction] = "Battery RAMP";
      s[kv::kColSinkValue] = "0.5";
      s[kv::kColTimes] = "2";
      s[kv::kColLoadOffV] = "2.8";
      s[kv::kColRampCc] = ";1;2;3;4;5;6;7;8;9";
      s[kv::kColRampTime] = ";10;10;20;20;30;30;40;40;50";
      s[kv::kColTotalStep] = "9";
    } else {
      s[kv::kColFunction] = "Discharge";
      s[kv::kColMode] = "CC";
      s[kv::kColSinkValue] = "1.25";
      s[kv::kColVStop] = "2.75";
      s[kv::kColTStop] = "3600";
      s[kv::kColAhStop] = "0";
    }
  }
  kv::StepGrid grid;
  grid.AssignSteps(std::move(steps));
  return grid;
}

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
