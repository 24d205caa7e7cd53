#pragma once
// What kvload-run shows: the report on standard output, messages and
// information on standard error, and a progress line that only a terminal
// gets. Rows leave at once, so a script reading the pipe sees each second.

#include <cstdio>
#include <string>
#include <string_view>

#include "link/message_sink.h"
#include "results/result_log.h"

namespace kv {

class HeadlessConsole : public MessageSink {
 public:
  struct Streams {
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    /// Draw the progress line (standard error is a terminal).
    bool progress = false;
    /// No progress and no information lines; messages and rows still come.
    bool quiet = false;
    /// Standard output carries JSON lines only (--format jsonl): rows,
    /// messages, step ends and the run's end. Standard error is as always.
    bool jsonl = false;
  };

  explicit HeadlessConsole(Streams streams) : s_(streams) {}
  ~HeadlessConsole() override;
  HeadlessConsole(const HeadlessConsole&) = delete;
  HeadlessConsole& operator=(const HeadlessConsole&) = delete;

  /// The link's and the runner's messages, as the desktop program would show
  /// them in a box. The same message over and over (a lost connection says
  /// so at every write) is printed once and then counted.
  void ShowMessage(std::string_view text) override;
  /// Counted for the exit status, then shown like any message.
  void OnLinkFailure(LinkFailure failure, std::string_view text, std::string_view cause) override;
  /// "kvload-run: <text>" unless quiet.
  void Info(std::string_view text);
  /// "kvload-run: <text>" even when quiet: things a script must not miss.
  void Warn(std::string_view text);

  /// The report's header line (none in JSON lines).
  void Header();
  /// One row as a report line: the ten cells joined by ",".
  void Row(const ResultRowView& row);

  /// What the progress line says from now on; drawn only on a terminal.
  void SetProgress(std::string text);
  /// Text for standard output as it is (the --check report).
  void Print(std::string_view text);
  /// One line for a script, written only in JSON lines mode.
  void JsonLine(std::string_view line);
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
  /// Ends counting of repeats and clears the progress line.
  void Finish();

 private:
  void ClearProgress();
  void DrawProgress();
  void FlushRepeats();
  void ErrLine(std::string_view text);
  void Message(std::string_view level, std::string_view text);

  Streams s_;
  std::string progress_;
  bool progressShown_ = false;
  std::string lastMessage_;
  int repeats_ = 0;
  int linkFailures_ = 0;
  bool linkFailuresMuted_ = false;
  bool endWritten_ = false;
};

/// One report line from a row's cells (no quoting, as the CSV export writes).
std::string ReportLine(const ResultRowView& row);

}  // namespace kv
