#include "results/csv_export.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/temp_folder.h"

namespace kv::test {
namespace {

namespace fs = std::filesystem;

const std::string kHeaderLine = "NO.,StepTime,V,I,W,Ah,Wh,TotalTime,FunctionName,Result\r\n";

// Every cell differs from row to row, so a row in the wrong file or order shows.
ResultRow RowFor(std::size_t n) {
  const std::string s = std::to_string(n);
  return {"",          "10:00:" + s,
          s + ".1",    "1.8",
          s + ".2",    "0." + s,
          s + "E-05",  "2026/12/06 10:00:00",
          "Discharge", n % 2 == 0 ? "PASS" : ""};
}

ResultLog MakeLog(std::size_t rows) {
  ResultLog log;
  for (std::size_t n = 1; n <= rows; ++n) {
    log.AddNumberedRow(RowFor(n));
  }
  return log;
}

// The expected file text for rows first..last (1-based, inclusive).
std::string Expected(std::size_t first, std::size_t last) {
  std::string text = kHeaderLine;
  for (std::size_t n = first; n <= last; ++n) {
    ResultRow row = RowFor(n);
    row[0] = std::to_string(n);
    for (std::size_t c = 0; c < row.size(); ++c) {
      text += (c == 0 ? "" : ",") + row[c];
    }
    text += "\r\n";
  }
  return text;
}

std::string ReadAll(const fs::path& p) {
  return ReadBytes(p.string());
}

std::vector<std::string> Entries(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class CsvExportTest : public ::testing::Test {
 protected:
  std::string In(const std::string& name) const { return folder_.File(name); }

  TempFolder folder_;
  const fs::path& dir_ = folder_.path();
};

TEST(CsvChunkFileNameTest, NamesPerChunk) {
  struct Case {
    const char* chosen;
    std::size_t chunk;
    const char* expected;
  };
  const Case cases[] = {
      {"/logs/20261205.csv", 0, "/logs/20261205_0.CSV"},
      {"/logs/20261205.csv", 2, "/logs/20261205_2.CSV"},
      {"/logs/report.CSV", 11, "/logs/REPORT_11.CSV"},
      {"/Logs.csv/Mixed.Csv", 1, "/Logs.csv/MIXED_1.CSV"},  // folders untouched
      {"report.csv", 0, "REPORT_0.CSV"},
      {"/logs/report", 0, "/logs/REPORT"},
      {"/logs/report", 1, "/logs/REPORT_1"},
      {"/logs/report.txt", 2, "/logs/REPORT.TXT_2"},
      {"/logs/a.csv.csv", 1, "/logs/A_1.CSV_1.CSV"},  // every ".CSV" takes the number
      {"/logs/a.csvx", 0, "/logs/A_0.CSVX"},
      {"/logs/r\xC3\xA9sum\xC3\xA9.csv", 0, "/logs/R\xC3\xA9SUM\xC3\xA9_0.CSV"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CsvChunkFileName(c.chosen, c.chunk), c.expected) << c.chosen << " #" << c.chunk;
  }
}

TEST_F(CsvExportTest, NoRowsWritesNothingAndSucceeds) {
  const CsvExportResult r = ExportResultLog(ResultLog{}, In("report.csv"));
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_TRUE(r.files.empty());
  EXPECT_TRUE(Entries(dir_).empty());
}

// 32000 rows to a file; each file holds its rows whole and in order.
TEST_F(CsvExportTest, RowsSplitIntoChunksOf32000) {
  struct Chunk {
    const char* file;
    std::size_t first;
    std::size_t last;
  };
  struct Case {
    std::size_t rows;
    const char* chosen;
    std::vector<Chunk> chunks;
  };
  const Case cases[] = {
      {32000, "report.csv", {{"REPORT_0.CSV", 1, 32000}}},
      {32001, "report.csv", {{"REPORT_0.CSV", 1, 32000}, {"REPORT_1.CSV", 32001, 32001}}},
      {70000,
       "20261205.csv",
       {{"20261205_0.CSV", 1, 32000},
        {"20261205_1.CSV", 32001, 64000},
        {"20261205_2.CSV", 64001, 70000}}},
      // A name without ".csv" stands for the first chunk.
      {64001,
       "bench7",
       {{"BENCH7", 1, 32000}, {"BENCH7_1", 32001, 64000}, {"BENCH7_2", 64001, 64001}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chosen);
    TempFolder folder;
    const CsvExportResult r = ExportResultLog(MakeLog(c.rows), folder.File(c.chosen));
    ASSERT_TRUE(r.ok) << r.error;
    std::vector<std::string> paths;
    std::vector<std::string> names;
    for (const Chunk& chunk : c.chunks) {
      paths.push_back(folder.File(chunk.file));
      names.emplace_back(chunk.file);
      EXPECT_EQ(ReadAll(folder.File(chunk.file)), Expected(chunk.first, chunk.last)) << chunk.file;
    }
    EXPECT_EQ(r.files, paths);
    EXPECT_EQ(Entries(folder.path()), names);
  }
}

TEST_F(CsvExportTest, MixedCaseNameIsUpperCasedButItsFolderIsNot) {
  fs::create_directories(dir_ / "Run.csv");
  const CsvExportResult r = ExportResultLog(MakeLog(3), In("Run.csv/Report.Csv"));
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(Entries(dir_ / "Run.csv"), std::vector<std::string>{"REPORT_0.CSV"});
  EXPECT_EQ(ReadAll(dir_ / "Run.csv" / "REPORT_0.CSV"), Golden("results/three_rows.csv"));
}

TEST_F(CsvExportTest, FailingChunkLeavesEarlierChunksWholeAndNoPartialFile) {
  fs::create_directories(dir_ / "REPORT_2.CSV");  // chunk 2 cannot be written
  const CsvExportResult r = ExportResultLog(MakeLog(70000), In("report.csv"));
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find(In("REPORT_2.CSV")), std::string::npos) << r.error;
  EXPECT_GT(r.error.size(), In("REPORT_2.CSV").size() + 4) << "reason missing: " << r.error;
  EXPECT_EQ(r.files, (std::vector<std::string>{In("REPORT_0.CSV"), In("REPORT_1.CSV")}));
  EXPECT_EQ(Entries(dir_),
            (std::vector<std::string>{"REPORT_0.CSV", "REPORT_1.CSV", "REPORT_2.CSV"}));
  EXPECT_EQ(ReadAll(In("REPORT_0.CSV")), Expected(1, 32000));
  EXPECT_EQ(ReadAll(In("REPORT_1.CSV")), Expected(32001, 64000));
  EXPECT_TRUE(fs::is_directory(In("REPORT_2.CSV")));
  EXPECT_TRUE(fs::is_empty(In("REPORT_2.CSV")));
}

TEST_F(CsvExportTest, ReadOnlyChunkIsNotReplaced) {
  std::ofstream(In("REPORT_1.CSV"), std::ios::binary) << "kept";
  fs::permissions(In("REPORT_1.CSV"), fs::perms::owner_read);
  const CsvExportResult r = ExportResultLog(MakeLog(32001), In("report.csv"));
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("REPORT_1.CSV"), std::string::npos) << r.error;
  EXPECT_EQ(r.files, std::vector<std::string>{In("REPORT_0.CSV")});
  EXPECT_EQ(ReadAll(In("REPORT_1.CSV")), "kept");
  EXPECT_EQ(Entries(dir_), (std::vector<std::string>{"REPORT_0.CSV", "REPORT_1.CSV"}));
}

TEST_F(CsvExportTest, MissingFolderIsReportedWithTheFileName) {
  const CsvExportResult r = ExportResultLog(MakeLog(1), In("absent/report.csv"));
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find(In("absent/REPORT_0.CSV")), std::string::npos) << r.error;
  EXPECT_TRUE(r.files.empty());
  EXPECT_TRUE(Entries(dir_).empty());
}

TEST_F(CsvExportTest, NoFileNameIsAFailure) {
  EXPECT_FALSE(ExportResultLog(MakeLog(1), "").ok);
  EXPECT_FALSE(ExportResultLog(MakeLog(1), dir_.string() + "/").ok);
  EXPECT_TRUE(Entries(dir_).empty());
}

TEST_F(CsvExportTest, CellsAreWrittenAsTheyAreWithoutQuoting) {
  ResultLog log;
  log.AddRow({"1", "", "1,5", " 2 ", "\"q\"", "", "", "", "Battery RAMP", "FAIL"});
  log.AddRow(ResultRow{});
  const CsvExportResult r = ExportResultLog(log, In("r.csv"));
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(ReadAll(In("R_0.CSV")),
            kHeaderLine + "1,,1,5, 2 ,\"q\",,,,Battery RAMP,FAIL\r\n,,,,,,,,,\r\n");
}

}  // namespace
}  // namespace kv::test
