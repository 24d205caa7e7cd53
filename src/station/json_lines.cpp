#include "station/json_lines.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <array>
#include <vector>

#include "station/bytes_text.h"

namespace kv {

namespace {

std::string Line(const QJsonObject& object) {
  return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

QJsonValue Value(const SummaryValue& value) {
  if (const auto* text = std::get_if<std::string>(&value)) {
    return BytesAsText(*text);
  }
  if (const auto* number = std::get_if<double>(&value)) {
    return *number;
  }
  return QJsonValue::Null;
}

// "type" is the line's own key; a summary field of that name stays out.
void AddFields(QJsonObject& object, const std::vector<SummaryField>& fields) {
  for (const SummaryField& field : fields) {
    if (field.key != "type") {
      object.insert(BytesAsText(field.key), Value(field.value));
    }
  }
}

QJsonValue TextOrNull(std::string_view text) {
  return text.empty() ? QJsonValue(QJsonValue::Null) : QJsonValue(BytesAsText(text));
}

QJsonValue Files(const std::vector<std::string>& files) {
  QJsonArray array;
  for (const std::string& file : files) {
    array.append(BytesAsText(file));
  }
  return array;
}

}  // namespace

std::string JsonStartLine(const JsonRunIdentity& id) {
  return Line(QJsonObject{
      {"type", "start"},
      {"schema", kJsonSchemaVersion},
      {"run", BytesAsText(id.runId)},
      {"program", BytesAsText(id.program)},
      {"version", BytesAsText(id.version)},
      {"list", BytesAsText(id.listPath)},
      {"list_sha256", TextOrNull(id.listSha256)},
      {"steps", id.steps ? QJsonValue(*id.steps) : QJsonValue(QJsonValue::Null)},
      {"settings", TextOrNull(id.settingsPath)},
      {"link", TextOrNull(id.linkMode)},
      {"address", TextOrNull(id.linkAddress)},
      {"time", BytesAsText(FormatIso8601(id.started))},
  });
}

std::string JsonStateLine(const JsonBenchState& s) {
  return Line(QJsonObject{
      {"type", "state"},
      {"bench", BytesAsText(s.bench)},
      {"state", BytesAsText(s.state)},
      {"note", TextOrNull(s.note)},
      {"list", TextOrNull(s.list)},
      {"step", s.step > 0 ? QJsonValue(s.step) : QJsonValue(QJsonValue::Null)},
      {"steps", s.steps},
      {"function", TextOrNull(s.function)},
      {"model", TextOrNull(s.model)},
      {"program", BytesAsText(s.program)},
      {"version", BytesAsText(s.version)},
      {"time", BytesAsText(FormatIso8601(s.time))},
  });
}

std::string JsonRowLine(const ResultRowView& row, RowPlace place) {
  static constexpr std::array<const char*, kResultColumns> kKeys = {
      "no", "time", "v", "i", "w", "ah", "wh", "stamp", "function", "result"};
  QJsonObject object{{"type", "row"}, {"step", place.step}, {"pass", place.pass}};
  for (std::size_t i = 0; i < row.size(); ++i) {
    object.insert(QLatin1String(kKeys[i]), BytesAsText(row[i]));
  }
  return Line(object);
}

std::string JsonStepLine(const StepEnd& end, int pass) {
  QJsonObject object{{"type", "step"}, {"pass", pass}};
  AddFields(object, StepSummaryFields(end));
  object.insert(QStringLiteral("start"), BytesAsText(FormatIso8601(end.started)));
  object.insert(QStringLiteral("end"), BytesAsText(FormatIso8601(end.ended)));
  return Line(object);
}

std::string JsonMessageLine(std::string_view level, std::string_view text) {
  return Line(
      QJsonObject{{"type", "message"}, {"level", BytesAsText(level)}, {"text", BytesAsText(text)}});
}

std::string JsonFindingLine(const CheckFinding& finding) {
  return Line(QJsonObject{{"type", "finding"},
                          {"step", finding.step},
                          {"severity", BytesAsText(SeverityName(finding.severity))},
                          {"message", BytesAsText(finding.message)}});
}

std::string_view OverallVerdict(const RunSummary& summary) {
  std::string_view verdict;
  for (const StepEnd& step : summary.Steps()) {
    if (step.verdict == StepVerdict::Fail) {
      return "FAIL";
    }
    if (step.verdict == StepVerdict::Pass) {
      verdict = "PASS";
    }
  }
  return verdict;
}

std::string JsonEndLine(const JsonRunIdentity& identity, const JsonRunOutcome& outcome,
                        const RunSummary& summary) {
  const std::optional<RunEnd>& end = summary.End();
  const QJsonValue null(QJsonValue::Null);
  std::string reason = outcome.reason;
  std::string note = outcome.note;
  if (end) {
    reason = reason.empty() ? std::string(RunEndReasonName(end->reason)) : reason;
    note = note.empty() ? std::string(RunEndReasonText(end->reason)) : note;
  }
  return Line(QJsonObject{
      {"type", "end"},
      {"run", BytesAsText(identity.runId)},
      {"exit", outcome.exitStatus},
      {"verdict", TextOrNull(OverallVerdict(summary))},
      {"reason", TextOrNull(reason)},
      {"note", TextOrNull(note)},
      {"start",
       summary.Started() ? QJsonValue(BytesAsText(FormatIso8601(*summary.Started()))) : null},
      {"end", end ? QJsonValue(BytesAsText(FormatIso8601(end->ended))) : null},
      {"seconds", end ? QJsonValue(end->seconds) : null},
      {"steps", static_cast<qint64>(summary.Steps().size())},
      {"model", TextOrNull(outcome.model)},
      {"files", QJsonObject{{"csv", Files(outcome.csvFiles)},
                            {"summary", TextOrNull(outcome.summaryFile)},
                            {"journal", TextOrNull(outcome.journalFile)},
                            {"junit", TextOrNull(outcome.junitFile)},
                            {"bdf", TextOrNull(outcome.bdfFile)},
                            {"report", TextOrNull(outcome.reportFile)}}},
  });
}

std::string JsonCheckEndLine(const JsonRunIdentity& identity, int exitStatus, const RunPlan& plan,
                             const std::vector<CheckFinding>& findings) {
  return Line(QJsonObject{{"type", "end"},
                          {"run", BytesAsText(identity.runId)},
                          {"exit", exitStatus},
                          {"seconds", static_cast<double>(plan.seconds)},
                          {"rows", static_cast<double>(plan.rows)},
                          {"exact", plan.Exact()},
                          {"errors", CountFindings(findings, Severity::Error)},
                          {"warnings", CountFindings(findings, Severity::Warning)},
                          {"notes", CountFindings(findings, Severity::Note)}});
}

}  // namespace kv
