#include "ui/run_chart_feed.h"

#include <cctype>
#include <string_view>

#include "results/result_columns.h"
#include "station/station.h"
#include "text/number_text.h"
#include "ui/run_chart.h"

namespace kv {

namespace {

// A tick without a measurement keeps what the load sent ("ErrRec", nothing);
// drawn as 0 V it would look like a collapsed battery instead of a gap.
bool StartsWithNumber(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) {
    return false;
  }
  const char c = text[first];
  return std::isdigit(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '+' || c == '.';
}

}  // namespace

RunChartFeed::RunChartFeed(const Station& station, RunChart& chart, QObject* parent)
    : QObject(parent), station_(station), chart_(chart) {
  connect(&station, &Station::logCleared, this, &RunChartFeed::OnLogCleared);
  connect(&station, &Station::rowAdded, this, &RunChartFeed::OnRowAdded);
  connect(&station, &Station::stepStarted, this, [this](int row, int) { OnStepStarted(row); });
  connect(&station, &Station::runEnded, this, [this] { chart_.Finish(); });
}

double RunChartFeed::Elapsed() const {
  return sinceFirstRow_.isValid() ? static_cast<double>(sinceFirstRow_.nsecsElapsed()) / 1e9 : 0.0;
}

void RunChartFeed::OnLogCleared() {
  chart_.Clear();
  sinceFirstRow_.invalidate();
}

void RunChartFeed::OnRowAdded(qsizetype index) {
  if (!sinceFirstRow_.isValid()) {
    sinceFirstRow_.start();
  }
  const ResultRowView row = station_.Log().RowView(static_cast<std::size_t>(index));
  if (!StartsWithNumber(row[kResVoltage])) {
    return;
  }
  chart_.AddPoint(Elapsed(), Value(row[kResVoltage]), Value(row[kResCurrent]),
                  Value(row[kResPower]));
}

void RunChartFeed::OnStepStarted(int row) {
  chart_.MarkStep(Elapsed(), row);
}

}  // namespace kv
