#include "sim/server/sim_session.h"

#include <algorithm>

namespace kv {
namespace {

// A line longer than any the load knows is cut here rather than buffered for ever.
constexpr qsizetype kMaxLine = 4096;

// The endless reply goes out in pieces of this size, one a millisecond at most,
// and waits while the connection holds more than kEndlessBacklog unsent.
constexpr qsizetype kEndlessChunk = qsizetype{16} * 1024;
constexpr qint64 kEndlessBacklog = qint64{256} * 1024;
constexpr int kEndlessIntervalMs = 1;

bool IsMeasurementQuery(std::string_view line) {
  return line == "MEAS:VC?";  // as exact as the load's own protocol
}

}  // namespace

QByteArray SimGarbage(int n) {
  QByteArray junk;
  quint32 x = 2654435761u * static_cast<quint32>(n + 1);
  const int length = 6 + n % 11;
  for (int i = 0; i < length; ++i) {
    x = x * 1664525u + 1013904223u;
    char c = static_cast<char>((x >> 24) % 0x7f + 1);
    if (c == '\n' || c == '\r') {
      c = '#';
    }
    junk.append(c);
  }
  return junk;
}

QByteArray SimControlCharacters(const QByteArray& reply) {
  static const QByteArray kAfterFirst("\r\x1b[2J\x07");
  static const QByteArray kAtEnd("\t\0\r", 3);
  const qsizetype comma = reply.indexOf(',');
  const qsizetype firstEnd = comma < 0 ? reply.size() : comma;
  return reply.left(firstEnd) + kAfterFirst + reply.mid(firstEnd) + kAtEnd;
}

SimSession::SimSession(LineHandler handle, Writer write, QByteArray eol, const SimFaults& faults,
                       QObject* parent)
    : QObject(parent),
      handle_(std::move(handle)),
      write_(std::move(write)),
      eol_(std::move(eol)),
      faults_(faults) {
  clock_.start();
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, [this] { SendDue(); });
  endlessTimer_.setInterval(kEndlessIntervalMs);
  connect(&endlessTimer_, &QTimer::timeout, this, [this] { StreamEndless(); });
}

void SimSession::Feed(const QByteArray& bytes) {
  pending_.append(bytes);
  for (;;) {
    if (dropped_) {
      pending_.clear();
      return;
    }
    const qsizetype lf = pending_.indexOf('\n');
    if (lf < 0) {
      if (pending_.size() > kMaxLine) {
        const QByteArray cut = pending_.left(kMaxLine);
        pending_.remove(0, kMaxLine);
        HandleLine(std::string_view(cut.constData(), static_cast<std::size_t>(cut.size())));
        continue;
      }
      return;
    }
    QByteArray line = pending_.left(lf);
    pending_.remove(0, lf + 1);
    if (line.endsWith('\r')) {
      line.chop(1);
    }
    HandleLine(std::string_view(line.constData(), static_cast<std::size_t>(line.size())));
  }
}

void SimSession::HandleLine(std::string_view line) {
  ++lines_;
  std::optional<std::string> reply = handle_(line);
  if (faults_.dropAfter > 0 && lines_ >= faults_.dropAfter) {
    dropped_ = true;
    queue_.clear();
    timer_.stop();
    endlessTimer_.stop();
    emit dropRequested();
    return;
  }
  if (!reply || (faults_.silentAfter >= 0 && lines_ > faults_.silentAfter) || endless_) {
    return;  // an endless reply never ends, so nothing follows it
  }
  ++replies_;
  if (faults_.endlessFrom > 0 && replies_ >= faults_.endlessFrom) {
    endless_ = true;
    endlessTimer_.start();
    StreamEndless();
    return;
  }
  Queue(FaultyReply(line, *reply) + eol_);
}

QByteArray SimSession::FaultyReply(std::string_view line, const std::string& reply) {
  const auto due = [this](int every) { return every > 0 && replies_ % every == 0; };
  QByteArray bytes = QByteArray::fromStdString(reply);
  if (faults_.measReply && IsMeasurementQuery(line) &&
      ++measReplies_ % faults_.measReplyEvery == 0) {
    bytes = *faults_.measReply;
  }
  if (due(faults_.garbageEvery)) {
    bytes = SimGarbage(replies_);
  }
  if (due(faults_.controlEvery)) {
    bytes = SimControlCharacters(bytes);
  }
  if (due(faults_.lineFeedEvery)) {
    const qsizetype comma = bytes.indexOf(',');
    bytes.insert(comma < 0 ? bytes.size() / 2 : comma, '\n');
  }
  return bytes;
}

void SimSession::StreamEndless() {
  // Replies queued before the endless one go out first.
  if (!endless_ || dropped_ || !queue_.empty() || (backlog_ && backlog_() > kEndlessBacklog)) {
    return;
  }
  static const QByteArray kChunk = QByteArray("4.2000,0.0000,").repeated(kEndlessChunk / 14);
  write_(kChunk);
}

void SimSession::Queue(QByteArray reply) {
  const qint64 now = clock_.elapsed();
  qint64 due = std::max(now + faults_.replyDelayMs, lastDueMs_);
  const int pieces = std::clamp(faults_.splitReplies, 1, static_cast<int>(reply.size()));
  const qsizetype size = reply.size();
  for (int i = 0; i < pieces; ++i) {
    const qsizetype from = size * i / pieces;
    const qsizetype to = size * (i + 1) / pieces;
    queue_.push_back({due, reply.mid(from, to - from)});
    lastDueMs_ = due;
    due += faults_.splitDelayMs;
  }
  SendDue();
}

void SimSession::SendDue() {
  const qint64 now = clock_.elapsed();
  while (!queue_.empty() && queue_.front().dueMs <= now) {
    const QByteArray bytes = std::move(queue_.front().bytes);
    queue_.pop_front();
    write_(bytes);
  }
  if (!queue_.empty()) {
    timer_.start(static_cast<int>(std::max<qint64>(queue_.front().dueMs - now, 0)));
  }
}

}  // namespace kv
