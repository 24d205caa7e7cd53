#include "e2e/e2e_processes.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QMap>
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
  return RunProgram(program.isEmpty() ? QStringLiteral("kvload-run") : program, args);
}

RunOutcome RunProgram(const QString& program, const QStringList& args, void (*inChild)()) {
  QProcess process;
  RunOutcome outcome;
  process.setChildProcessModifier(inChild);
  process.start(program.contains('/') ? program : BinPath(program), args);
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

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

namespace {

struct KeySpec {
  QString type;  // the JSON type the README names: string, number, object, boolean
  bool nullable = false;
};
using Schema =
    QMap<QString, QMap<QString, KeySpec>>;  // object type -> key -> what the table says of it

// The README's table is the schema: a key the stream has and the table lacks,
// or the other way round, fails here.
Schema ReadmeSchema() {
  const QString text = QString::fromUtf8(ReadAll(KV_SOURCE_DIR "/README.md"));
  const QRegularExpression name("`([a-z_0-9]+)`");
  Schema schema;
  QString object;
  const qsizetype table = text.indexOf("| object | key | type | null when |");
  for (const QString& line : text.mid(table).split('\n').mid(2)) {
    const QStringList cells = line.split('|');
    if (cells.size() != 6) {
      break;
    }
    object = cells[1].trimmed().isEmpty() ? object : name.match(cells[1]).captured(1);
    if (cells[1].contains('(')) {
      object.clear();  // --check's objects have a table of their own
    }
    for (const QRegularExpressionMatch& key : name.globalMatch(cells[2])) {
      if (!object.isEmpty()) {
        schema[object][key.captured(1)] = {
            cells[3].trimmed().section(QRegularExpression("[ :]"), 0, 0),
            !cells[4].trimmed().isEmpty()};
      }
    }
  }
  return schema;
}

}  // namespace

QList<QJsonObject> JsonStream(const QByteArray& jsonl) {
  static const Schema schema = ReadmeSchema();
  const QRegularExpression iso(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d$)");
  QList<QJsonObject> objects;
  for (const QByteArray& line : jsonl.split('\n')) {
    if (line.isEmpty()) {
      continue;
    }
    const QJsonObject o = QJsonDocument::fromJson(line).object();
    const QString type = o.value("type").toString();
    SCOPED_TRACE(line.toStdString());
    EXPECT_TRUE(schema.contains(type));
    QStringList keys = o.keys();
    keys.removeOne("type");
    EXPECT_EQ(keys, schema.value(type).keys());
    for (const QString& key : keys) {
      const QJsonValue v = o.value(key);
      const KeySpec want = schema.value(type).value(key);
      const QString actual = v.isString()   ? "string"
                             : v.isDouble() ? "number"
                             : v.isObject() ? "object"
                             : v.isBool()   ? "boolean"
                                            : "null";
      EXPECT_TRUE(actual == want.type || (actual == "null" && want.nullable)) << key.toStdString();
      if (type != "row" && (key == "time" || key == "start" || key == "end") && v.isString()) {
        EXPECT_TRUE(iso.match(v.toString()).hasMatch()) << key.toStdString();
      }
    }
    objects << o;
  }
  return objects;
}

}  // namespace kv::test
