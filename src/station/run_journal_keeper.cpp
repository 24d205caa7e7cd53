#include "station/run_journal_keeper.h"

#include <chrono>

#include "station/station.h"

namespace kv {

RunJournalKeeper::RunJournalKeeper(Station& station, const Clock& clock, QObject* parent)
    : QObject(parent), station_(station), clock_(clock), journal_(clock) {
  // Single-shot at the journal's own due time: a timer with a fixed period
  // would let a row written just after one of its shots wait for two.
  syncTimer_.setSingleShot(true);
  syncTimer_.setTimerType(Qt::PreciseTimer);
  connect(&syncTimer_, &QTimer::timeout, this, [this] {
    Report(journal_.SyncIfDue());
    ArmSync();
  });
  connect(&station_, &Station::logCleared, this, &RunJournalKeeper::OnLogCleared);
  connect(&station_, &Station::rowAdded, this, &RunJournalKeeper::OnRowAdded);
  connect(&station_, &Station::runningChanged, this, &RunJournalKeeper::OnRunningChanged);
}

void RunJournalKeeper::SetFolder(std::string folder) {
  folder_ = std::move(folder);
}

bool RunJournalKeeper::OpenFile(const std::string& path, std::string* error) {
  folder_.clear();
  if (station_.Log().RowCount() != 0) {
    // Its rows would be taken for the next run's.
    *error = "the journal " + path + " opens before a run, on an empty log";
    return false;
  }
  reserved_ = journal_.StartFile(path, station_.Log(), error);
  return reserved_;
}

void RunJournalKeeper::KeepPlaces(const RowPlaces& places) {
  places_ = &places;
  connect(&station_, &Station::rowAdded, this, &RunJournalKeeper::OnPlaceRecorded);
}

void RunJournalKeeper::OnPlaceRecorded() {
  if (!journal_.IsOpen()) {
    return;
  }
  if (!placesJournal_.IsOpen() && journal_.RowsWritten() == 1) {
    placesJournal_.Start(journal_.Path(), station_.Summary().Started().value_or(clock_.Now()));
  }
  placesJournal_.Append(*places_);
}

void RunJournalKeeper::Close() {
  placesJournal_.Finish();
  syncTimer_.stop();
  reserved_ = false;
  Report(journal_.Finish());
}

void RunJournalKeeper::OnLogCleared() {
  if (reserved_) {
    reserved_ = false;
    emit started(QString::fromStdString(journal_.Path()));
    return;
  }
  Close();
  if (folder_.empty()) {
    return;
  }
  std::string error;
  if (!journal_.Start(folder_, station_.Log(), clock_.Now(), &error)) {
    emit failed(QString::fromStdString(error));
    return;
  }
  emit started(QString::fromStdString(journal_.Path()));
}

void RunJournalKeeper::OnRowAdded(qsizetype index) {
  if (journal_.IsOpen()) {
    Report(journal_.Append(static_cast<std::size_t>(index)));
    ArmSync();
  }
}

void RunJournalKeeper::OnRunningChanged(bool running) {
  // Synced but left open: a tick that Stop interrupted may still add its
  // row. The file closes when the next run starts or the keeper goes.
  if (!running && journal_.IsOpen() && !reserved_) {
    syncTimer_.stop();
    Report(journal_.SyncNow());
    placesJournal_.Sync();
  }
}

void RunJournalKeeper::ArmSync() {
  const std::optional<std::int64_t> due = journal_.MsUntilSyncDue();
  if (due && !syncTimer_.isActive()) {
    syncTimer_.start(std::chrono::milliseconds(*due));
  }
}

// A failed write closes the journal, so each failure is reported once.
void RunJournalKeeper::Report(bool ok) {
  if (!ok && !journal_.Error().empty()) {
    syncTimer_.stop();
    emit failed(QString::fromStdString(journal_.Error()));
  }
}

}  // namespace kv
