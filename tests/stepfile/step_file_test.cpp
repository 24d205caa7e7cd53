#include "stepfile/step_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "steps/step_columns.h"
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

const TestStep kDischarge = Step({{kColStepNo, "1"},
                                  {kColFunction, "Discharge"},
                                  {kColMode, "CC"},
                                  {kColSinkValue, "1"},
                                  {kColVStop, "0"},
                                  {kColTStop, "10"},
                                  {kColAhStop, "0"}});

StepGrid SampleGrid() {
  StepGrid grid;
  grid.AssignSteps({kDischarge,
                    Step({{kColStepNo, "2"},
                          {kColFunction, "Battery RAMP"},
                          {kColSinkValue, "0.5"},
                          {kColRampCc, ";1;;3"},
                          {kColRampTime, ";10;10;20"},
                          {kColTotalStep, "3"}}),
                    Step({{kColStepNo, "3"}}),  // otherwise empty, as a blank line loads
                    // Bytes of another code page, and LF as data.
                    Step({{kColStepNo, "4"},
                          {kColFunction, "Dynamic"},
                          {kColVStop, " 1.50 "},
                          {kColTotalStep, "\xB2\xE2\xB8\xD5 x\ny"}})});
  return grid;
}

// CRLF line ends, 26 fields a line, cells as bytes (another code page, LF).
TEST_F(StepFileTest, SaveWritesTheFileByteForByte) {
  const StepFileResult result = SaveStepFile(SampleGrid(), PathOf("sample.tsf"));
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.steps, 4);
  EXPECT_EQ(test::ReadBytes(PathOf("sample.tsf")), test::Golden("stepfile/sample.tsf"));
  EXPECT_FALSE(fs::exists(PathOf("sample.tsf.kvtmp")));
}

TEST_F(StepFileTest, SaveThenLoadReproducesEveryCell) {
  const StepGrid saved = SampleGrid();
  ASSERT_TRUE(SaveStepFile(saved, PathOf("round.tsf")).ok);
  StepGrid loaded;
  const StepFileResult result = LoadStepFile(loaded, PathOf("round.tsf"));
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.steps, 4);
  EXPECT_EQ(result.longLines, 0);
  ASSERT_EQ(loaded.Rows(), saved.Rows());
  for (int r = 0; r < saved.Rows(); ++r) {
    EXPECT_EQ(loaded.Row(r), saved.Row(r)) << "row " << r;
  }
  EXPECT_EQ(loaded.CurrentRow(), 4);
  EXPECT_EQ(loaded.CurrentCol(), 0);
}

TEST_F(StepFileTest, EmptyListSavesTheHeaderOnlyAndLoadsEmpty) {
  ASSERT_TRUE(SaveStepFile(StepGrid{}, PathOf("empty.tsf")).ok);
  EXPECT_EQ(test::ReadBytes(PathOf("empty.tsf")), test::Golden("stepfile/empty.tsf"));
  StepGrid grid = SampleGrid();
  grid.SetRows(2);  // what clearing before an open leaves
  grid.SetCell(1, kColFunction, "");
  const StepFileResult result = LoadStepFile(grid, PathOf("empty.tsf"));
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.steps, 0);
  EXPECT_EQ(grid.Rows(), 2);
  EXPECT_EQ(grid.StepCount(), 0);
  EXPECT_EQ(grid.CurrentRow(), 0);
}

struct LoadCase {
  const char* name;
  std::string bytes;
  int steps;
  std::vector<std::string> functions;  // column 1 of each step row
  int longLines = 0;
};

std::string Commas(int n) {
  return std::string(static_cast<std::size_t>(n), ',');
}

void PrintTo(const LoadCase& c, std::ostream* os) {
  *os << c.name;
}

class StepFileLoadTest : public StepFileTest, public testing::WithParamInterface<LoadCase> {};

TEST_P(StepFileLoadTest, ReadsLinesIntoStepRows) {
  const LoadCase& c = GetParam();
  test::WriteBytes(PathOf("in.tsf"), c.bytes);
  StepGrid grid;
  const StepFileResult result = LoadStepFile(grid, PathOf("in.tsf"));
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.steps, c.steps);
  EXPECT_EQ(grid.StepCount(), c.steps);
  EXPECT_EQ(result.longLines, c.longLines);
  ASSERT_EQ(c.functions.size(), static_cast<std::size_t>(c.steps));
  for (int r = 1; r <= c.steps; ++r) {
    EXPECT_EQ(grid.Cell(r, kColFunction), c.functions[static_cast<std::size_t>(r - 1)])
        << "row " << r;
  }
  EXPECT_EQ(grid.Cell(0, kColFunction), "Function");  // the grid keeps its header
  EXPECT_EQ(grid.Row(grid.Rows() - 1), TestStep{});
}

INSTANTIATE_TEST_SUITE_P(
    Files, StepFileLoadTest,
    testing::Values(LoadCase{"FirstLineIsAlwaysDropped", "1,Rest\r\n2,Short\r\n", 1, {"Short"}},
                    LoadCase{"HeaderOfAnyContent", "whatever\r\n1,Rest\r\n", 1, {"Rest"}},
                    LoadCase{"EmptyMiddleLineGivesEmptyRow",
                             "h\r\n1,Rest\r\n\r\n3,Short\r\n",
                             3,
                             {"Rest", "", "Short"}},
                    LoadCase{"LfOnlyIsOneDroppedLine", "h\n1,Rest\n2,Short\n", 0, {}},
                    LoadCase{"LoneCrEndsALine", "h\r1,Rest\r2,Short", 2, {"Rest", "Short"}},
                    LoadCase{"LfInsideALineIsText", "h\r\n1,Re\nst\r\n", 1, {"Re\nst"}},
                    LoadCase{"LastLineWithoutLineEnd", "h\r\n1,Rest", 1, {"Rest"}},
                    LoadCase{"CrCrIsAnEmptyLine", "h\r\r1,Rest\r\n", 2, {"", "Rest"}},
                    LoadCase{"ShortLineLeavesLaterCellsEmpty", "h\r\n1\r\n", 1, {""}},
                    LoadCase{"ExtraFieldsAreDroppedAndCounted",
                             "h" + Commas(28) + "\r\n1,Rest" + Commas(25) + "\r\n2,Short" +
                                 Commas(24) + "\r\n3,LOOP" + Commas(27) + "\r\n",
                             3,
                             {"Rest", "Short", "LOOP"},
                             2}));

TEST_F(StepFileTest, TwentySevenFieldsKeepTheFirstTwentySix) {
  test::WriteBytes(PathOf("long.tsf"), "h\r\n1,Rest" + Commas(23) + ",last,extra,more\r\n");
  StepGrid grid;
  const StepFileResult result = LoadStepFile(grid, PathOf("long.tsf"));
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.longLines, 1);
  EXPECT_EQ(grid.Cell(1, kColTotalStep), "last");
}

TEST_F(StepFileTest, MissingFileOrEmptyPathLeavesTheGridUnchanged) {
  for (const std::string& path : {PathOf("nothing.tsf"), std::string()}) {
    StepGrid grid = SampleGrid();
    grid.SetCurrentCell(2, 3);
    const StepFileResult result = LoadStepFile(grid, path);
    EXPECT_TRUE(result.ok);
    EXPECT_TRUE(result.missing);
    EXPECT_EQ(grid.Rows(), SampleGrid().Rows());
    EXPECT_EQ(grid.Cell(2, kColFunction), "Battery RAMP");
    EXPECT_EQ(grid.CurrentRow(), 2);
  }
}

TEST_F(StepFileTest, EmptyFileLeavesTheGridUnchanged) {
  test::WriteBytes(PathOf("zero.tsf"), "");
  StepGrid grid = SampleGrid();
  EXPECT_TRUE(LoadStepFile(grid, PathOf("zero.tsf")).ok);
  EXPECT_EQ(grid.StepCount(), 4);
}

TEST_F(StepFileTest, LoadOverwritesOnlyTheFieldsTheLineHolds) {
  // Without clearing first, step row 1 keeps its cells past a short line.
  test::WriteBytes(PathOf("short.tsf"), "h\r\n9,Rest\r\n10\r\n");
  StepGrid grid = SampleGrid();
  ASSERT_TRUE(LoadStepFile(grid, PathOf("short.tsf")).ok);
  EXPECT_EQ(grid.StepCount(), 2);
  EXPECT_EQ(grid.Cell(1, kColStepNo), "9");
  EXPECT_EQ(grid.Cell(1, kColFunction), "Rest");
  EXPECT_EQ(grid.Cell(1, kColMode), "CC");  // from the old step 1
  EXPECT_EQ(grid.Cell(2, kColFunction), "");
  EXPECT_EQ(grid.CurrentRow(), 2);
}

TEST_F(StepFileTest, ReadErrorIsReported) {
  StepGrid grid = SampleGrid();
  const StepFileResult folder = LoadStepFile(grid, folder_.path().string());
  EXPECT_FALSE(folder.ok);
  EXPECT_NE(folder.error.find(folder_.path().string()), std::string::npos);
  // Reading the start of the own address space fails with an I/O error.
  if (fs::exists("/proc/self/mem")) {
    const StepFileResult io = LoadStepFile(grid, "/proc/self/mem");
    EXPECT_FALSE(io.ok);
    EXPECT_NE(io.error.find("/proc/self/mem"), std::string::npos);
  }
  EXPECT_FALSE(LoadStepFile(grid, "/dev/zero").ok);  // would never end
  EXPECT_EQ(grid.StepCount(), 4);
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

TEST_F(StepFileTest, ReadOnlyFileIsNotReplaced) {
  const std::string path = PathOf("locked.tsf");
  test::WriteBytes(path, "old");
  fs::permissions(path, fs::perms::owner_read | fs::perms::group_read);
  const StepFileResult result = SaveStepFile(SampleGrid(), path);
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.error.find("read-only"), std::string::npos) << result.error;
  EXPECT_EQ(test::ReadBytes(path), "old");
}

TEST_F(StepFileTest, SaveOverAFolderOrIntoAMissingFolderFails) {
  fs::create_directory(PathOf("folder.tsf"));
  const StepFileResult overFolder = SaveStepFile(SampleGrid(), PathOf("folder.tsf"));
  EXPECT_FALSE(overFolder.ok);
  EXPECT_NE(overFolder.error.find(PathOf("folder.tsf")), std::string::npos) << overFolder.error;
  EXPECT_TRUE(fs::is_directory(PathOf("folder.tsf")));
  EXPECT_FALSE(fs::exists(PathOf("folder.tsf.kvtmp")));
  EXPECT_FALSE(SaveStepFile(SampleGrid(), PathOf("no/such/dir.tsf")).ok);
  EXPECT_FALSE(SaveStepFile(SampleGrid(), "").ok);
}

TEST_F(StepFileTest, CellsTheFormatCannotHoldAreNotSaved) {
  const std::string path = PathOf("bad.tsf");
  test::WriteBytes(path, "old");
  for (const char* text : {"1,5", "a\rb"}) {
    StepGrid grid = SampleGrid();
    grid.SetCell(2, kColSinkValue, text);
    const StepFileResult result = SaveStepFile(grid, path);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("SinkValue"), std::string::npos) << result.error;
    EXPECT_EQ(test::ReadBytes(path), "old");
  }
}

}  // namespace
}  // namespace kv
