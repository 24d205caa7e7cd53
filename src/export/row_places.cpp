#include "export/row_places.h"

namespace kv {

namespace {

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

}  // namespace

std::int64_t UnixMilliseconds(const LocalDateTime& t) {
  const std::int64_t seconds = DaysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 +
                               t.minute * 60 + t.second - std::int64_t{t.utcOffsetMinutes} * 60;
  return seconds * 1000 + t.millisecond;
}

void RowPlaces::Clear() {
  *this = RowPlaces();
}

void RowPlaces::OnStepStarted(int row, std::optional<StepFunction> function) {
  pass_.OnStepStarted(row, function);
  step_ = row;
  if (function != StepFunction::For && function != StepFunction::Loop) {
    ++stepsTaken_;
  }
}

void RowPlaces::OnRowAdded(std::size_t index, std::optional<std::int64_t> unixMs) {
  if (index >= records_.size()) {
    records_.resize(index + 1);
    recorded_.resize(index + 1);
  }
  records_[index] = RowRecord{{step_, pass_.Pass()}, stepsTaken_, unixMs};
  recorded_[index] = true;
}

const RowRecord* RowPlaces::At(std::size_t index) const {
  return index < records_.size() && recorded_[index] ? &records_[index] : nullptr;
}

}  // namespace kv
