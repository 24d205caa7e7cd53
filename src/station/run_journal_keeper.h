#pragma once
// Keeps a station's runs in journals: a journal opens when a run empties the
// log, takes every row as it is added, syncs at least once a second while the
// run is quiet, and is synced when the run ends (closed at the next run).

#include <QObject>
#include <QString>
#include <QTimer>
#include <string>

#include "base/clock.h"
#include "station/run_journal.h"

namespace kv {

class Station;

class RunJournalKeeper : public QObject {
  Q_OBJECT

 public:
  /// Journals nothing until SetFolder() or SetFile(). `station` and `clock`
  /// must outlive the keeper.
  RunJournalKeeper(Station& station, const Clock& clock, QObject* parent = nullptr);

  /// Each run gets a new kvload-YYYYMMDD-hhmmss.csv in `folder`; "" stops
  /// journaling from the next run on.
  void SetFolder(std::string folder);
  /// Each run writes exactly `path` (emptied at the run's start).
  void SetFile(std::string path);
  const RunJournal& Journal() const { return journal_; }

 signals:
  void started(const QString& path);
  /// The journal could not be created or written; the run goes on without it.
  void failed(const QString& error);

 private:
  void OnLogCleared();
  void OnRowAdded(qsizetype index);
  void OnRunningChanged(bool running);
  void Report(bool ok);

  Station& station_;
  const Clock& clock_;
  std::string folder_;
  std::string file_;
  RunJournal journal_;
  QTimer syncTimer_;
};

}  // namespace kv
