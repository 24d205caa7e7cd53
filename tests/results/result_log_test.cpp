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

TEST(ResultLogTest, NumberedRowsTakeNextResultRowAndCountUp) {
  ResultLog log;
  EXPECT_EQ(log.NextResultRow(), 1);
  ResultRow row = MeasurementRow(1);
  row[0] = "stale";
  EXPECT_EQ(log.AddNumberedRow(row), 0u);
  EXPECT_EQ(log.AddNumberedRow(MeasurementRow(2)), 1u);
  EXPECT_EQ(log.AddNumberedRow(MeasurementRow(3)), 2u);
  EXPECT_EQ(log.RowCount(), 3u);
  EXPECT_EQ(log.NextResultRow(), 4);
  EXPECT_EQ(log.Cell(0, 0), "1");
  EXPECT_EQ(log.Cell(2, 0), "3");
  EXPECT_EQ(log.Cell(2, 2), "3.5");
}

TEST(ResultLogTest, AddRowKeepsCellZeroAndLeavesNumberingAlone) {
  ResultLog log;
  ResultRow row = MeasurementRow(1);
  row[0] = "42";
  log.AddRow(row);
  EXPECT_EQ(log.Row(0), row);
  EXPECT_EQ(log.NextResultRow(), 1);
}

TEST(ResultLogTest, ClearRemovesRowsAndRestartsNumbering) {
  ResultLog log;
  for (int i = 0; i < 5000; ++i) {
    log.AddNumberedRow(MeasurementRow(i));
  }
  log.SetNextResultRow(0);  // as a host may leave it
  log.Clear();
  EXPECT_EQ(log.RowCount(), 0u);
  EXPECT_EQ(log.NextResultRow(), 1);
  EXPECT_EQ(log.Cell(0, 0), "");
  log.AddNumberedRow(MeasurementRow(7));
  EXPECT_EQ(log.RowCount(), 1u);
  EXPECT_EQ(log.Cell(0, 0), "1");
  EXPECT_EQ(log.Cell(0, 2), "7.5");
}

TEST(ResultLogTest, NumberingSaturatesInsteadOfWrapping) {
  ResultLog log;
  const auto max = std::numeric_limits<std::int32_t>::max();
  log.SetNextResultRow(max);
  log.AddNumberedRow({});
  log.AddNumberedRow({});
  EXPECT_EQ(log.NextResultRow(), max);
  EXPECT_EQ(log.Cell(1, 0), std::to_string(max));
}

TEST(ResultLogTest, EmptyCellsStayEmptyAndDoNotShiftNeighbours) {
  ResultLog log;
  const ResultRow allEmpty{};
  ResultRow sparse{};
  sparse[1] = "10:00:01";
  sparse[3] = "0.512";
  sparse[9] = "PASS";
  log.AddRow(allEmpty);
  log.AddRow(sparse);
  log.AddRow(allEmpty);
  EXPECT_EQ(log.Row(0), allEmpty);
  EXPECT_EQ(log.Row(1), sparse);
  EXPECT_EQ(log.Row(2), allEmpty);
  EXPECT_EQ(log.Cell(1, 2), "");
  EXPECT_EQ(log.Cell(1, 9), "PASS");
}

TEST(ResultLogTest, OutOfRangeCellsAreEmpty) {
  ResultLog log;
  log.AddRow(MeasurementRow(1));
  EXPECT_EQ(log.Cell(1, 0), "");
  EXPECT_EQ(log.Cell(0, -1), "");
  EXPECT_EQ(log.Cell(0, kResultColumns), "");
  EXPECT_EQ(log.Row(5), ResultRow{});
}

TEST(ResultLogTest, LongAndBinaryCellsRoundTrip) {
  ResultLog log;
  ResultRow row = MeasurementRow(1);
  row[2] = std::string(127, 'a');              // longest one-byte length
  row[3] = std::string(128, 'b');              // first two-byte length
  row[8] = std::string(3 * 1024 * 1024, 'c');  // larger than any block
  row[9] = std::string("a\0b,\r\n", 6);        // stored as given
  log.AddRow(MeasurementRow(0));
  log.AddRow(row);
  log.AddRow(MeasurementRow(2));
  EXPECT_EQ(log.Row(0), MeasurementRow(0));
  EXPECT_EQ(log.Row(1), row);
  EXPECT_EQ(log.Row(2), MeasurementRow(2));
}

TEST(ResultLogTest, ManyRowsSurviveAndViewsStayValidWhileAppending) {
  ResultLog log;
  log.AddNumberedRow(MeasurementRow(0));
  const std::string_view first = log.Cell(0, 7);
  for (int i = 1; i < 200000; ++i) {
    log.AddNumberedRow(MeasurementRow(i));
  }
  EXPECT_EQ(first.data(), log.Cell(0, 7).data());
  EXPECT_EQ(first, "2026/12/06 10:00:00");
  for (std::size_t i : {0u, 1u, 4095u, 65536u, 199999u}) {
    ResultRow expected = MeasurementRow(static_cast<int>(i));
    expected[0] = std::to_string(i + 1);
    EXPECT_EQ(log.Row(i), expected) << "row " << i;
  }
}

TEST(ResultLogTest, TypicalRowsStayCompact) {
  ResultLog log;
  constexpr int kRows = 100000;
  for (int i = 0; i < kRows; ++i) {
    log.AddNumberedRow(MeasurementRow(i));
  }
  // About 60 bytes of text per row here; the bookkeeping must not multiply it.
  EXPECT_LT(log.MemoryBytes(), static_cast<std::size_t>(kRows) * 100);
}

TEST(ResultLogTest, FunctionAndVerdictCellsOfAnyVarietyRoundTrip) {
  ResultLog log;
  std::vector<ResultRow> rows;
  for (int i = 0; i < 3000; ++i) {
    ResultRow row = MeasurementRow(i);
    row[8] = i % 3 == 0 ? "Discharge" : "Function " + std::to_string(i);
    row[9] = i % 2 == 0 ? "PASS" : (i % 5 == 0 ? std::string(100, 'F') : "");
    rows.push_back(row);
    log.AddRow(row);
  }
  for (std::size_t i = 0; i < rows.size(); ++i) {
    ASSERT_EQ(log.Row(i), rows[i]) << "row " << i;
  }
}

TEST(ResultLogTest, CopiesAndMovesAreIndependent) {
  ResultLog log;
  log.AddNumberedRow(MeasurementRow(1));
  ResultLog copy = log;
  copy.AddNumberedRow(MeasurementRow(2));
  ResultRow other = MeasurementRow(3);
  other[8] = "Rest";
  copy.AddNumberedRow(other);
  log.Clear();
  log.AddNumberedRow(other);
  EXPECT_EQ(copy.RowCount(), 3u);
  EXPECT_EQ(copy.Cell(0, 2), "1.5");
  EXPECT_EQ(copy.Cell(0, 8), "Discharge");
  EXPECT_EQ(copy.Cell(1, 0), "2");
  EXPECT_EQ(copy.Cell(2, 8), "Rest");
  EXPECT_EQ(log.RowCount(), 1u);
  EXPECT_EQ(log.Cell(0, 8), "Rest");

  ResultLog assigned;
  assigned = copy;
  ResultLog moved = std::move(copy);
  moved.AddNumberedRow(MeasurementRow(4));
  EXPECT_EQ(moved.Cell(3, 8), "Discharge");
  EXPECT_EQ(assigned.Row(2), moved.Row(2));
  EXPECT_EQ(assigned.RowCount(), 3u);
}

}  // namespace
}  // namespace kv::test
