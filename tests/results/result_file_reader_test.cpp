#include "results/result_file_reader.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <string>

#include "results/csv_export.h"
#include "support/temp_folder.h"

namespace kv::test {
namespace {

using ::testing::HasSubstr;

const std::string kHead = std::string(kCsvHeader) + "\r\n";
const std::string kRow = "1,10:00:01,4.1,1,4.1,0.001,0.004,2026/12/06 10:00:01,Discharge,\r\n";

// Files that are not one of ours are refused whole, with the reason.
TEST(ResultFileReaderTest, RefusesWhatIsNotOneOfOursAndLoadsNothing) {
  const TempFolder dir;
  const struct {
    const char* name;
    std::string bytes;
    const char* why;
  } cases[] = {
      {"empty.csv", "", "is empty"},
      {"other.csv", "Time,Volts\r\n1,2\r\n", "first line is not the header"},
      {"torn-header.csv", kHead.substr(0, 20), "first line is not the header"},
      {"binary.csv",
       kHead + kRow +
           std::string("\x7f"
                       "ELF\0\0",
                       6) +
           "\r\n",
       "line 3 holds binary"},
      {"cells.csv", kHead + "1,2,3\r\n" + kRow, "line 2 has 3 cells, not 10"},
      // Only the last line can be torn by a crash.
      {"cut-mid-file.csv", kHead + kRow + kRow.substr(0, 9) + "\n" + kRow, "line 3 has 2 cells"},
      {"endless.csv", kHead + std::string(70000, '7'), "longer than any row"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(dir.File(c.name), c.bytes);
    const ResultFileRead read = ReadResultFile(dir.File(c.name));
    EXPECT_FALSE(read.ok);
    EXPECT_THAT(read.error, HasSubstr(dir.File(c.name) + ": "));
    EXPECT_THAT(read.error, HasSubstr(c.why));
    EXPECT_EQ(read.log.RowCount(), 0U);
  }
  // Sparse: the size alone refuses it, before a byte is read.
  std::filesystem::resize_file(dir.File("empty.csv"), kMaxResultFileBytes + 1);
  EXPECT_THAT(ReadResultFile(dir.File("empty.csv")).error, HasSubstr("1024 MiB"));
  EXPECT_THAT(ReadResultFile(dir.path().string()).error, HasSubstr("not a file"));
}

TEST(ResultFileReaderTest, DropsATornLastLineAndReadsTheChunksAfterChunkZero) {
  const TempFolder dir;
  WriteBytes(dir.File("j.csv"), kHead + kRow + kRow + kRow.substr(0, 30));
  ResultFileRead read = ReadResultFile(dir.File("j.csv"));
  ASSERT_TRUE(read.ok) << read.error;
  EXPECT_EQ(read.log.RowCount(), 2U);
  EXPECT_EQ(read.tornLine, 4U);
  EXPECT_EQ(read.log.Cell(1, kResTotalTime), "2026/12/06 10:00:01");

  WriteBytes(dir.File("RUN_0.CSV"), kHead + kRow);
  WriteBytes(dir.File("RUN_1.CSV"), kHead + kRow + kRow);
  read = ReadResultFile(dir.File("RUN_0.CSV"));
  EXPECT_EQ(read.log.RowCount(), 3U);
  EXPECT_EQ(read.files.size(), 2U);
  EXPECT_EQ(read.tornLine, 0U);
}

}  // namespace
}  // namespace kv::test
