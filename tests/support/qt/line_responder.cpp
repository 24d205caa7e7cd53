#include "support/qt/line_responder.h"

#include <QTimer>
#include <utility>

namespace kv::test {

LineResponder::LineResponder(Writer writer, QObject* parent)
    : QObject(parent), writer_(std::move(writer)) {}

void LineResponder::Reply(const QByteArray& query, const QByteArray& reply) {
  script_[query] = Answer{{reply}, 0};
}

void LineResponder::ReplyChunks(const QByteArray& query, const QList<QByteArray>& chunks,
                                int gapMs) {
  script_[query] = Answer{chunks, gapMs};
}

void LineResponder::Feed(const QByteArray& data) {
  received_ += data;
  pending_ += data;
  qsizetype lf = 0;
  while ((lf = pending_.indexOf('\n')) >= 0) {
    QByteArray line = pending_.left(lf);
    pending_.remove(0, lf + 1);
    if (line.endsWith('\r')) {
      line.chop(1);
    }
    lines_.append(QString::fromLatin1(line));
    const auto it = script_.constFind(line);
    if (it != script_.constEnd()) {
      SendChunks(it->chunks, it->gapMs);
    }
    emit lineReceived(QString::fromLatin1(line));
  }
}

void LineResponder::SendChunks(const QList<QByteArray>& chunks, int gapMs) {
  if (chunks.isEmpty()) {
    return;
  }
  writer_(chunks.first());
  if (chunks.size() > 1) {
    const QList<QByteArray> rest = chunks.mid(1);
    QTimer::singleShot(gapMs, Qt::PreciseTimer, this,
                       [this, rest, gapMs] { SendChunks(rest, gapMs); });
  }
}

}  // namespace kv::test
