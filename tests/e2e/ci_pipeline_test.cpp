// kvload-run as a CI job runs it: the README's example script against
// kvload-sim, its JSON Lines held key by key to the README's schema table,
// its JUnit file read as a CI server reads it.
#include <gmock/gmock.h>

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcessEnvironment>
#include <QSet>
#include <QXmlStreamReader>

#include "e2e/e2e_processes.h"

namespace kv::test {
namespace {

using ::testing::HasSubstr;

// A FOR block, a PASS and a FAIL, in a file whose lines end in LF alone.
TEST(CiPipelineTest, ExampleScriptRunsAListAndLeavesAStreamAndAJUnitFileThatAgree) {
  QTemporaryDir dir;
  QFile list(dir.filePath("lf.tsf"));
  ASSERT_TRUE(list.open(QIODevice::WriteOnly));
  list.write(
      "StepNo.\n1,FOR,,,,,,2\n2,Rest,,,0,1,0\n3,LOOP\n4,OCP,,,,,,,0,8,0.5,1,6,5\n"
      "5,OCP,,,,,,,0,8,0.5,1,2,1\n");
  list.close();
  QProcess script;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("PATH", KV_BIN_DIR ":" + env.value("PATH"));
  script.setProcessEnvironment(env);
  script.start("sh",
               {KV_SOURCE_DIR "/scripts/ci-example.sh", list.fileName(), dir.filePath("out")});
  ASSERT_TRUE(script.waitForFinished(60000));
  EXPECT_EQ(script.exitCode(), 1) << script.readAllStandardError().toStdString();
  const QString said = QString::fromUtf8(script.readAllStandardOutput());
  EXPECT_THAT(said.toStdString(), HasSubstr(": completed, verdict FAIL, exit 1\nstep 5: "));

  const QList<QJsonObject> stream = JsonStream(ReadAll(dir.filePath("out/run.jsonl")));
  ASSERT_GE(stream.size(), 2);
  EXPECT_EQ(stream.first().value("type"), "start");
  EXPECT_EQ(stream.first().value("steps"), 5);
  const QJsonObject end = stream.last();
  EXPECT_EQ(end.value("run"), stream.first().value("run"));
  EXPECT_EQ(end.value("verdict"), "FAIL");
  EXPECT_EQ(end.value("files").toObject().value("junit"), dir.filePath("out/junit.xml"));
  QStringList steps;  // step.pass of each step left; FOR and LOOP are no steps of their own
  for (const QJsonObject& o : stream) {
    if (o.value("type") == "step") {
      steps << QStringLiteral("%1.%2").arg(o.value("step").toInt()).arg(o.value("pass").toInt());
    }
  }
  EXPECT_EQ(steps.join(' '), "2.1 2.2 4.1 5.1");
  // The BDF table places its rows alike: Cycle Count, Step Count, Step Index.
  EXPECT_EQ(end.value("files").toObject().value("bdf"), dir.filePath("out/run.bdf.csv"));
  QStringList places;
  for (const QByteArray& line : ReadAll(dir.filePath("out/run.bdf.csv")).split('\n').mid(1)) {
    const QString place = QString::fromLatin1(line.split(',').mid(4, 3).join(' '));
    if (!line.isEmpty() && (places.isEmpty() || places.last() != place)) {
      places << place;
    }
  }
  EXPECT_EQ(places.join(" | ").toStdString(), "1 1 2 | 2 2 2 | 1 3 4 | 1 4 5");
  const QJsonObject bdf =
      QJsonDocument::fromJson(ReadAll(dir.filePath("out/run.bdf.json"))).object();
  EXPECT_EQ(bdf.value("run"), end.value("run"));
  EXPECT_EQ(bdf.value("exit"), 1);

  // Read as a CI server reads it: testsuite > testcase > failure | error | skipped.
  QXmlStreamReader xml(ReadAll(dir.filePath("out/junit.xml")));
  QStringList cases;
  QMap<QString, int> declared;
  QSet<QString> paths;
  QString path;
  while (!xml.atEnd()) {
    if (xml.readNext() == QXmlStreamReader::StartElement) {
      path += "/" + xml.name().toString();
      paths << path;
      if (xml.name() == QLatin1String("testsuite")) {
        for (const char* a : {"tests", "failures", "errors", "skipped"}) {
          declared[a] = xml.attributes().value(a).toInt();
        }
      } else if (xml.name() == QLatin1String("testcase")) {
        cases << xml.attributes().value("name").toString();
      }
    } else if (xml.isEndElement()) {
      path.chop(xml.name().size() + 1);
    }
  }
  EXPECT_EQ(paths,
            (QSet<QString>{"/testsuites", "/testsuites/testsuite", "/testsuites/testsuite/testcase",
                           "/testsuites/testsuite/testcase/failure"}));
  EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  EXPECT_EQ(cases.first(), "step 2: Rest");
  EXPECT_EQ(declared,
            (QMap<QString, int>{{"tests", 4}, {"failures", 1}, {"errors", 0}, {"skipped", 0}}));
}

// A list from standard input with no steps: refused, and the stream still
// names the list and ends.
TEST(CiPipelineTest, AnEmptyListOnStandardInputIsRefusedWithAStartAndAnEnd) {
  QProcess run;
  ASSERT_TRUE(StartKvloadRun(run, {"--sim", "--format", "jsonl", "-"}));
  const QByteArray bytes = "StepNo.\n";
  run.write(bytes);
  run.closeWriteChannel();
  ASSERT_TRUE(run.waitForFinished(10000));
  EXPECT_EQ(run.exitCode(), 2);
  const QList<QJsonObject> stream = JsonStream(run.readAllStandardOutput());
  ASSERT_GE(stream.size(), 2);
  EXPECT_EQ(stream.first().value("list"), "-");
  EXPECT_EQ(stream.first().value("list_sha256"),
            QString(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex()));
  EXPECT_EQ(stream.last().value("reason"), "refused");
  EXPECT_THAT(stream.last().value("note").toString().toStdString(), HasSubstr("has no steps"));
}

TEST(CiPipelineTest, TimeoutStopsALongRunWithTheLoadOffAndItsOwnReason) {
  SimProcess sim;
  ASSERT_EQ(sim.Start({}), "");
  QTemporaryDir dir;
  QElapsedTimer took;
  took.start();
  const RunOutcome run = RunKvloadRun(sim.LinkArguments() +
                                      QStringList{"--timeout", "3", "--format", "jsonl",
                                                  WriteStepFile(dir, {"1,Discharge,CC,1,0,60,0"})});
  EXPECT_LT(took.elapsed(), 8000);
  EXPECT_EQ(run.exitCode, 3) << run.err.toStdString();
  EXPECT_EQ(JsonStream(run.out.toUtf8()).last().value("reason"), "timeout");
  sim.Stop();
  EXPECT_EQ(sim.Log("RX").last(), "LOAD OFF");
}

}  // namespace
}  // namespace kv::test
