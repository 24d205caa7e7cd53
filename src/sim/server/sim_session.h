#pragma once
// One client of the simulator (a TCP connection or the serial line): cuts the
// byte stream into lines, hands them to the load and sends the replies back,
// with whatever faults it was asked to show.

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "sim/server/sim_faults.h"

namespace kv {

class SimSession : public QObject {
  Q_OBJECT
 public:
  using LineHandler = std::function<std::optional<std::string>(std::string_view)>;
  using Writer = std::function<void(const QByteArray&)>;

  /// `handle` serves one line; `write` puts bytes on the wire; `eol` ends replies.
  SimSession(LineHandler handle, Writer write, QByteArray eol, const SimFaults& faults,
             QObject* parent = nullptr);

  void Feed(const QByteArray& bytes);
  int Lines() const { return lines_; }
  /// How many bytes the connection still holds unsent; the endless reply
  /// waits while it is large, so a client that stops reading costs no memory.
  void SetBacklog(std::function<qint64()> backlog) { backlog_ = std::move(backlog); }

 signals:
  /// The session wants its connection closed (the drop fault).
  void dropRequested();

 private:
  void HandleLine(std::string_view line);
  QByteArray FaultyReply(std::string_view line, const std::string& reply);
  void Queue(QByteArray reply);
  void SendDue();
  void StreamEndless();

  LineHandler handle_;
  Writer write_;
  QByteArray eol_;
  SimFaults faults_;
  QByteArray pending_;
  int lines_ = 0;
  int replies_ = 0;
  int measReplies_ = 0;
  bool dropped_ = false;
  bool endless_ = false;
  std::function<qint64()> backlog_;
  QTimer endlessTimer_;

  struct Outgoing {
    qint64 dueMs;
    QByteArray bytes;
  };
  std::deque<Outgoing> queue_;
  QTimer timer_;
  QElapsedTimer clock_;
  qint64 lastDueMs_ = 0;
};

}  // namespace kv
