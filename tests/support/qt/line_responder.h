#pragma once
// The load's side of a test link: splits what it receives into lines, records
// them, and answers queries from a script, at once or in timed chunks.

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QStringList>
#include <functional>

namespace kv::test {

class LineResponder : public QObject {
  Q_OBJECT

 public:
  using Writer = std::function<void(const QByteArray&)>;
  explicit LineResponder(Writer writer, QObject* parent = nullptr);

  /// `query` (without terminator) is answered with `reply` sent as it stands.
  void Reply(const QByteArray& query, const QByteArray& reply);
  /// `query` is answered with `chunks`, the first at once and each next one
  /// `gapMs` after the one before; no chunks means no answer.
  void ReplyChunks(const QByteArray& query, const QList<QByteArray>& chunks, int gapMs);

  /// Takes received bytes; complete lines are recorded and answered.
  void Feed(const QByteArray& data);
  void ResetPartialLine() { pending_.clear(); }

  /// Lines received, without CR LF.
  QStringList Lines() const { return lines_; }
  QByteArray Received() const { return received_; }

 signals:
  void lineReceived(const QString& line);

 private:
  struct Answer {
    QList<QByteArray> chunks;
    int gapMs = 0;
  };
  void SendChunks(const QList<QByteArray>& chunks, int gapMs);

  Writer writer_;
  QMap<QByteArray, Answer> script_;
  QByteArray pending_;
  QByteArray received_;
  QStringList lines_;
};

}  // namespace kv::test
