#include "e2e/e2e_processes.h"

#include "support/temp_folder.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>

namespace kv::test {

namespace {

constexpr int kStartMs = 10000;
constexpr const char* kHeader = "NO.,StepTime,V,I,W,Ah,Wh,TotalTime,FunctionName,Result";

}  // namespace

QString BinPath(const QString& program) {
  return QStringLiteral(KV_BIN_DIR) + QLatin1Char('/') + program;
}

SimProcess::~SimProcess() {
  if (process_.state() != QProcess::NotRunning) {
    process_.kill();
    process_.waitForFinished(5000);
  }
}

bool SimProcess::Start(const QStringList& args) {
  if (!dir_.isValid()) {
    error_ = "no temporary folder";
    return false;
  }
  logPath_ = dir_.filePath("sim.log");
  QStringList all = args;
  all << "--log" << logPath_;
  if (!args.contains("--port") && !args.contains("--no-tcp")) {
    all << "--port"
        << "0";
  }
  process_.start(BinPath("kvload-sim"), all);
  if (!process_.waitForStarted(kStartMs)) {
    error_ = "kvload-sim did not start: " + process_.errorString();
    return false;
  }
  QByteArray out;
  const QDeadlineTimer deadline(kStartMs);
  while (!out.contains('\n') && !deadline.hasExpired()) {
    process_.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
    out += process_.readAllStandardOutput();
  }
  const QString ready = QString::fromUtf8(out).trimmed();
  if (!ready.startsWith("kvload-sim ready")) {
    stderr_ += process_.readAllStandardError();
    error_ = "no ready line: " + ready + " / " + QString::fromUtf8(stderr_);
    return false;
  }
  const QRegularExpressionMatch tcp = QRegularExpression(R"(tcp=[^ ]*:(\d+))").match(ready);
  if (tcp.hasMatch()) {
    port_ = static_cast<quint16>(tcp.captured(1).toUInt());
  }
  const QRegularExpressionMatch pty = QRegularExpression(R"(serial=(\S+))").match(ready);
  if (pty.hasMatch()) {
    ptyPath_ = pty.captured(1);
  }
  return true;
}

int SimProcess::Stop() {
  if (process_.state() == QProcess::NotRunning) {
    return process_.exitCode();
  }
  process_.terminate();
  if (!process_.waitForFinished(kStartMs)) {
    process_.kill();
    process_.waitForFinished(kStartMs);
    return -1;
  }
  stderr_ += process_.readAllStandardError();
  return process_.exitCode();
}

QString SimProcess::LanArgument() const {
  return QStringLiteral("127.0.0.1:%1").arg(port_);
}

QByteArray SimProcess::Stderr() {
  stderr_ += process_.readAllStandardError();
  return stderr_;
}

bool SimProcess::WaitForStderr(const QByteArray& text, int timeoutMs, qsizetype times) {
  const QDeadlineTimer deadline(timeoutMs);
  process_.setReadChannel(QProcess::StandardError);
  while (Stderr().count(text) < times && !deadline.hasExpired() &&
         process_.state() == QProcess::Running) {
    process_.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
  }
  process_.setReadChannel(QProcess::StandardOutput);
  return stderr_.count(text) >= times;
}

QStringList SimProcess::LogLines(const QString& kind) const {
  QFile file(logPath_);
  QStringList lines;
  if (!file.open(QIODevice::ReadOnly)) {
    return lines;
  }
  // "12.345<TAB>RX<TAB>LOAD ON"
  for (const QByteArray& raw : file.readAll().split('\n')) {
    const QList<QByteArray> fields = raw.split('\t');
    if (fields.size() >= 3 && fields[1] == kind.toUtf8()) {
      lines << QString::fromUtf8(raw.mid(fields[0].size() + fields[1].size() + 2));
    }
  }
  return lines;
}

QStringList SimProcess::ReceivedLines() const {
  return LogLines("RX");
}

QStringList SimProcess::RejectedLines() const {
  return LogLines("ERR");
}

QStringList RunOutcome::lines() const {
  QStringList all = out.split('\n');
  while (!all.isEmpty() && all.last().isEmpty()) {
    all.removeLast();
  }
  return all;
}

void StartKvloadRun(QProcess& process, const QStringList& args) {
  process.start(BinPath("kvload-run"), args);
}

RunOutcome RunKvloadRun(const QStringList& args, int timeoutMs) {
  QProcess process;
  StartKvloadRun(process, args);
  RunOutcome outcome;
  if (!process.waitForStarted(kStartMs)) {
    outcome.err = "not started: " + process.errorString();
    return outcome;
  }
  if (!process.waitForFinished(timeoutMs)) {
    process.kill();
    process.waitForFinished(kStartMs);
    outcome.err = "timed out; ";
  }
  outcome.crashed = process.exitStatus() == QProcess::CrashExit;
  outcome.exitCode = process.exitCode();
  outcome.out = QString::fromUtf8(process.readAllStandardOutput());
  outcome.err += QString::fromUtf8(process.readAllStandardError());
  return outcome;
}

QByteArray WaitForFirstRow(QProcess& run) {
  QByteArray out;
  const QDeadlineTimer deadline(15000);
  while (out.count('\n') < 2 && !deadline.hasExpired()) {
    run.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
    out += run.readAllStandardOutput();
  }
  return out;
}

QString WriteStepFile(const QTemporaryDir& dir, const QString& name,
                      const std::vector<std::string>& rows) {
  const QString path = dir.filePath(name);
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    return {};
  }
  file.write(QByteArray::fromStdString(Golden("stepfile/empty.tsf")));  // the header line
  for (const std::string& row : rows) {
    QByteArray line = QByteArray::fromStdString(row);
    // Short rows are padded to the 26 cells a file line holds.
    const qsizetype commas = line.count(',');
    line.append(QByteArray(25 - commas > 0 ? 25 - commas : 0, ','));
    file.write(line + "\r\n");
  }
  return path;
}

bool RowsNumberedWithoutGaps(const QStringList& reportLines, QString* why) {
  if (reportLines.isEmpty() || reportLines.first() != kHeader) {
    *why = "no report header";
    return false;
  }
  for (qsizetype i = 1; i < reportLines.size(); ++i) {
    const QStringList cells = reportLines[i].split(',');
    if (cells.first() != QString::number(i)) {
      *why = QStringLiteral("line %1 is numbered \"%2\"").arg(i).arg(cells.first());
      return false;
    }
    if (cells.size() < 10) {
      *why = QStringLiteral("line %1 has %2 fields").arg(i).arg(cells.size());
      return false;
    }
  }
  return true;
}

}  // namespace kv::test
