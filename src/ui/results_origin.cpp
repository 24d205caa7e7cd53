#include "ui/results_origin.h"

#include <QFileInfo>
#include <utility>

namespace kv {

void ResultsOrigin::RunStarted(std::string file, QTime at) {
  ranFile_ = std::move(file);
  ranAt_ = at;
  hasRun_ = true;
  stale_ = false;
}

void ResultsOrigin::ListOpened() {
  stale_ = hasRun_;
}

QString ResultsOrigin::BannerText() const {
  if (!stale_) {
    return {};
  }
  const QString name = ranFile_.empty() ? QStringLiteral("a list that was not saved")
                                        : QFileInfo(QString::fromStdString(ranFile_)).fileName();
  return QStringLiteral("Results of %1, run at %2")
      .arg(name, ranAt_.toString(QStringLiteral("HH:mm:ss")));
}

}  // namespace kv
