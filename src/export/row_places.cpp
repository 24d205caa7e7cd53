#include "export/row_places.h"

#include <chrono>

namespace kv {

std::int64_t UnixMilliseconds(const LocalDateTime& t) {
  using namespace std::chrono;
  const sys_days day{year{t.year} / month{static_cast<unsigned>(t.month)} /
                     std::chrono::day{static_cast<unsigned>(t.day)}};
  const auto local =
      day + hours{t.hour} + minutes{t.minute} + seconds{t.second} + milliseconds{t.millisecond};
  return (local - minutes{t.utcOffsetMinutes}).time_since_epoch().count();
}

LocalDateTime LocalFromUnixMilliseconds(std::int64_t unixMs, int utcOffsetMinutes) {
  using namespace std::chrono;
  const sys_time<milliseconds> local{milliseconds{unixMs} + minutes{utcOffsetMinutes}};
  const sys_days day = floor<days>(local);
  const year_month_day ymd{day};
  const hh_mm_ss<milliseconds> time{local - day};
  return LocalDateTime{static_cast<int>(ymd.year()),
                       static_cast<int>(static_cast<unsigned>(ymd.month())),
                       static_cast<int>(static_cast<unsigned>(ymd.day())),
                       static_cast<int>(time.hours().count()),
                       static_cast<int>(time.minutes().count()),
                       static_cast<int>(time.seconds().count()),
                       static_cast<int>(time.subseconds().count()),
                       utcOffsetMinutes};
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
  Restore(index, RowRecord{{step_, pass_.Pass()}, stepsTaken_, unixMs});
}

void RowPlaces::Restore(std::size_t index, const RowRecord& record) {
  if (index >= records_.size()) {
    records_.resize(index + 1);
    recorded_.resize(index + 1);
  }
  records_[index] = record;
  recorded_[index] = true;
}

const RowRecord* RowPlaces::At(std::size_t index) const {
  return index < records_.size() && recorded_[index] ? &records_[index] : nullptr;
}

}  // namespace kv
