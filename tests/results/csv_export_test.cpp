#include "results/csv_export.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "support/platform.h"
#include "support/temp_folder.h"

namespace kv::test {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

const std::string kHeaderLine = "NO.,StepTime,V,I,W,Ah,Wh,TotalTime,FunctionName,Result\r\n";

// Cells that differ from row to row, so a row in the wrong file or order shows.
ResultRow RowFor(std::size_t n) {
  const std::string s = std::to_string(n);
  return {"",       "10:00:" + s, s + ".1", "1.8",       "",
          "0." + s, "",           "",       "Discharge", n % 2 ? "" : "PASS"};
}

// The text of chunk `chunk` (from 0) of a report of RowFor(1..rows).
std::string ExpectedChunk(std::size_t chunk, std::size_t rows) {
  std::string text = kHeaderLine;
  for (std::size_t n = chunk * 32000 + 1; n <= std::min(rows, (chunk + 1) * 32000); ++n) {
    const ResultRow row = RowFor(n);
    text += std::to_string(n);
    for (std::size_t c = 1; c < row.size(); ++c) {
      text += "," + row[c];
    }
    text += "\r\n";
  }
  return text;
}

TEST(CsvChunkFileNameTest, NamesPerChunk) {
  // A backslash separates folders on Windows only; elsewhere it is part of a name.
  const char* const backslashed =
      kWindows ? "C:\\Logs.csv\\MIXED_1.CSV" : "C:\\LOGS_1.CSV\\MIXED_1.CSV";
  const std::tuple<const char*, std::size_t, const char*> cases[] = {
      {"C:\\Logs.csv\\Mixed.Csv", 1, backslashed},
      {"C:/Logs.csv/Mixed.Csv", 1, "C:/Logs.csv/MIXED_1.CSV"},
      {"/logs/20261205.csv", 2, "/logs/20261205_2.CSV"},
      {"/logs/report.CSV", 11, "/logs/REPORT_11.CSV"},
      {"/Logs.csv/Mixed.Csv", 1, "/Logs.csv/MIXED_1.CSV"},  // folders untouched
      {"/logs/report.txt", 2, "/logs/REPORT.TXT_2"},
      {"/logs/a.csv.csv", 1, "/logs/A_1.CSV_1.CSV"},  // every ".CSV" takes the number
      {"/logs/a.csvx", 0, "/logs/A_0.CSVX"},
      {"/logs/r\xC3\xA9sum\xC3\xA9.csv", 0, "/logs/R\xC3\xA9SUM\xC3\xA9_0.CSV"},
  };
  for (const auto& [chosen, chunk, expected] : cases) {
    EXPECT_EQ(CsvChunkFileName(chosen, chunk), expected) << chosen << " #" << chunk;
  }
}

// 32000 rows to a file, each file whole and in order; a chunk that cannot be
// written ends the export, keeps the chunks before it and leaves its target
// as it was, with no stray temporary file beside it.
TEST(CsvExportTest, RowsSplitIntoChunksAndAFailureKeepsWhatWasWritten) {
  enum Blocker { kNone, kFolder, kReadOnlyFile };
  struct Case {
    std::size_t rows;
    const char* chosen;
    Names written;
    const char* failing = nullptr;
    Blocker blocker = kNone;  // what stands in the failing chunk's way
  };
  const Case cases[] = {
      {0, "report.csv", {}},
      {32000, "report.csv", {"REPORT_0.CSV"}},
      {32001, "report.csv", {"REPORT_0.CSV", "REPORT_1.CSV"}},
      // A name without ".csv" stands for the first chunk.
      {64001, "bench7", {"BENCH7", "BENCH7_1", "BENCH7_2"}},
      {70000, "report.csv", {"REPORT_0.CSV", "REPORT_1.CSV"}, "REPORT_2.CSV", kFolder},
      {32001, "report.csv", {"REPORT_0.CSV"}, "REPORT_1.CSV", kReadOnlyFile},
      {1, "absent/report.csv", {}, "absent/REPORT_0.CSV"},
      {1, "", {}, ""},  // the folder itself
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.chosen) + " " + std::to_string(c.rows));
    TempFolder folder;
    const std::string failing = c.failing ? folder.File(c.failing) : "";
    if (c.blocker == kFolder) {
      fs::create_directories(failing);
    } else if (c.blocker == kReadOnlyFile) {
      WriteBytes(failing, "kept");
      fs::permissions(failing, fs::perms::owner_read);
    }
    ResultLog log;
    for (std::size_t n = 1; n <= c.rows; ++n) {
      log.AddNumberedRow(RowFor(n));
    }
    const CsvExportResult r = ExportResultLog(log, folder.File(c.chosen));
    EXPECT_EQ(r.ok, c.failing == nullptr) << r.error;
    if (c.failing) {
      EXPECT_NE(r.error.find(failing), std::string::npos) << r.error;
      // More than "Cannot create " and ": " around the name: the reason too.
      EXPECT_GT(r.error.size(), failing.size() + 16) << "reason missing: " << r.error;
    }
    Names paths;
    for (std::size_t i = 0; i < c.written.size(); ++i) {
      paths.push_back(folder.File(c.written[i]));
      // Not EXPECT_EQ: a diff of two chunks of 32000 lines takes minutes.
      EXPECT_TRUE(ReadBytes(paths.back()) == ExpectedChunk(i, c.rows)) << c.written[i];
    }
    EXPECT_EQ(r.files, paths);
    if (c.blocker == kReadOnlyFile) {
      EXPECT_EQ(ReadBytes(failing), "kept");
    }
    // Nothing else: no chunk after the failing one, no temporary file.
    const auto entries = std::distance(fs::directory_iterator(folder.path()), {});
    EXPECT_EQ(static_cast<std::size_t>(entries), c.written.size() + (c.blocker != kNone));
  }
}

TEST(CsvExportTest, CellsAreWrittenAsTheyAreWithoutQuoting) {
  TempFolder folder;
  ResultLog log;
  log.AddRow({"1", "", "1,5", " 2 ", "\"q\"", "", "", "", "Battery RAMP", "FAIL"});
  log.AddRow(ResultRow{});
  const CsvExportResult r = ExportResultLog(log, folder.File("r.csv"));
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(ReadBytes(folder.File("R_0.CSV")),
            kHeaderLine + "1,,1,5, 2 ,\"q\",,,,Battery RAMP,FAIL\r\n,,,,,,,,,\r\n");
}

}  // namespace
}  // namespace kv::test
