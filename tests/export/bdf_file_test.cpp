// The Battery Data Format files of a fixed run held to golden files, and the
// table read back by the format's column rules.
#include <gmock/gmock.h>

#include <map>
#include <sstream>

#include "export/bdf_metadata.h"
#include "runner/runner_harness.h"

namespace kv::test {
namespace {

// Feeds the record as the station's recorder does. The fake clock's stamps
// drop the milliseconds; its tick count keeps them.
class PlaceObserver : public RunnerObserver {
 public:
  explicit PlaceObserver(const RunnerBench& b) : b_(b) {}
  void OnStepStarted(int row, int) override {
    places.OnStepStarted(row, FindStepFunction(b_.grid.Cell(row, kColFunction)));
  }
  void OnRowAdded(std::size_t index) override {
    places.OnRowAdded(index, UnixMilliseconds(b_.clock.Now()) + b_.clock.TickMs() % 1000);
  }
  RowPlaces places;

 private:
  const RunnerBench& b_;
};

// A step, a FOR block of two passes and a step that takes a verdict; one tick
// without a measurement and one whose current is no number.
struct FixedRun {
  FixedRun() {
    b.Load({{"Discharge", {{kColMode, "CC"}, {kColSinkValue, "1.8"}, {kColTStop, "3"}}},
            {"FOR", {{kColTimes, "2"}}},
            {"Discharge", {{kColMode, "CC"}, {kColSinkValue, "1"}, {kColTStop, "2"}}},
            {"LOOP"},
            {"OCP", {{kColLimitLow, "1"}, {kColLimitHigh, "10"}}}},
           {{"MEAS:VC?", {"12.10,1.80", "ErrRec", "12.00,1.8A", "11.90,1.00"}},
            {"TESTING?", {"0"}},
            {"OCP?", {"5"}}});
    b.ctx.observer = &summary;
    b.Run();
    b.clock.AdvanceMs(1250);  // the station's first tick comes a while after Run
    b.RunToEnd();
  }
  RunnerBench b;
  PlaceObserver places{b};
  RunSummary summary{&places};
};

TEST(BdfFile, TableAndMetadataOfAFixedRunMatchTheGoldenFiles) {
  const FixedRun run;
  BdfRunFacts facts;
  facts.identity = {"run-1", "kvload-run", "1.2", "fixed.tsf", "ab12",
                    5,       "",           "sim", "KV8G-100",  {}};
  facts.model = "KV8G-100";
  facts.bench = "bench \"A\"";
  facts.exitStatus = 0;
  BdfCounts counts;
  EXPECT_EQ(FormatBdf({run.b.log, run.places.places, run.summary.Started()}, &counts),
            Golden("../export/fixed.bdf.csv"));
  facts.dataFile = "fixed.bdf.csv";
  facts.counts = counts;
  EXPECT_EQ(BdfMetadataJson(facts, run.summary), Golden("../export/fixed.bdf.json"));
}

// Read as an analysis tool reads it: columns by label and unit, the battery's
// sign (charge positive), test time that never runs back.
TEST(BdfFile, TableReadsBackByTheColumnRules) {
  const FixedRun run;
  std::istringstream in(FormatBdf({run.b.log, run.places.places, run.summary.Started()}));
  std::string line;
  std::getline(in, line, '\n');
  std::vector<std::string> labels;
  std::stringstream header(line.substr(0, line.find('\r')));
  for (std::string label; std::getline(header, label, ',');) {
    labels.push_back(label);
  }
  ASSERT_THAT(labels,
              ::testing::ElementsAre("Test Time / s", "Voltage / V", "Current / A", "Unix Time / s",
                                     "Cycle Count / 1", "Step Count / 1", "Step Index / 1",
                                     "Power / W", "Step Capacity / Ah", "Step Energy / Wh",
                                     "Discharging Capacity / Ah", "Discharging Energy / Wh"));
  std::map<std::string, double> last;
  std::map<std::string, std::vector<double>> column;
  while (std::getline(in, line, '\n')) {
    std::stringstream cells(line);
    std::map<std::string, double> row;
    for (const std::string& label : labels) {
      std::string cell;
      std::getline(cells, cell, ',');
      row[label] = std::stod(cell);
      column[label].push_back(row[label]);
    }
    SCOPED_TRACE(line);
    EXPECT_LT(row["Current / A"], 0.0);  // the load only draws
    EXPECT_NEAR(row["Power / W"], row["Voltage / V"] * row["Current / A"], 1e-9);
    EXPECT_LE(row["Step Capacity / Ah"], 0.0);
    EXPECT_LE(row["Step Energy / Wh"], 0.0);
    EXPECT_NEAR(row["Unix Time / s"] - row["Test Time / s"], 1796551200.0, 1.0);
    for (const char* label : {"Test Time / s", "Discharging Capacity / Ah",
                              "Discharging Energy / Wh", "Step Count / 1"}) {
      EXPECT_GE(row[label], last[label]) << label;
    }
    last = row;
  }
  EXPECT_THAT(column["Cycle Count / 1"], ::testing::Contains(2.0));
  EXPECT_EQ(column["Test Time / s"].size(), column["Step Index / 1"].size());
}

}  // namespace
}  // namespace kv::test
