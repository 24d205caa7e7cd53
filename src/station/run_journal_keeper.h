#pragma once
// Keeps a station's runs in journals: a journal opens when a run empties the
// log (or before it: OpenFile), takes every row as it is added, is synced
// within a second of each row also while the run is quiet, and is synced
// when the run ends (closed at the next run).

#include <QObject>
#include <QString>
#include <QTimer>
#include <string>

#include "base/clock.h"
#include "export/row_places.h"
#include "station/row_places_journal.h"
#include "station/run_journal.h"

namespace kv {

class Station;

class RunJournalKeeper : public QObject {
  Q_OBJECT

 public:
  /// Journals nothing until SetFolder() or OpenFile(). `station` and `clock`
  /// must outlive the keeper.
  RunJournalKeeper(Station& station, const Clock& clock, QObject* parent = nullptr);

  /// Each run gets a new kvload-YYYYMMDD-hhmmss.csv in `folder`; "" stops
  /// journaling from the next run on.
  void SetFolder(std::string folder);
  /// Opens `path` now, before anything is connected, for the rows of the
  /// station's next run (the log must be empty); later runs journal nothing,
  /// since a journal never empties a file. False with `error` naming the
  /// cause: then no run should start.
  bool OpenFile(const std::string& path, std::string* error);
  /// Also keeps the places of the rows beside each journal. Call it once the
  /// recorder of `places` follows the station: each row's place is taken
  /// after the recorder has it.
  void KeepPlaces(const RowPlaces& places);
  /// Syncs and closes the journal; a failure is reported through failed().
  void Close();
  const RunJournal& Journal() const { return journal_; }

 signals:
  void started(const QString& path);
  /// The journal could not be created or written; the run goes on without it.
  void failed(const QString& error);

 private:
  void OnLogCleared();
  void OnRowAdded(qsizetype index);
  void OnRunningChanged(bool running);
  void OnPlaceRecorded();
  /// Arms the sync timer for the journal's next due sync.
  void ArmSync();
  void Report(bool ok);

  Station& station_;
  const Clock& clock_;
  std::string folder_;
  RunJournal journal_;
  const RowPlaces* places_ = nullptr;
  RowPlacesJournal placesJournal_;
  /// OpenFile's journal, waiting for its run.
  bool reserved_ = false;
  QTimer syncTimer_;
};

}  // namespace kv
