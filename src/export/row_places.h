#pragma once
// Where each result row of a run belongs (the step, its FOR block's pass, how
// many steps had been taken) and when it came, recorded beside the result
// log as the rows arrive: the rows' own cells name neither the step nor the
// pass, and stamp them to the second only.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "base/clock.h"
#include "runner/loop_pass.h"
#include "steps/step_function.h"

namespace kv {

/// Where a result row belongs: the step's number and its FOR block's pass.
struct RowPlace {
  int step = 0;
  int pass = 1;
};

struct RowRecord {
  RowPlace place;
  /// Steps started so far in the run, this one included (each pass counts;
  /// FOR and LOOP rows are bookkeeping and do not).
  int stepsTaken = 0;
  /// When the row came, in milliseconds since 1970 UTC; none when unknown.
  std::optional<std::int64_t> unixMs;
};

/// Milliseconds since 1970-01-01 UTC of a local time with its offset.
std::int64_t UnixMilliseconds(const LocalDateTime& t);
/// The local time of `unixMs` in the zone `utcOffsetMinutes` east of UTC.
LocalDateTime LocalFromUnixMilliseconds(std::int64_t unixMs, int utcOffsetMinutes);

class RowPlaces {
 public:
  /// A new run (or a cleared log): no rows, no steps taken.
  void Clear();
  void OnStepStarted(int row, std::optional<StepFunction> function);
  /// Row `index` of the log was added at `unixMs`.
  void OnRowAdded(std::size_t index, std::optional<std::int64_t> unixMs);

  /// A record read back from where it was kept.
  void Restore(std::size_t index, const RowRecord& record);

  /// Null for a row that was not recorded.
  const RowRecord* At(std::size_t index) const;
  std::size_t Size() const { return records_.size(); }

 private:
  LoopPass pass_;
  int step_ = 0;
  int stepsTaken_ = 0;
  std::vector<RowRecord> records_;
  std::vector<bool> recorded_;
};

}  // namespace kv
