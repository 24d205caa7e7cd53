#pragma once
// A finished week-long run as a report reads it: 604,800 one-second rows of
// a battery cycled through a FOR block of two discharges and a rest, two
// hours each (84 steps taken); the last step's load gave a FAIL.

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "export/run_report_layout.h"
#include "steps/step_columns.h"
#include "steps/step_function.h"

namespace kv::bench {

struct WeekRun {
  static constexpr int kSeconds = 7 * 24 * 3600;
  static constexpr int kStepSeconds = 7200;

  WeekRun() {
    grid.SetRows(5 + 2);
    const char* functions[] = {"FOR", "Discharge", "Discharge", "Rest", "LOOP"};
    for (int row = 1; row <= 5; ++row) {
      grid.SetCell(row, kColStepNo, std::to_string(row));
      grid.SetCell(row, kColFunction, functions[row - 1]);
    }
    grid.SetCell(1, kColTimes, "28");
    grid.SetCell(2, kColMode, "CC");
    grid.SetCell(2, kColSinkValue, "1");
    grid.SetCell(3, kColMode, "CC");
    grid.SetCell(3, kColSinkValue, "1.5");
    for (int row = 2; row <= 4; ++row) {
      grid.SetCell(row, kColTStop, "7200");
    }
    const LocalDateTime start{2026, 12, 1, 0, 0, 0, 0, 60};
    const std::int64_t startMs = UnixMilliseconds(start);
    summary.OnRunStarted(start);
    StepEnd step;
    char cells[4][16];
    for (int t = 0; t < kSeconds; ++t) {
      const int taken = t / kStepSeconds;
      const int row = 2 + taken % 3;
      const bool rest = row == 4;
      if (t % kStepSeconds == 0) {
        places.OnStepStarted(row, FindStepFunction(functions[row - 1]));
        step = {};
        step.row = row;
        step.functionName = functions[row - 1];
        step.reason = StepEndReason::Time;
        step.started = At(start, t);
      }
      const double phase = (t % kStepSeconds) / double{kStepSeconds};
      const double amps = rest ? 0.0 : (row == 2 ? 1.0 : 1.5);
      const double volts =
          12.6 - 1.6 * phase * phase + 0.002 * static_cast<double>(t * 7919LL % 11 - 5);
      step.ah += amps / 3600;
      step.wh += volts * amps / 3600;
      std::snprintf(cells[0], sizeof cells[0], "%.3f", volts);
      std::snprintf(cells[1], sizeof cells[1], "%.3f", amps);
      std::snprintf(cells[2], sizeof cells[2], "%.3f", volts * amps);
      std::snprintf(cells[3], sizeof cells[3], "%.4f", step.ah);
      places.OnRowAdded(log.AddNumberedRow({"", "12:00:00", cells[0], cells[1], cells[2], cells[3],
                                            "0", "2026/12/01 12:00:00", functions[row - 1], ""}),
                        startMs + std::int64_t{t} * 1000);
      if (t % kStepSeconds == kStepSeconds - 1) {
        step.ended = At(start, t + 1);
        step.seconds = kStepSeconds;
        if (t + 1 == kSeconds) {
          step.verdict = StepVerdict::Fail;
          log.AddNumberedRow({"", "", "", "", "", "", "", "", functions[row - 1], "FAIL"});
        }
        summary.OnStepEnded(step);
      }
    }
    summary.OnRunEnded({RunEndReason::Completed, start, At(start, kSeconds), kSeconds});
    facts.identity.program = "kvload-run";
    facts.identity.listPath = "week.tsf";
    facts.bench = "rig 7";
    facts.model = "KVLOAD-SIM 100G";
    facts.exitStatus = 1;
  }

  static LocalDateTime At(LocalDateTime start, int seconds) {
    start.day += seconds / 86400;
    start.hour = seconds / 3600 % 24;
    start.minute = seconds / 60 % 60;
    start.second = seconds % 60;
    return start;
  }

  RunReportSource Source() const { return {log, places, summary, grid, findings, facts}; }

  ResultLog log;
  RowPlaces places;
  RunSummary summary;
  StepGrid grid;
  std::vector<CheckFinding> findings;
  RunReportFacts facts;
};

}  // namespace kv::bench
