#include "headless/json_lines.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <array>
#include <vector>

#include "text/utf8_text.h"

namespace kv {

namespace {

// JSON must be UTF-8; a Latin-1 step name or a stray byte in a reply keeps
// its character instead of becoming U+FFFD.
QString Text(std::string_view text) {
  const std::string utf8 = Utf8OrLatin1(text);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string Line(const QJsonObject& object) {
  return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

QJsonValue Value(const SummaryValue& value) {
  if (const auto* text = std::get_if<std::string>(&value)) {
    return Text(*text);
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
      object.insert(Text(field.key), Value(field.value));
    }
  }
}

}  // namespace

std::string JsonRowLine(const ResultRowView& row) {
  static constexpr std::array<const char*, kResultColumns> kKeys = {
      "no", "time", "v", "i", "w", "ah", "wh", "stamp", "function", "result"};
  QJsonObject object{{"type", "row"}};
  for (std::size_t i = 0; i < row.size(); ++i) {
    object.insert(QLatin1String(kKeys[i]), Text(row[i]));
  }
  return Line(object);
}

std::string JsonStepLine(const StepEnd& end) {
  QJsonObject object{{"type", "step"}};
  AddFields(object, StepSummaryFields(end));
  return Line(object);
}

std::string JsonMessageLine(std::string_view level, std::string_view text) {
  return Line(QJsonObject{{"type", "message"}, {"level", Text(level)}, {"text", Text(text)}});
}

std::string JsonFindingLine(const CheckFinding& finding) {
  return Line(QJsonObject{{"type", "finding"},
                          {"step", finding.step},
                          {"severity", Text(SeverityName(finding.severity))},
                          {"message", Text(finding.message)}});
}

std::string JsonEndLine(int exitStatus, const RunSummary& summary) {
  QJsonObject object{{"type", "end"}, {"exit", exitStatus}};
  AddFields(object, RunSummaryFields(summary));
  return Line(object);
}

}  // namespace kv
