#pragma once
// What kvload-run shows: the report on standard output, messages and
// information on standard error, and a progress line that only a terminal
// gets. Rows leave at once, so a script reading the pipe sees each second.

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "link/message_sink.h"
#include "results/result_log.h"
#include "station/json_lines.h"

namespace kv {

class HeadlessConsole : public MessageSink {
 public:
  struct Streams {
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    /// Draw the progress line (standard error is a terminal).
    bool progress = false;
    /// Standard error keeps errors and warnings only: no progress, no
    /// information lines. Standard output is as always.
    bool quiet = false;
    /// Standard output carries JSON lines only (--format jsonl): rows,
    /// messages, step ends and the run's end. Standard error is as always.
    bool jsonl = false;
  };

  explicit HeadlessConsole(Streams streams) : s_(streams) {}
  ~HeadlessConsole() override;
  HeadlessConsole(const HeadlessConsole&) = delete;
  HeadlessConsole& operator=(const HeadlessConsole&) = delete;

  enum class Level { Error, Warning, Info };

  /// The link's messages, as the desktop program would show them in a box:
  /// errors.
  void ShowMessage(std::string_view text) override { Show(Level::Error, text); }
  /// The runner's messages as they are. The same message over and over (a
  /// lost connection says so at every write) is printed once and then counted.
  void Show(Level level, std::string_view text);
  /// Counted for the exit status, then shown like any message.
  void OnLinkFailure(LinkFailure failure, std::string_view text, std::string_view cause) override;
  /// "kvload-run: <text>" unless quiet.
  void Info(std::string_view text);
  /// "kvload-run: <text>" even when quiet: things a script must not miss.
  void Warn(std::string_view text);
  /// As Warn, for what ends or refuses the run; kept for the end object.
  void Error(std::string_view text);
  /// The last Error's text.
  const std::string& LastError() const { return lastError_; }

  /// The report's header line (none in JSON lines).
  void Header();
  /// One row as a report line: the ten cells joined by ",".
  void Row(const ResultRowView& row, RowPlace place = {});

  /// What the progress line says from now on; drawn only on a terminal.
  void SetProgress(std::string text);
  /// Text for standard output as it is (the --check report).
  void Print(std::string_view text);
  /// One line for a script, written only in JSON lines mode.
  void JsonLine(std::string_view line);
  /// The first JSON line of the program, its "start" object; said once. JSON
  /// lines that come before it are held and follow it.
  void JsonStart(std::string_view line);
  bool StartWritten() const { return startWritten_; }
  /// The last JSON line of the program, its "end" object; said once.
  void JsonEnd(std::string_view line);
  /// Whether JsonEnd came.
  bool EndWritten() const { return endWritten_; }
  bool Jsonl() const { return s_.jsonl; }
  bool Quiet() const { return s_.quiet; }
  /// From now on link failures are neither shown nor counted: the user gave
  /// up connecting, so the writes that follow cannot reach anything anyway.
  void MuteLinkFailures() { linkFailuresMuted_ = true; }
  /// How often the link said it could not connect or lost the connection.
  int LinkFailures() const { return linkFailures_; }
  /// A write to standard output failed (a full disk, a reader gone, a closed
  /// descriptor); said once on standard error, nothing more is written there.
  bool OutputLost() const { return outputLost_; }
  /// Ends counting of repeats and clears the progress line.
  void Finish();

 private:
  void ClearProgress();
  void DrawProgress();
  void FlushRepeats();
  void ErrLine(std::string_view text);
  /// Writes and flushes `text` on standard output unless it was lost.
  void Out(std::string_view text);
  void Message(Level level, std::string_view text);

  Streams s_;
  std::string progress_;
  bool progressShown_ = false;
  std::string lastMessage_;
  int repeats_ = 0;
  int linkFailures_ = 0;
  bool linkFailuresMuted_ = false;
  bool startWritten_ = false;
  bool endWritten_ = false;
  std::string lastError_;
  std::vector<std::string> held_;
  bool outputLost_ = false;
};

/// One report line from a row's cells (no quoting, as the CSV export writes).
std::string ReportLine(const ResultRowView& row);

}  // namespace kv
