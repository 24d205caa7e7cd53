#include "stepfile/step_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "steps/step_columns.h"
#include "support/platform.h"
#include "support/temp_folder.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

class StepFileTest : public testing::Test {
 protected:
  std::string PathOf(const std::string& name) const { return folder_.File(name); }
  test::TempFolder folder_;
};

TestStep Step(std::initializer_list<std::pair<int, const char*>> cells) {
  TestStep step;
  for (const auto& [col, text] : cells) {
    step[col] = text;
  }
  return step;
}

StepGrid SampleGrid() {
  StepGrid grid;
  grid.AssignSteps({Step({{kColStepNo, "1"},
                          {kColFunction, "Discharge"},
                          {kColMode, "CC"},
                          {kColSinkValue, "1"},
                          {kColVStop, "0"},
                          {kColTStop, "10"},
                          {kColAhStop, "0"}}),
                    Step({{kColStepNo, "2"},
                          {kColFunction, "Battery RAMP"},
                          {kColSinkValue, "0.5"},
                          {kColRampCc, ";1;;3"},
                          {kColRampTime, ";10;10;20"},
                          {kColTotalStep, "3"}}),
                    Step({{kColStepNo, "3"}}),  // otherwise empty, as a blank line loads
                    // Bytes of another code page.
                    Step({{kColStepNo, "4"},
                          {kColFunction, "Dynamic"},
                          {kColVStop, " 1.50 "},
                          {kColTotalStep, "\xB2\xE2\xB8\xD5 xy"}})});
  return grid;
}

// CRLF line ends, 26 fields a line, cells as bytes; what is saved loads back
// cell for cell.
TEST_F(StepFileTest, SaveWritesTheFileByteForByteAndLoadsItBack) {
  for (const auto& [saved, golden] :
       {std::pair{SampleGrid(), "sample.tsf"}, std::pair{StepGrid{}, "empty.tsf"}}) {
    const StepFileResult result = SaveStepFile(saved, PathOf(golden));
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.steps, saved.StepCount());
    EXPECT_EQ(test::ReadBytes(PathOf(golden)), test::Golden(std::string("stepfile/") + golden));
    EXPECT_FALSE(fs::exists(PathOf(golden) + ".kvtmp"));
  }
  StepGrid loaded;
  const StepFileResult result = LoadStepFile(loaded, PathOf("sample.tsf"));
  ASSERT_TRUE(result.ok) << result.error;
  ASSERT_EQ(loaded.Rows(), SampleGrid().Rows());
  for (int r = 0; r < loaded.Rows(); ++r) {
    EXPECT_EQ(loaded.Row(r), SampleGrid().Row(r)) << "row " << r;
  }
  EXPECT_EQ(loaded.CurrentRow(), 4);
  EXPECT_EQ(loaded.CurrentCol(), 0);
}

std::string Commas(int n) {
  return std::string(static_cast<std::size_t>(n), ',');
}

// Every load goes over the sample list: a line overwrites only the fields it
// holds, so step 1 keeps the old step 1's cells past a short or empty line.
TEST_F(StepFileTest, ReadsLinesIntoStepRows) {
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<std::string> functions;  // column 1 of each step row
    int longLines = 0;
  };
  const Case cases[] = {
      {"first line is always dropped", "1,Rest\r\n2,Short\r\n", {"Short"}},
      {"header only", "h\r\n", {}},
      {"empty middle line", "h\r\n1,Rest\r\n\r\n3,Short\r\n", {"Rest", "", "Short"}},
      {"LF only ends lines too", "h\n1,Rest\n2,Short\n", {"Rest", "Short"}},
      {"lone CR ends a line", "h\r1,Rest\r2,Short", {"Rest", "Short"}},
      {"a bare LF in a CR LF file ends its line", "h\r\n1,Rest\n2,Short\r\n", {"Rest", "Short"}},
      {"CR CR is an empty line", "h\r\r1,Rest\r\n", {"Discharge", "Rest"}},
      {"short line", "h\r\n1\r\n2\r\n", {"Discharge", ""}},
      {"extra fields are dropped and counted",
       "h" + Commas(28) + "\r\n1,Rest" + Commas(25) + "\r\n2,Short" + Commas(24) + "\r\n3,LOOP" +
           Commas(27) + "\r\n",
       {"Rest", "Short", "LOOP"},
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::WriteBytes(PathOf("in.tsf"), c.bytes);
    StepGrid grid = SampleGrid();
    const StepFileResult result = LoadStepFile(grid, PathOf("in.tsf"));
    ASSERT_TRUE(result.ok) << result.error;
    const int steps = static_cast<int>(c.functions.size());
    EXPECT_EQ(result.steps, steps);
    EXPECT_EQ(grid.StepCount(), steps);
    EXPECT_EQ(result.longLines, c.longLines);
    for (int r = 1; r <= steps; ++r) {
      EXPECT_EQ(grid.Cell(r, kColFunction), c.functions[static_cast<std::size_t>(r - 1)]);
    }
    EXPECT_EQ(grid.Cell(0, kColFunction), "Function");  // the grid keeps its header
    EXPECT_EQ(grid.Row(grid.Rows() - 1), TestStep{});
  }
}

// A missing, empty or unnamed file changes nothing; neither does one that
// cannot be read, and the error names it. Reading the start of the own address
// space fails with an I/O error, and /dev/zero would never end.
TEST_F(StepFileTest, UnreadableOrMissingFileLeavesTheGridUnchanged) {
  test::WriteBytes(PathOf("zero.tsf"), "");
  struct Case {
    std::string path;
    bool ok, missing;
  };
  std::vector<Case> cases = {{PathOf("nothing.tsf"), true, true},
                             {"", true, true},
                             {PathOf("zero.tsf"), true, false},
                             {folder_.path().string(), false, false}};
  if (!test::kWindows) {
    cases.insert(cases.end(), {{"/proc/self/mem", false, false}, {"/dev/zero", false, false}});
  }
  for (const Case& c : cases) {
    StepGrid grid = SampleGrid();
    grid.SetCurrentCell(2, 3);
    const StepFileResult result = LoadStepFile(grid, c.path);
    EXPECT_EQ(result.ok, c.ok) << c.path;
    EXPECT_EQ(result.missing, c.missing) << c.path;
    EXPECT_NE(result.error.find(c.ok ? "" : c.path), std::string::npos) << result.error;
    EXPECT_EQ(grid.StepCount(), 4);
    EXPECT_EQ(grid.Cell(2, kColFunction), "Battery RAMP");
    EXPECT_EQ(grid.CurrentRow(), 2);
  }
}

// A list longer than the editor allows would run FOR/LOOP blocks past the
// last row the runner can return to.
TEST_F(StepFileTest, MoreThanTheEditorsLimitOfStepsIsRefused) {
  StepGrid grid = SampleGrid();
  for (const std::string& bytes :
       {std::string(32'769, '\r'), std::string(32'768, '\r') + "x", std::string(100'002, '\r')}) {
    test::WriteBytes(PathOf("huge.tsf"), bytes);
    const StepFileResult result = LoadStepFile(grid, PathOf("huge.tsf"));
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("more than 32767 steps"), std::string::npos) << result.error;
    EXPECT_EQ(grid.StepCount(), 4);
  }
  test::WriteBytes(PathOf("large.tsf"), std::string(32'767, '\r') + "x");
  EXPECT_TRUE(LoadStepFile(grid, PathOf("large.tsf")).ok);
  EXPECT_EQ(grid.StepCount(), 32'767);
  EXPECT_EQ(grid.Cell(32'767, kColStepNo), "x");
}

// A failed save names the file or the cell and leaves the old file as it was.
TEST_F(StepFileTest, FailedSaveLeavesTheOldFile) {
  const std::string locked = PathOf("locked.tsf");
  const std::string old = PathOf("old.tsf");
  const std::string folder = PathOf("folder.tsf");
  test::WriteBytes(locked, "old");
  fs::permissions(locked, fs::perms::owner_read | fs::perms::group_read);
  test::WriteBytes(old, "old");
  fs::create_directory(folder);
  struct Case {
    std::string path;
    const char* sinkValue;  // of step 2
    std::string named;
  };
  const Case cases[] = {{locked, "1", "read-only"},           {old, "1,5", "SinkValue"},
                        {old, "a\rb", "SinkValue"},           {folder, "1", folder},
                        {PathOf("no/such/dir.tsf"), "1", ""}, {"", "1", ""}};
  for (const Case& c : cases) {
    StepGrid grid = SampleGrid();
    grid.SetCell(2, kColSinkValue, c.sinkValue);
    const StepFileResult result = SaveStepFile(grid, c.path);
    EXPECT_FALSE(result.ok) << c.path;
    EXPECT_NE(result.error.find(c.named), std::string::npos) << result.error;
  }
  EXPECT_EQ(test::ReadBytes(locked), "old");
  EXPECT_EQ(test::ReadBytes(old), "old");
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_FALSE(fs::exists(folder + ".kvtmp"));
}

}  // namespace
}  // namespace kv
