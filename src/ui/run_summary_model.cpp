#include "ui/run_summary_model.h"

#include <QString>
#include <cmath>
#include <variant>

#include "chart/verdict_look.h"
#include "check/check_report.h"
#include "runner/run_summary.h"
#include "station/station.h"

namespace kv {

namespace {

QString Text(const SummaryValue& value) {
  if (const auto* text = std::get_if<std::string>(&value)) {
    return QString::fromStdString(*text);
  }
  if (const auto* number = std::get_if<double>(&value)) {
    return QString::number(*number, 'g', 10);
  }
  return {};
}

const SummaryValue* Field(const std::vector<SummaryField>& fields, std::string_view key) {
  for (const SummaryField& f : fields) {
    if (f.key == key) {
      return &f.value;
    }
  }
  return nullptr;
}

}  // namespace

RunSummaryModel::RunSummaryModel(const Station& station, QObject* parent)
    : QAbstractTableModel(parent), station_(station) {
  connect(&station, &Station::logCleared, this, &RunSummaryModel::OnLogCleared);
  connect(&station, &Station::stepEnded, this, &RunSummaryModel::OnStepEnded);
  connect(&station, &Station::logReplaced, this, &RunSummaryModel::OnLogReplaced);
}

int RunSummaryModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : shown_;
}

int RunSummaryModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(StepSummaryFields(StepEnd{}).size());
}

QVariant RunSummaryModel::data(const QModelIndex& index, int role) const {
  const auto& steps = station_.Summary().Steps();
  const auto row = static_cast<std::size_t>(index.row());
  if (!index.isValid() || row >= steps.size()) {
    return {};
  }
  if (role == Qt::BackgroundRole) {
    // The same colours as the log's verdict rows.
    const StepVerdict verdict = steps[row].verdict;
    if (verdict == StepVerdict::None) {
      return {};
    }
    return *VerdictBackground(StepVerdictText(verdict));
  }
  if (role != Qt::DisplayRole) {
    return {};
  }
  const std::vector<SummaryField> fields = StepSummaryFields(steps[row]);
  return Text(fields.at(static_cast<std::size_t>(index.column())).value);
}

QVariant RunSummaryModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal) {
    return {};
  }
  const std::vector<SummaryField> fields = StepSummaryFields(StepEnd{});
  if (section < 0 || static_cast<std::size_t>(section) >= fields.size()) {
    return {};
  }
  return QString::fromUtf8(
      fields[static_cast<std::size_t>(section)].caption.data(),
      static_cast<qsizetype>(fields[static_cast<std::size_t>(section)].caption.size()));
}

void RunSummaryModel::OnLogCleared() {
  beginResetModel();
  shown_ = 0;
  endResetModel();
}

void RunSummaryModel::OnLogReplaced() {
  beginResetModel();
  shown_ = static_cast<int>(station_.Summary().Steps().size());
  endResetModel();
}

void RunSummaryModel::OnStepEnded(qsizetype index) {
  const auto total = static_cast<int>(station_.Summary().Steps().size());
  const int last = std::min(static_cast<int>(index), total - 1);
  if (last < shown_) {
    return;
  }
  beginInsertRows({}, shown_, last);
  shown_ = last + 1;
  endInsertRows();
}

QString RunEndText(const Station& station) {
  const RunSummary& summary = station.Summary();
  if (!summary.End()) {
    return {};
  }
  const std::vector<SummaryField> fields = RunSummaryFields(summary);
  const SummaryValue* note = Field(fields, "note");
  const SummaryValue* seconds = Field(fields, "seconds");
  const double s = (seconds != nullptr && std::holds_alternative<double>(*seconds))
                       ? std::get<double>(*seconds)
                       : summary.End()->seconds;
  return QStringLiteral("Run ended (%1) after %2")
      .arg(note != nullptr ? Text(*note) : QString(),
           QString::fromStdString(FormatDuration(static_cast<std::int64_t>(std::llround(s)))));
}

}  // namespace kv
