#include "headless/junit_report.h"

#include <QString>
#include <QXmlStreamWriter>

#include "station/bytes_text.h"

namespace kv {

namespace {

QString Seconds(double seconds) {
  return QString::number(seconds, 'f', 3);
}

bool IsError(const StepEnd& step) {
  return step.reason == StepEndReason::Stopped || step.reason == StepEndReason::LinkLost;
}

}  // namespace

std::string JunitXml(const RunSummary& summary, const std::string& suite) {
  const std::vector<StepEnd>& steps = summary.Steps();
  const std::optional<RunEnd>& end = summary.End();
  int failures = 0;
  int errors = 0;
  int skipped = 0;
  for (const StepEnd& step : steps) {
    failures += step.verdict == StepVerdict::Fail ? 1 : 0;
    errors += IsError(step) ? 1 : 0;
    skipped += step.reason == StepEndReason::Skipped ? 1 : 0;
  }
  // A run cut short between steps (or before the first) shows no error in
  // any step; a CI server must not read it as a pass.
  const bool runCase = errors == 0 && (!end || end->reason != RunEndReason::Completed);
  const std::string runNote =
      end ? std::string(RunEndReasonText(end->reason)) : "the run did not end";

  QString xml;
  QXmlStreamWriter w(&xml);
  w.setAutoFormatting(true);
  w.writeStartDocument();
  w.writeStartElement("testsuites");
  w.writeStartElement("testsuite");
  w.writeAttribute("name", BytesAsText(suite));
  w.writeAttribute("tests", QString::number(steps.size() + (runCase ? 1 : 0)));
  w.writeAttribute("failures", QString::number(failures));
  w.writeAttribute("errors", QString::number(errors + (runCase ? 1 : 0)));
  w.writeAttribute("skipped", QString::number(skipped));
  w.writeAttribute("time", Seconds(end ? end->seconds : 0.0));
  if (summary.Started()) {
    w.writeAttribute("timestamp", BytesAsText(FormatIsoLocal(*summary.Started())));
  }
  for (const StepEnd& step : steps) {
    w.writeStartElement("testcase");
    w.writeAttribute("name", QStringLiteral("step %1: %2")
                                 .arg(step.row)
                                 .arg(BytesAsText(step.functionName.empty() ? "(no function)"
                                                                            : step.functionName)));
    w.writeAttribute("classname", BytesAsText(suite));
    w.writeAttribute("time", Seconds(step.seconds));
    const QString note = BytesAsText(StepEndNote(step));
    if (step.verdict == StepVerdict::Fail) {
      w.writeStartElement("failure");
      w.writeAttribute("message", note);
      w.writeAttribute("type", "FAIL");
      w.writeEndElement();
    } else if (IsError(step)) {
      w.writeStartElement("error");
      w.writeAttribute("message", note);
      w.writeAttribute("type", BytesAsText(StepEndReasonName(step.reason)));
      w.writeEndElement();
    } else if (step.reason == StepEndReason::Skipped) {
      w.writeStartElement("skipped");
      w.writeAttribute("message", note);
      w.writeEndElement();
    }
    w.writeEndElement();
  }
  if (runCase) {
    w.writeStartElement("testcase");
    w.writeAttribute("name", "run");
    w.writeAttribute("classname", BytesAsText(suite));
    w.writeAttribute("time", Seconds(end ? end->seconds : 0.0));
    w.writeStartElement("error");
    w.writeAttribute("message", BytesAsText(runNote));
    w.writeAttribute("type",
                     end ? BytesAsText(RunEndReasonName(end->reason)) : QString("unfinished"));
    w.writeEndElement();
    w.writeEndElement();
  }
  w.writeEndDocument();
  return xml.toStdString();
}

}  // namespace kv
