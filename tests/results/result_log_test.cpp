#include "results/result_log.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace kv::test {
namespace {

ResultRow MeasurementRow(int i) {
  return {"",       "10:00:00", std::to_string(i) + ".5", "1.8",       "21.6",
          "0.0005", "0.006",    "2026/12/06 10:00:00",    "Discharge", ""};
}

TEST(ResultLogTest, NumberingCountsFromOneSaturatesAndRestartsAfterClear) {
  ResultLog log;
  ResultRow stale = MeasurementRow(1);
  stale[0] = "stale";
  EXPECT_EQ(log.AddNumberedRow(stale), 0u);
  EXPECT_EQ(log.AddNumberedRow(MeasurementRow(2)), 1u);
  // A row added as it is keeps its cell 0 and takes no number.
  log.AddRow(stale);
  EXPECT_EQ(log.AddNumberedRow(MeasurementRow(3)), 3u);
  EXPECT_EQ(log.NextResultRow(), 4);
  EXPECT_EQ(log.Cell(0, 0), "1");
  EXPECT_EQ(log.Row(2), stale);
  EXPECT_EQ(log.Cell(3, 0), "3");
  EXPECT_EQ(log.Cell(0, -1), "");
  EXPECT_EQ(log.Cell(0, kResultColumns), "");

  const auto max = std::numeric_limits<std::int32_t>::max();
  log.SetNextResultRow(max);
  log.AddNumberedRow({});
  log.AddNumberedRow({});
  EXPECT_EQ(log.NextResultRow(), max);
  EXPECT_EQ(log.Cell(5, 0), std::to_string(max));

  log.Clear();
  EXPECT_EQ(log.RowCount(), 0u);
  EXPECT_EQ(log.Cell(0, 0), "");
  log.AddNumberedRow(MeasurementRow(7));
  EXPECT_EQ(log.Row(0), (ResultRow{"1", "10:00:00", "7.5", "1.8", "21.6", "0.0005", "0.006",
                                   "2026/12/06 10:00:00", "Discharge", ""}));
}

TEST(ResultLogTest, RowsOfEveryShapeReadBackAsAdded) {
  const ResultRow sparse = {"", "10:00:01", "", "", "", "", "", "", "", "PASS"};
  ResultRow odd = MeasurementRow(1);
  // A length is stored doubled: 63 is the longest that fits one byte.
  odd[2] = std::string(63, 'a');
  odd[3] = std::string(64, 'b');
  odd[8] = std::string(3 * 1024 * 1024, 'c');  // larger than any block
  odd[9] = std::string("a\0b,\r\n", 6);
  std::vector<ResultRow> rows = {ResultRow{}, sparse, ResultRow{}};
  // More distinct function names and verdicts than are ever shared.
  for (int i = 0; i < 3000; ++i) {
    ResultRow row = MeasurementRow(i);
    row[8] = i % 3 == 0 ? "Discharge" : "Function " + std::to_string(i);
    row[9] = i % 2 == 0 ? "PASS" : (i % 5 == 0 ? std::string(100, 'F') : "");
    rows.push_back(row);
  }
  rows.push_back(odd);
  ResultLog log;
  std::vector<const char*> stored;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    log.AddRow(rows[i]);
    stored.push_back(log.Cell(i, 1).data());
  }
  for (std::size_t i = 0; i < rows.size(); ++i) {
    ASSERT_EQ(log.Row(i), rows[i]) << "row " << i;
    ASSERT_EQ(log.Cell(i, 1).data(), stored[i]) << "row " << i << " moved";
  }
  EXPECT_EQ(log.Row(rows.size()), ResultRow{});
}

TEST(ResultLogTest, ManyRowsStayCompact) {
  constexpr int kRows = 200000;
  ResultLog log;
  for (int i = 0; i < kRows; ++i) {
    log.AddNumberedRow(MeasurementRow(i));
  }
  // About 60 bytes of text per row here; the bookkeeping must not multiply it.
  EXPECT_LT(log.MemoryBytes(), static_cast<std::size_t>(kRows) * 100);
}

TEST(ResultLogTest, CopiesAndMovesAreIndependent) {
  // A shared text longer than a short string lives on the heap: a log that
  // leant on texts another log freed would read freed memory.
  ResultRow row = MeasurementRow(1);
  row[8] = "Battery Discharge CC";
  ResultLog log;
  log.AddNumberedRow(row);
  ResultLog copy = log;
  log.Clear();
  log.AddNumberedRow(row);
  copy.AddNumberedRow(row);
  ResultLog assigned;
  assigned = copy;
  ResultLog moved = std::move(copy);
  moved.AddNumberedRow(row);
  EXPECT_EQ(log.RowCount(), 1u);
  EXPECT_EQ(log.Cell(0, 8), "Battery Discharge CC");
  EXPECT_EQ(assigned.RowCount(), 2u);
  for (const ResultLog* l : {&assigned, &moved}) {
    EXPECT_EQ(l->Cell(1, 0), "2");
    EXPECT_EQ(l->Cell(1, 8), "Battery Discharge CC");
  }
  EXPECT_EQ(moved.Cell(2, 0), "3");
}

}  // namespace
}  // namespace kv::test
