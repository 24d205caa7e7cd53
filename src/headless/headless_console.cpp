#include "headless/headless_console.h"

#include <cerrno>
#include <utility>

#include "base/errno_text.h"
#include "station/json_lines.h"
#include "text/control_chars.h"

namespace kv {

namespace {

constexpr std::string_view kPrefix = "kvload-run: ";

void Put(std::FILE* f, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), f);
}

}  // namespace

std::string ReportLine(const ResultRowView& row) {
  std::string line;
  for (std::size_t i = 0; i < row.size(); ++i) {
    if (i > 0) {
      line += ',';
    }
    line += row[i];
  }
  return line;
}

HeadlessConsole::~HeadlessConsole() {
  Finish();
}

void HeadlessConsole::OnLinkFailure(LinkFailure /*failure*/, std::string_view text,
                                    std::string_view /*cause*/) {
  if (linkFailuresMuted_) {
    return;
  }
  ++linkFailures_;
  ShowMessage(text);
}

void HeadlessConsole::Show(Level level, std::string_view text) {
  if (!lastMessage_.empty() && text == lastMessage_) {
    ++repeats_;
    return;
  }
  FlushRepeats();
  lastMessage_ = std::string(text);
  if (level != Level::Info || !s_.quiet) {
    ErrLine(text);
  }
  Message(level, text);
}

void HeadlessConsole::Info(std::string_view text) {
  if (!s_.quiet) {
    ErrLine(std::string(kPrefix) + std::string(text));
  }
  Message(Level::Info, text);
}

void HeadlessConsole::Warn(std::string_view text) {
  ErrLine(std::string(kPrefix) + std::string(text));
  Message(Level::Warning, text);
}

void HeadlessConsole::Error(std::string_view text) {
  lastError_ = std::string(text);
  ErrLine(std::string(kPrefix) + std::string(text));
  Message(Level::Error, text);
}

void HeadlessConsole::Message(Level level, std::string_view text) {
  static constexpr std::string_view kNames[] = {"error", "warning", "info"};
  if (s_.jsonl) {
    JsonLine(JsonMessageLine(kNames[static_cast<int>(level)], text));
  }
}

void HeadlessConsole::Print(std::string_view text) {
  ClearProgress();
  Out(text);
}

void HeadlessConsole::JsonLine(std::string_view line) {
  if (!s_.jsonl) {
    return;
  }
  if (!startWritten_) {
    held_.emplace_back(line);
    return;
  }
  ClearProgress();
  Out(std::string(line) + '\n');
  DrawProgress();
}

void HeadlessConsole::JsonStart(std::string_view line) {
  if (!std::exchange(startWritten_, true)) {
    JsonLine(line);
    for (const std::string& held : std::exchange(held_, {})) {
      JsonLine(held);
    }
  }
}

void HeadlessConsole::JsonEnd(std::string_view line) {
  if (!std::exchange(endWritten_, true)) {
    JsonLine(line);
  }
}

void HeadlessConsole::Header() {
  if (s_.jsonl) {
    return;
  }
  Row({"NO.", "StepTime", "V", "I", "W", "Ah", "Wh", "TotalTime", "FunctionName", "Result"});
}

void HeadlessConsole::Row(const ResultRowView& row, RowPlace place) {
  if (s_.jsonl) {
    JsonLine(JsonRowLine(row, place));
    return;
  }
  ClearProgress();
  Out(ReportLine(row) + '\n');
  DrawProgress();
}

void HeadlessConsole::Out(std::string_view text) {
  if (outputLost_) {
    return;
  }
  errno = 0;
  Put(s_.out, text);
  // A pipe is block-buffered: without the flush a script would see rows in
  // bursts, and a failed write would show only at exit.
  if (std::fflush(s_.out) == 0 && std::ferror(s_.out) == 0) {
    return;
  }
  // The load is mid-run: the run must go on to its end and switch it off.
  outputLost_ = true;
  ErrLine(std::string(kPrefix) + "standard output was lost (" + ErrnoText(errno) +
          "); the program goes on without it, exit status will be 2");
}

void HeadlessConsole::SetProgress(std::string text) {
  progress_ = std::move(text);
  DrawProgress();
}

void HeadlessConsole::Finish() {
  FlushRepeats();
  ClearProgress();
  progress_.clear();
  std::fflush(s_.err);
}

void HeadlessConsole::ClearProgress() {
  if (progressShown_) {
    Put(s_.err, "\r\033[K");
    std::fflush(s_.err);
    progressShown_ = false;
  }
}

void HeadlessConsole::DrawProgress() {
  if (!s_.progress || s_.quiet || progress_.empty()) {
    return;
  }
  Put(s_.err, "\r\033[K");
  Put(s_.err, EscapeControlChars(progress_));
  std::fflush(s_.err);
  progressShown_ = true;
}

void HeadlessConsole::FlushRepeats() {
  if (repeats_ > 0) {
    const std::string line = std::string(kPrefix) + "(\"" + lastMessage_ + "\" " +
                             std::to_string(repeats_) + " more time" + (repeats_ == 1 ? "" : "s") +
                             ")";
    repeats_ = 0;
    ErrLine(line);
  }
}

void HeadlessConsole::ErrLine(std::string_view text) {
  ClearProgress();
  // Step files and loads supply part of this text; on a terminal a stray
  // escape sequence or CR would rewrite what the operator sees.
  Put(s_.err, EscapeControlChars(text));
  Put(s_.err, "\n");
  std::fflush(s_.err);
  DrawProgress();
}

}  // namespace kv
