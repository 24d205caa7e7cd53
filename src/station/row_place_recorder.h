#pragma once
// Follows a station's runs into a RowPlaces record: which step, pass and
// count of steps each result row belongs to, and when it came.

#include <QObject>
#include <utility>

#include "base/clock.h"
#include "export/row_places.h"

namespace kv {

class Station;

class RowPlaceRecorder : public QObject {
  Q_OBJECT

 public:
  /// `station` and `clock` must outlive the recorder.
  RowPlaceRecorder(Station& station, const Clock& clock, QObject* parent = nullptr);

  /// The places of the rows of the station's log.
  const RowPlaces& Places() const { return places_; }
  /// The places of rows shown by Station::ShowResults.
  void Restore(RowPlaces places) { places_ = std::move(places); }

 private:
  Station& station_;
  const Clock& clock_;
  RowPlaces places_;
};

}  // namespace kv
