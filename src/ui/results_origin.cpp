#include "ui/results_origin.h"

#include <QFileInfo>
#include <utility>

namespace kv {

void ResultsOrigin::RunStarted(std::string file, QTime at) {
  ranFile_ = std::move(file);
  ranAt_ = at;
  hasRun_ = true;
  stale_ = false;
  reopenedFile_.clear();
}

void ResultsOrigin::Reopened(std::string file, std::string notes) {
  reopenedFile_ = std::move(file);
  reopenedNotes_ = std::move(notes);
}

void ResultsOrigin::ListOpened() {
  stale_ = hasRun_;
}

QString ResultsOrigin::BannerText() const {
  if (!reopenedFile_.empty()) {
    return QStringLiteral("Results reopened from %1 (read-only: the file is not changed)%2")
        .arg(QFileInfo(QString::fromStdString(reopenedFile_)).fileName(),
             reopenedNotes_.empty()
                 ? QString()
                 : QStringLiteral(". ") + QString::fromStdString(reopenedNotes_));
  }
  if (!stale_) {
    return {};
  }
  const QString name = ranFile_.empty() ? QStringLiteral("a list that was not saved")
                                        : QFileInfo(QString::fromStdString(ranFile_)).fileName();
  return QStringLiteral("Results of %1, run at %2")
      .arg(name, ranAt_.toString(QStringLiteral("HH:mm:ss")));
}

}  // namespace kv
