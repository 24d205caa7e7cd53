#include "sim/server/sim_session.h"

#include <algorithm>

namespace kv {
namespace {

// A line longer than any the load knows is cut here rather than buffered for ever.
constexpr qsizetype kMaxLine = 4096;

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
    emit dropRequested();
    return;
  }
  if (!reply || (faults_.silentAfter >= 0 && lines_ > faults_.silentAfter)) {
    return;
  }
  ++replies_;
  QByteArray bytes = (faults_.garbageEvery > 0 && replies_ % faults_.garbageEvery == 0)
                         ? SimGarbage(replies_)
                         : QByteArray::fromStdString(*reply);
  Queue(bytes + eol_);
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
