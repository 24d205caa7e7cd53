#include "headless/headless_console.h"

#include <utility>

#include "headless/json_lines.h"
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

void HeadlessConsole::ShowMessage(std::string_view text) {
  if (!lastMessage_.empty() && text == lastMessage_) {
    ++repeats_;
    return;
  }
  FlushRepeats();
  lastMessage_ = std::string(text);
  ErrLine(text);
  Message("message", text);
}

void HeadlessConsole::Info(std::string_view text) {
  if (s_.quiet) {
    return;
  }
  ErrLine(std::string(kPrefix) + std::string(text));
  Message("info", text);
}

void HeadlessConsole::Warn(std::string_view text) {
  ErrLine(std::string(kPrefix) + std::string(text));
  Message("warning", text);
}

void HeadlessConsole::Message(std::string_view level, std::string_view text) {
  if (s_.jsonl) {
    JsonLine(JsonMessageLine(level, text));
  }
}

void HeadlessConsole::Print(std::string_view text) {
  ClearProgress();
  Put(s_.out, text);
  std::fflush(s_.out);
}

void HeadlessConsole::JsonLine(std::string_view line) {
  if (!s_.jsonl) {
    return;
  }
  ClearProgress();
  Put(s_.out, line);
  Put(s_.out, "\n");
  std::fflush(s_.out);
  DrawProgress();
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

void HeadlessConsole::Row(const ResultRowView& row) {
  if (s_.jsonl) {
    JsonLine(JsonRowLine(row));
    return;
  }
  ClearProgress();
  std::string line = ReportLine(row);
  line += '\n';
  Put(s_.out, line);
  // A pipe is block-buffered: without this a script would see rows in bursts.
  std::fflush(s_.out);
  DrawProgress();
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
