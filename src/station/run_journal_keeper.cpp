#include "station/run_journal_keeper.h"

#include <chrono>

#include "station/station.h"

namespace kv {

RunJournalKeeper::RunJournalKeeper(Station& station, const Clock& clock, QObject* parent)
    : QObject(parent), station_(station), clock_(clock) {
  syncTimer_.setInterval(std::chrono::milliseconds(RunJournal::kSyncInterval));
  connect(&syncTimer_, &QTimer::timeout, this, [this] { Report(journal_.SyncIfDue()); });
  connect(&station_, &Station::logCleared, this, &RunJournalKeeper::OnLogCleared);
  connect(&station_, &Station::rowAdded, this, &RunJournalKeeper::OnRowAdded);
  connect(&station_, &Station::runningChanged, this, &RunJournalKeeper::OnRunningChanged);
}

void RunJournalKeeper::SetFolder(std::string folder) {
  folder_ = std::move(folder);
  file_.clear();
}

void RunJournalKeeper::SetFile(std::string path) {
  file_ = std::move(path);
  folder_.clear();
}

void RunJournalKeeper::OnLogCleared() {
  Report(journal_.Finish());
  if (folder_.empty() && file_.empty()) {
    return;
  }
  std::string error;
  const bool ok = file_.empty() ? journal_.Start(folder_, station_.Log(), clock_.Now(), &error)
                                : journal_.StartFile(file_, station_.Log(), &error);
  if (!ok) {
    emit failed(QString::fromStdString(error));
    return;
  }
  syncTimer_.start();
  emit started(QString::fromStdString(journal_.Path()));
}

void RunJournalKeeper::OnRowAdded(qsizetype index) {
  if (journal_.IsOpen()) {
    Report(journal_.Append(static_cast<std::size_t>(index)));
  }
}

void RunJournalKeeper::OnRunningChanged(bool running) {
  // Synced but left open: a tick that Stop interrupted may still add its
  // row. The file closes when the next run starts or the keeper goes.
  if (!running && journal_.IsOpen()) {
    syncTimer_.stop();
    Report(journal_.SyncNow());
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
