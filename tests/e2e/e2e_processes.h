#pragma once
// The real programs, started as a user or a CI script would start them:
// kvload-sim serving on a free port or a pseudo-terminal, kvload-run pointed
// at it. Both come from KV_BIN_DIR.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <string>
#include <vector>

namespace kv::test {

/// kvload-sim with a command log in a temporary folder.
class SimProcess {
 public:
  SimProcess() = default;
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  /// Starts it with `args` plus a log file and, unless given, a free TCP
  /// port; returns once it printed its ready line.
  bool Start(const QStringList& args);
  /// Ends it with SIGTERM so that it writes out its log; returns its status.
  int Stop();

  quint16 Port() const { return port_; }
  QString PtyPath() const { return ptyPath_; }
  /// "127.0.0.1:<port>".
  QString LanArgument() const;
  /// What it said on standard error so far (every line with --verbose).
  QByteArray Stderr();
  /// Waits until its standard error holds `text` `times` times; false after
  /// `timeoutMs`.
  bool WaitForStderr(const QByteArray& text, int timeoutMs, qsizetype times = 1);
  /// The lines received (RX) as the log holds them; call after Stop().
  QStringList ReceivedLines() const;
  /// The log's rejections (ERR); call after Stop().
  QStringList RejectedLines() const;
  QString Error() const { return error_; }

 private:
  QStringList LogLines(const QString& kind) const;

  QTemporaryDir dir_;
  QProcess process_;
  QString logPath_;
  quint16 port_ = 0;
  QString ptyPath_;
  QByteArray stderr_;
  QString error_;
};

struct RunOutcome {
  int exitCode = -1;
  bool crashed = false;
  QString out;
  QString err;
  /// Standard output split into lines, the header first.
  QStringList lines() const;
};

/// Runs kvload-run with `args` to its end (at most `timeoutMs`).
RunOutcome RunKvloadRun(const QStringList& args, int timeoutMs = 60000);
/// Starts kvload-run without waiting; the caller owns the process.
void StartKvloadRun(QProcess& process, const QStringList& args);

/// Standard output up to the header and the first row: the step is running.
QByteArray WaitForFirstRow(QProcess& run);

/// A step file holding `rows` (cells from StepNo. on, joined by ",") in
/// `dir`; returns its path.
QString WriteStepFile(const QTemporaryDir& dir, const QString& name,
                      const std::vector<std::string>& rows);

/// Row numbers 1, 2, 3 ... without gaps, each line with ten fields.
bool RowsNumberedWithoutGaps(const QStringList& reportLines, QString* why);

QString BinPath(const QString& program);

}  // namespace kv::test
