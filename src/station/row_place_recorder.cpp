#include "station/row_place_recorder.h"

#include "station/station.h"
#include "steps/step_columns.h"

namespace kv {

RowPlaceRecorder::RowPlaceRecorder(Station& station, const Clock& clock, QObject* parent)
    : QObject(parent), station_(station), clock_(clock) {
  connect(&station_, &Station::logCleared, this, [this] { places_.Clear(); });
  connect(&station_, &Station::stepStarted, this, [this](int row, int /*previousRow*/) {
    places_.OnStepStarted(row, FindStepFunction(station_.Steps().Cell(row, kColFunction)));
  });
  // Connected directly: the row was stamped a moment ago, within the tick.
  connect(&station_, &Station::rowAdded, this, [this](qsizetype index) {
    places_.OnRowAdded(static_cast<std::size_t>(index), UnixMilliseconds(clock_.Now()));
  });
}

}  // namespace kv
