// The run journal: what a run leaves on disk, also when the program dies.
#include "station/run_journal.h"

#include <gmock/gmock.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "link/temp_folder.h"
#include "results/csv_export.h"

namespace kv {
namespace {

ResultRow SampleRow(std::size_t n) {
  const std::string no = std::to_string(n + 1);
  // Cells as the runner writes them, plus the awkward ones: empty, a comma,
  // bytes of a non-ASCII name.
  return {no,
          "12:00:0" + std::to_string(n % 10),
          "12.5",
          n % 3 == 0 ? "" : "1,5",
          "18.75",
          "0.0004",
          "0.005",
          "2026/12/06 12:00:00",
          "Discharge \xb4\xfa",
          n % 2 ? "PASS" : ""};
}

std::string ExpectedFile(const ResultLog& log, std::size_t rows) {
  std::string bytes(kCsvHeader);
  bytes += "\r\n";
  for (std::size_t r = 0; r < rows; ++r) {
    AppendCsvRow(bytes, log.RowView(r));
  }
  return bytes;
}

TEST(RunJournal, HoldsTheRowsOfTheLogInReportFormatAndNeverReusesAFile) {
  test::TempFolder folder;
  ResultLog log;
  log.AddRow(SampleRow(0));  // a row present before the journal starts
  const LocalDateTime start{2026, 12, 6, 9, 5, 7};

  RunJournal journal;
  std::string error;
  ASSERT_TRUE(journal.Start(folder.path().string(), log, start, &error)) << error;
  EXPECT_EQ(journal.Path(), folder.File("kvload-20261206-090507.csv"));
  for (std::size_t r = 1; r < 5; ++r) {
    log.AddRow(SampleRow(r));
    ASSERT_TRUE(journal.Append(r));
  }
  log.AddRow(SampleRow(5));
  log.AddRow(SampleRow(6));
  ASSERT_TRUE(journal.Append(6));  // two rows of one tick, one call
  ASSERT_TRUE(journal.Finish());
  EXPECT_EQ(test::ReadBytes(journal.Path()), ExpectedFile(log, 7));

  // A second run started within the same second keeps the first journal.
  ResultLog second;
  RunJournal next;
  ASSERT_TRUE(next.Start(folder.path().string(), second, start, &error)) << error;
  EXPECT_EQ(next.Path(), folder.File("kvload-20261206-090507-2.csv"));
  next.Finish();
  EXPECT_EQ(test::ReadBytes(folder.File("kvload-20261206-090507.csv")), ExpectedFile(log, 7));
  EXPECT_EQ(test::ReadBytes(next.Path()), ExpectedFile(second, 0));

  // Failures say which file and why: a folder that is not there, a full disk.
  RunJournal nowhere;
  EXPECT_FALSE(nowhere.Start(folder.File("missing"), log, start, &error));
  EXPECT_THAT(error, ::testing::HasSubstr("missing"));
  RunJournal full;
  EXPECT_FALSE(full.StartFile("/dev/full", log, &error));
  EXPECT_THAT(error, ::testing::HasSubstr("/dev/full: No space left"));
  EXPECT_FALSE(full.IsOpen());
}

// The process is killed without a chance to clean up: every row the journal
// had been handed must be in the file, whole.
TEST(RunJournal, KeepsEveryRowWhenTheProcessIsKilled) {
  test::TempFolder folder;
  const std::string path = folder.File("journal.csv");
  int acks[2];
  ASSERT_EQ(::pipe(acks), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(acks[0]);
    ResultLog log;
    RunJournal journal;
    if (!journal.StartFile(path, log, nullptr)) {
      ::_exit(2);
    }
    for (std::size_t r = 0; r < 100000; ++r) {
      log.AddRow(SampleRow(r));
      journal.Append(r);
      const char ack = 'r';
      if (::write(acks[1], &ack, 1) != 1) {
        ::_exit(3);
      }
    }
    ::_exit(0);
  }
  ::close(acks[1]);
  std::size_t acked = 0;
  char buf[64];
  while (acked < 200) {
    const ssize_t n = ::read(acks[0], buf, sizeof buf);
    ASSERT_GT(n, 0) << "the writer ended early";
    acked += static_cast<std::size_t>(n);
  }
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  ::close(acks[0]);
  ASSERT_TRUE(WIFSIGNALED(status));

  // The kill may land inside the write of a later row: only whole lines count,
  // and every row handed over before the acknowledgement must be among them.
  std::string bytes = test::ReadBytes(path);
  bytes.resize(bytes.rfind("\r\n") + 2);
  ResultLog expected;
  std::size_t rows = 0;
  std::istringstream lines(bytes);
  for (std::string line; std::getline(lines, line);) {
    ++rows;
  }
  ASSERT_GE(rows, acked + 1);
  for (std::size_t r = 0; r + 1 < rows; ++r) {
    expected.AddRow(SampleRow(r));
  }
  EXPECT_EQ(bytes, ExpectedFile(expected, rows - 1));
}

}  // namespace
}  // namespace kv
