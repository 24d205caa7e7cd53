// The desktop program checks the list again after every change: the check and
// the run plan of the longest list must stay well under a frame's notice.

#include <benchmark/benchmark.h>

#include "bench_data.h"
#include "check/run_plan.h"
#include "check/step_list_check.h"

namespace {

void BM_CheckStepList(benchmark::State& state) {
  const kv::StepGrid grid = kv::bench::LongGrid();
  for (auto _ : state) {
    // What one change costs: the check for the identified model and the plan.
    benchmark::DoNotOptimize(kv::CheckStepListForModel(grid, "KVLOAD-SIM 100G"));
    benchmark::DoNotOptimize(kv::PlanStepList(grid));
  }
  state.counters["steps"] = kv::bench::kMaxSteps;
}
BENCHMARK(BM_CheckStepList)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
