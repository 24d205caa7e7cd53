#include "e2e/e2e_processes.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>

namespace kv::test {

namespace {

constexpr int kStartMs = 10000;

QString BinPath(const QString& program) {
  return QStringLiteral(KV_BIN_DIR) + QLatin1Char('/') + program;
}

}  // namespace

std::string SimProcess::Start(const QStringList& args, bool overPty) {
  const QStringList link =
      overPty ? QStringList{"--no-tcp"} : QStringList{"--no-serial", "--port", "0"};
  process_.start(BinPath("kvload-sim"),
                 args + link + QStringList{"--log", dir_.filePath("sim.log")});
  QByteArray out;
  ReadUntil(process_, out, [](const QByteArray& o) { return o.contains('\n'); });
  const QString ready = QString::fromUtf8(out).trimmed();
  if (!ready.startsWith("kvload-sim ready")) {
    return "no ready line: " + (ready + " / " + Stderr() + process_.errorString()).toStdString();
  }
  port_ = static_cast<quint16>(
      QRegularExpression(R"(tcp=[^ ]*:(\d+))").match(ready).captured(1).toUInt());
  ptyPath_ = QRegularExpression(R"(serial=(\S+))").match(ready).captured(1);
  return {};
}

int SimProcess::Stop() {
  process_.terminate();
  const bool ended = process_.waitForFinished(kStartMs);
  stderr_ += process_.readAllStandardError();
  return ended ? process_.exitCode() : -1;
}

QStringList SimProcess::LinkArguments() const {
  if (port_ != 0) {
    return {"--lan", QStringLiteral("127.0.0.1:%1").arg(port_)};
  }
  return {"--serial", ptyPath_, "--handshake", "0"};
}

QByteArray SimProcess::Stderr() {
  stderr_ += process_.readAllStandardError();
  return stderr_;
}

bool SimProcess::WaitForStderr(const QByteArray& text, qsizetype times) {
  process_.setReadChannel(QProcess::StandardError);
  return ReadUntil(process_, stderr_, [&](const QByteArray& e) { return e.count(text) >= times; });
}

QStringList SimProcess::Log(const QByteArray& kind) const {
  QFile file(dir_.filePath("sim.log"));
  QStringList lines;
  if (file.open(QIODevice::ReadOnly)) {
    // "12.345<TAB>RX<TAB>LOAD ON"
    const QRegularExpression record("^[^\t]*\t" + kind + "\t(.*)$",
                                    QRegularExpression::MultilineOption);
    for (const QRegularExpressionMatch& m : record.globalMatch(file.readAll())) {
      lines << m.captured(1);
    }
  }
  return lines;
}

bool StartKvloadRun(QProcess& process, const QStringList& args, const QString& program) {
  process.start(program.isEmpty() ? BinPath("kvload-run") : program, args);
  return process.waitForStarted(kStartMs);
}

RunOutcome RunKvloadRun(const QStringList& args, const QString& program) {
  QProcess process;
  RunOutcome outcome;
  StartKvloadRun(process, args, program);
  if (!process.waitForFinished(60000)) {
    process.kill();
    process.waitForFinished(kStartMs);
    outcome.err = "not started or timed out: " + process.errorString() + "; ";
  }
  outcome.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  outcome.out = QString::fromUtf8(process.readAllStandardOutput());
  outcome.err += QString::fromUtf8(process.readAllStandardError());
  return outcome;
}

bool ReadUntil(QProcess& process, QByteArray& read,
               const std::function<bool(const QByteArray&)>& done) {
  const QDeadlineTimer deadline(40000);
  while (!done(read) && !deadline.hasExpired() && process.state() != QProcess::NotRunning) {
    process.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
    read += process.readAll();
  }
  return done(read);
}

QString WriteStepFile(const QTemporaryDir& dir, const std::vector<std::string>& rows) {
  QFile file(dir.filePath("list.tsf"));
  if (file.open(QIODevice::WriteOnly)) {
    file.write("StepNo.\r\n");
    for (const std::string& row : rows) {
      file.write(QByteArray::fromStdString(row + "\r\n"));
    }
  }
  return file.fileName();
}

std::string RowNumberingProblem(const QStringList& reportLines) {
  if (reportLines.value(0) != "NO.,StepTime,V,I,W,Ah,Wh,TotalTime,FunctionName,Result") {
    return "no report header";
  }
  for (qsizetype i = 1; i < reportLines.size(); ++i) {
    if (!reportLines[i].startsWith(QString::number(i) + ',') || reportLines[i].count(',') < 9) {
      return QStringLiteral("line %1 is \"%2\"").arg(i).arg(reportLines[i]).toStdString();
    }
  }
  return {};
}

}  // namespace kv::test
