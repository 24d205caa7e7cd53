#pragma once
// Which list the results on screen (log, summary, chart) came from. They
// stay when another list is opened, since they may not be saved yet; the
// banner above them then says whose they are.

#include <QString>
#include <QTime>
#include <string>

namespace kv {

class ResultsOrigin {
 public:
  /// A run of the list open now (`file`, "" when it has no file) began at `at`.
  void RunStarted(std::string file, QTime at);
  /// The results shown were reopened from `file`; `notes` (rows left out)
  /// stay in view with them.
  void Reopened(std::string file, std::string notes);
  /// Another list replaced the one that ran.
  void ListOpened();
  /// "Results of NAME.tsf, run at HH:MM:SS" while the results shown are not
  /// of the list open; "" otherwise.
  QString BannerText() const;
  /// The results shown came from a file, not from a run of this program.
  bool IsReopened() const { return !reopenedFile_.empty(); }

 private:
  std::string ranFile_;
  QTime ranAt_;
  bool hasRun_ = false;
  bool stale_ = false;
  std::string reopenedFile_;
  std::string reopenedNotes_;
};

}  // namespace kv
