#pragma once
// The serial side of the simulator: a pseudo-terminal whose slave path a
// serial client opens like any port. The line is raw (no echo, no CR/LF
// translation), as a real serial line is.

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;

namespace kv {

class PtyEndpoint : public QObject {
  Q_OBJECT
 public:
  explicit PtyEndpoint(QObject* parent = nullptr);
  ~PtyEndpoint() override;

  /// Opens a new pseudo-terminal; false with `error` set when the system has none.
  bool Open(QString* error);
  /// The device path a serial client opens, e.g. /dev/pts/3.
  QString Path() const { return path_; }
  bool IsOpen() const { return master_ >= 0; }
  void Write(const QByteArray& bytes);
  /// Hangs up: the client sees the port go away.
  void Close();

 signals:
  void received(const QByteArray& bytes);

 private:
  void ReadAvailable();

  int master_ = -1;
  // Held open so that the master does not report a hang-up while no client
  // has the port open.
  int slave_ = -1;
  QString path_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace kv
