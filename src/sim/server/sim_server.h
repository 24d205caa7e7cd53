#pragma once
// kvload-sim's engine: one simulated load served over TCP and over a
// pseudo-terminal, its model time following the real clock (optionally sped
// up), every line written to a log file as it comes.

#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>

#include "sim/server/sim_faults.h"
#include "sim/simulated_load.h"

class QTcpServer;

namespace kv {

class PtyEndpoint;

struct SimServerConfig {
  SimLoadConfig load;
  SimFaults faults;
  /// Model seconds per real second.
  double speed = 1.0;
  /// Reply terminators; empty picks CR LF on TCP and LF on the serial line.
  QByteArray replyEol;
  /// Command log file; empty for none.
  QString logFile;
  /// Every line received, with the wall-clock time it arrived (ms since the
  /// epoch), written at once; empty for none.
  QString rxLogFile;
  /// Every log entry also goes to standard error (rejections always do).
  bool verbose = false;
};

class SimServer : public QObject {
  Q_OBJECT
 public:
  explicit SimServer(SimServerConfig config, QObject* parent = nullptr);
  ~SimServer() override;

  /// Opens the log files (if any); false with `error` when one cannot be written.
  bool OpenLog(QString* error);
  /// Listens on `address`:`port` (0 picks a free port).
  bool ListenTcp(const QHostAddress& address, quint16 port, QString* error);
  bool OpenPty(QString* error);

  QHostAddress TcpAddress() const;
  /// The port actually listened on; 0 when not listening.
  quint16 TcpPort() const;
  /// The serial device path; empty when no pseudo-terminal is open.
  QString PtyPath() const;
  /// "kvload-sim ready tcp=127.0.0.1:4001 serial=/dev/pts/3" (the parts in use).
  QString ReadyLine() const;

  SimulatedLoad& Load() { return load_; }
  std::int64_t ModelMs() const;
  /// Writes what is pending to the log and closes it, with a summary.
  void Finish();

 signals:
  /// A line arrived and was served (for tests).
  void lineServed(const QString& line);

 private:
  std::optional<std::string> Serve(std::string_view line);
  void AcceptConnections();
  void WriteLog(const SimLogEntry& entry);
  void WriteRxLog(std::string_view line);

  SimServerConfig config_;
  SimulatedLoad load_;
  QElapsedTimer clock_;
  QFile log_;
  QFile rxLog_;
  QTcpServer* tcp_ = nullptr;
  PtyEndpoint* pty_ = nullptr;
};

}  // namespace kv
