// The run report's pages: what goes where when a table runs over a page.
#include <gmock/gmock.h>

#include "export/run_report_layout.h"

namespace kv::test {
namespace {

struct ReportRun {
  explicit ReportRun(int taken, std::size_t findingLength) {
    for (int i = 1; i <= taken; ++i) {
      StepEnd end;
      end.row = i;
      end.functionName = "Discharge";
      summary.OnStepEnded(end);
    }
    grid.SetRows(3 + 2);
    findings.push_back({1, Severity::Error, std::string(findingLength, 'x')});
  }
  ResultLog log;
  RowPlaces places;
  RunSummary summary;
  StepGrid grid;
  std::vector<CheckFinding> findings;
};

TEST(RunReportLayout, TablesRunOnWithTheirHeaderAndEveryPageWithinItsRoom) {
  struct Case {
    int taken;
    std::size_t findingLength;  // wraps at 20 characters
    ReportPageLines room;
    std::size_t pages;
  };
  for (const Case& c : {
           Case{0, 5, {20, 40, 20}, 1},
           Case{13, 5, {20, 40, 20}, 2},   // no room left for the list's title and a line
           Case{30, 5, {20, 40, 20}, 2},   // the steps run over
           Case{60, 5, {10, 20, 20}, 5},   // three times
           Case{14, 70, {10, 20, 20}, 3},  // a long finding wraps
       }) {
    const ReportRun run(c.taken, c.findingLength);
    const RunReportLayout layout =
        LayOutRunReport({run.log, run.places, run.summary, run.grid, run.findings, {}}, c.room);
    SCOPED_TRACE(c.taken);
    ASSERT_EQ(layout.pages.size(), c.pages);
    int steps = 0;
    std::string finding;
    for (std::size_t i = 0; i < layout.pages.size(); ++i) {
      const std::vector<PageLine>& lines = layout.pages[i].lines;
      int units = 0;
      for (const PageLine& line : lines) {
        units += PageLineUnits(line.kind);
        steps += line.kind == PageLineKind::Row && line.cells.size() == kReportStepColumns;
        if (line.fail) {
          finding += line.cells.back();
        }
      }
      EXPECT_LE(units, i == 0 ? c.room.first : c.room.other) << i;
      EXPECT_EQ(layout.pages[i].header, i == 0);
      EXPECT_NE(lines.back().kind, PageLineKind::Title) << i;
      if (i > 0 && lines.front().cells.front().ends_with("(continued)")) {
        EXPECT_EQ(lines[1].kind, PageLineKind::TableHeader) << i;
      }
    }
    EXPECT_EQ(steps, c.taken);
    EXPECT_EQ(finding, std::string(c.findingLength, 'x'));
  }
  EXPECT_EQ(ReportPageNumber(2, 7), "3 / 7");
}

}  // namespace
}  // namespace kv::test
