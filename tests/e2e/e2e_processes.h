#pragma once
// The real programs, started as a user or a CI script would start them:
// kvload-sim serving on a free port or a pseudo-terminal, kvload-run pointed
// at it. Both come from KV_BIN_DIR.

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <string>
#include <vector>

namespace kv::test {

#ifdef KV_SANITIZE
// The instrumented build on two busy cores: the bounds prove order, not speed.
inline constexpr qint64 kSanitizerSlackMs = 450;
#else
inline constexpr qint64 kSanitizerSlackMs = 0;
#endif
/// A signal's off line reaches the load within this long.
inline constexpr qint64 kOffAfterSignalMs = 50 + kSanitizerSlackMs;

/// kvload-sim with a command log in a temporary folder; killed when it goes
/// out of scope still running.
class SimProcess {
 public:
  /// Starts it with `args`, a log file and either a free TCP port or only
  /// the pseudo-terminal; returns once it printed its ready line, else why not.
  std::string Start(const QStringList& args, bool overPty = false);
  /// Ends it with SIGTERM so that it writes out its log; returns its status.
  int Stop();
  /// kvload-run's options to reach it.
  QStringList LinkArguments() const;
  /// What it said on standard error so far (every line with --verbose).
  QByteArray Stderr();
  bool WaitForStderr(const QByteArray& text, qsizetype times);
  /// The log's lines of one kind ("RX" received, "ERR" rejected); call after Stop().
  QStringList Log(const QByteArray& kind) const;

 private:
  QTemporaryDir dir_;
  QProcess process_;
  quint16 port_ = 0;
  QString ptyPath_;
  QByteArray stderr_;
};

struct RunOutcome {
  int exitCode = -1;  // also after a crash
  QString out;
  QString err;
  /// Standard output split into lines, the header first.
  QStringList lines() const { return out.split('\n', Qt::SkipEmptyParts); }
};

/// Runs `program` (kvload-run, kvload-sim, or a path) with `args` to its end;
/// `inChild` runs in the child just before the program starts, to set up its
/// descriptors (async-signal-safe calls only).
RunOutcome RunProgram(const QString& program, const QStringList& args, void (*inChild)() = nullptr);
/// Runs kvload-run (or a copy of it at `program`) with `args` to its end.
RunOutcome RunKvloadRun(const QStringList& args, const QString& program = {});
/// Starts kvload-run without waiting for its end.
bool StartKvloadRun(QProcess& process, const QStringList& args, const QString& program = {});
/// Reads the current channel of `process` into `read` until `done` holds or
/// the process ends; false after a generous bound.
bool ReadUntil(QProcess& process, QByteArray& read,
               const std::function<bool(const QByteArray&)>& done);

/// A step file "list.tsf" in `dir` holding `rows` (cells from StepNo. on).
QString WriteStepFile(const QTemporaryDir& dir, const std::vector<std::string>& rows);

/// The whole file; empty when it cannot be read.
QByteArray ReadAll(const QString& path);

/// The objects of a JSON Lines stream in order, each held to the README's
/// schema table: every key it documents and no other, of the type it names,
/// null only where it allows; times as ISO 8601 with milliseconds and offset.
QList<QJsonObject> JsonStream(const QByteArray& jsonl);

/// Empty when the report lines are the header and rows numbered 1, 2, 3 ...
/// without gaps, each with ten fields; otherwise what is wrong.
std::string RowNumberingProblem(const QStringList& reportLines);

}  // namespace kv::test
