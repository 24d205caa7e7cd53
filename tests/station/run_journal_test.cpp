// The run journal: what a run leaves on disk, also when the program dies.
#include "station/run_journal.h"

#include <gmock/gmock.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <optional>

#include "link/temp_folder.h"
#include "results/csv_export.h"
#include "support/fake_clock.h"

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

  test::FakeClock clock;
  RunJournal journal(clock);
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
  RunJournal next(clock);
  ASSERT_TRUE(next.Start(folder.path().string(), second, start, &error)) << error;
  EXPECT_EQ(next.Path(), folder.File("kvload-20261206-090507-2.csv"));
  next.Finish();
  EXPECT_EQ(test::ReadBytes(folder.File("kvload-20261206-090507.csv")), ExpectedFile(log, 7));
  EXPECT_EQ(test::ReadBytes(next.Path()), ExpectedFile(second, 0));
}

// Every failure to start says which file and why; a file that holds anything
// is never emptied, an empty one is taken.
TEST(RunJournal, AStartThatFailsNamesItsCauseAndNeverEmptiesAFile) {
  test::TempFolder folder;
  test::WriteBytes(folder.File("kept.csv"), "rows of a crashed run\r\n");
  test::WriteBytes(folder.File("empty.csv"), "");
  ResultLog log;
  log.AddRow(SampleRow(0));
  log.AddRow(SampleRow(1));
  struct Case {
    std::string folder;  // Start() in it, else StartFile(file)
    std::string file;
    rlim_t maxFileBytes;  // the header fits, the rows held already do not
    const char* cause;    // nullptr: it starts
  } const cases[] = {
      {folder.File("missing"), "", RLIM_INFINITY,
       "missing/kvload-20000101-000000.csv: No such file"},
      {"", "", RLIM_INFINITY, "No folder"},
      {"", "/dev/full", RLIM_INFINITY, "/dev/full: No space left"},
      {"", folder.File("kept.csv"), RLIM_INFINITY, "kept.csv already holds 23 bytes"},
      {"", folder.path().string(), RLIM_INFINITY, "Is a directory"},
      {"", folder.File("big.csv"), kCsvHeader.size() + 40, "big.csv: File too large"},
      {"", folder.File("empty.csv"), RLIM_INFINITY, nullptr},
  };
  ::signal(SIGXFSZ, SIG_IGN);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder + c.file);
    test::FakeClock clock;
    RunJournal journal(clock);
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit before = limit;
    limit.rlim_cur = c.maxFileBytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::string error;
    const bool started = c.file.empty() ? journal.Start(c.folder, log, {}, &error)
                                        : journal.StartFile(c.file, log, &error);
    ::setrlimit(RLIMIT_FSIZE, &before);
    EXPECT_EQ(started, c.cause == nullptr) << error;
    EXPECT_THAT(error, ::testing::HasSubstr(c.cause != nullptr ? c.cause : ""));
    EXPECT_EQ(journal.IsOpen(), started);
  }
  ::signal(SIGXFSZ, SIG_DFL);
  EXPECT_EQ(test::ReadBytes(folder.File("kept.csv")), "rows of a crashed run\r\n");
  EXPECT_EQ(test::ReadBytes(folder.File("empty.csv")), ExpectedFile(log, 2));
}

// Each row is on the disk within a second of being handed over, however the
// rows come (a steady second, bursts, one just after a sync, quiet spells)
// and whether the host's timer fires early (as a coarse timer may) or late.
TEST(RunJournal, SyncsEveryRowWithinASecondOfItsWriteOnAnEarlyOrLateTimer) {
  test::TempFolder folder;
  test::FakeClock clock;
  ResultLog log;
  RunJournal journal(clock);
  ASSERT_TRUE(journal.StartFile(folder.File("j.csv"), log, nullptr));
  std::vector<std::int64_t> handedAt;
  std::optional<std::int64_t> timerAt;
  int shots = 0;
  std::size_t synced = 0;
  std::int64_t worst = 0;
  const auto settle = [&] {
    for (; synced < journal.RowsSynced(); ++synced) {
      worst = std::max(worst, clock.TickMs() - handedAt[synced]);
    }
  };
  const auto arm = [&] {
    if (const auto due = journal.MsUntilSyncDue(); due && !timerAt) {
      timerAt = clock.TickMs() + (++shots % 2 != 0 ? *due - *due / 20 : *due + 100);
    }
  };
  const auto advanceTo = [&](std::int64_t t) {
    while (timerAt && *timerAt <= t) {
      clock.AdvanceMs(*timerAt - clock.TickMs());
      timerAt.reset();
      ASSERT_TRUE(journal.SyncIfDue());
      settle();
      arm();
    }
    clock.AdvanceMs(t - clock.TickMs());
  };
  for (const std::int64_t gap :
       {1000, 1000, 10, 10, 10, 740, 20, 1500, 5000, 990, 1010, 300, 300, 300, 300, 300, 3000, 1}) {
    advanceTo(clock.TickMs() + gap);
    handedAt.push_back(clock.TickMs());
    log.AddRow(SampleRow(handedAt.size() - 1));
    ASSERT_TRUE(journal.Append(handedAt.size() - 1));
    settle();
    arm();
  }
  advanceTo(clock.TickMs() + 5000);
  EXPECT_EQ(journal.RowsSynced(), handedAt.size());
  EXPECT_FALSE(journal.MsUntilSyncDue().has_value());
  EXPECT_LE(worst, RunJournal::kSyncPromiseMs);
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
    test::FakeClock clock;
    RunJournal journal(clock);
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
  const auto rows = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
  ASSERT_GE(rows, acked + 1);
  for (std::size_t r = 0; r + 1 < rows; ++r) {
    expected.AddRow(SampleRow(r));
  }
  EXPECT_EQ(bytes, ExpectedFile(expected, rows - 1));
}

}  // namespace
}  // namespace kv
