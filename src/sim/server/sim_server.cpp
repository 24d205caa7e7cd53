#include "sim/server/sim_server.h"

#include <QDateTime>
#include <QTcpServer>
#include <QTcpSocket>
#include <cstdio>

#include "sim/server/pty_endpoint.h"
#include "sim/server/sim_session.h"

namespace kv {

SimServer::SimServer(SimServerConfig config, QObject* parent)
    : QObject(parent), config_(std::move(config)), load_(config_.load) {
  clock_.start();
  load_.SetLogListener([this](const SimLogEntry& e) { WriteLog(e); });
}

SimServer::~SimServer() {
  Finish();
}

bool SimServer::OpenLog(QString* error) {
  for (auto [file, name] : {std::pair{&log_, config_.logFile}, {&rxLog_, config_.rxLogFile}}) {
    if (name.isEmpty()) {
      continue;
    }
    file->setFileName(name);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
      *error = QStringLiteral("cannot write the log %1: %2").arg(name, file->errorString());
      return false;
    }
  }
  return true;
}

void SimServer::WriteRxLog(std::string_view line) {
  if (!rxLog_.isOpen()) {
    return;
  }
  // One record a line whatever the load was sent: control bytes and the
  // backslash are written as \xNN.
  QByteArray record = QByteArray::number(QDateTime::currentMSecsSinceEpoch()) + '\t';
  for (const char c : line) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f || c == '\\') {
      record += "\\x" + QByteArray::number(byte, 16).rightJustified(2, '0');
    } else {
      record += c;
    }
  }
  record += '\n';
  rxLog_.write(record);
}

std::int64_t SimServer::ModelMs() const {
  return static_cast<std::int64_t>(static_cast<double>(clock_.elapsed()) * config_.speed);
}

void SimServer::WriteLog(const SimLogEntry& entry) {
  const bool rejected = entry.kind == SimLogKind::Rejected;
  if (!log_.isOpen() && !rejected && !config_.verbose) {
    return;
  }
  const std::string text = FormatSimLogEntry(entry) + "\n";
  if (log_.isOpen()) {
    log_.write(text.data(), static_cast<qint64>(text.size()));
  }
  if (rejected || config_.verbose) {
    std::fprintf(stderr, "kvload-sim: %s", text.c_str());
    std::fflush(stderr);
  }
}

std::optional<std::string> SimServer::Serve(std::string_view line) {
  WriteRxLog(line);
  std::optional<std::string> reply = load_.HandleLine(line, ModelMs());
  emit lineServed(QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size())));
  return reply;
}

bool SimServer::ListenTcp(const QHostAddress& address, quint16 port, QString* error) {
  if (tcp_ == nullptr) {
    tcp_ = new QTcpServer(this);
    connect(tcp_, &QTcpServer::newConnection, this, [this] { AcceptConnections(); });
  }
  if (!tcp_->listen(address, port)) {
    *error = QStringLiteral("cannot listen on %1:%2: %3")
                 .arg(address.toString())
                 .arg(port)
                 .arg(tcp_->errorString());
    return false;
  }
  return true;
}

void SimServer::AcceptConnections() {
  while (QTcpSocket* socket = tcp_->nextPendingConnection()) {
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    const QByteArray eol = config_.replyEol.isEmpty() ? QByteArray("\r\n") : config_.replyEol;
    auto* session = new SimSession([this](std::string_view line) { return Serve(line); },
                                   [socket](const QByteArray& bytes) {
                                     socket->write(bytes);
                                     socket->flush();
                                   },
                                   eol, config_.faults, socket);
    session->SetBacklog([socket] { return socket->bytesToWrite(); });
    connect(socket, &QTcpSocket::readyRead, session,
            [socket, session] { session->Feed(socket->readAll()); });
    connect(
        session, &SimSession::dropRequested, socket,
        [this, socket] {
          socket->abort();
          if (config_.faults.stayAway) {
            tcp_->close();
          }
        },
        Qt::QueuedConnection);
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
  }
}

bool SimServer::OpenPty(QString* error) {
  if (pty_ == nullptr) {
    pty_ = new PtyEndpoint(this);
  }
  if (!pty_->Open(error)) {
    return false;
  }
  const QByteArray eol = config_.replyEol.isEmpty() ? QByteArray("\n") : config_.replyEol;
  PtyEndpoint* pty = pty_;
  auto* session = new SimSession([this](std::string_view line) { return Serve(line); },
                                 [pty](const QByteArray& bytes) { pty->Write(bytes); }, eol,
                                 config_.faults, pty_);
  connect(pty_, &PtyEndpoint::received, session, &SimSession::Feed);
  connect(
      session, &SimSession::dropRequested, pty_, [pty] { pty->Close(); }, Qt::QueuedConnection);
  return true;
}

QHostAddress SimServer::TcpAddress() const {
  return tcp_ != nullptr && tcp_->isListening() ? tcp_->serverAddress() : QHostAddress();
}

quint16 SimServer::TcpPort() const {
  return tcp_ != nullptr && tcp_->isListening() ? tcp_->serverPort() : 0;
}

QString SimServer::PtyPath() const {
  return pty_ != nullptr && pty_->IsOpen() ? pty_->Path() : QString();
}

QString SimServer::ReadyLine() const {
  QString line = QStringLiteral("kvload-sim ready");
  if (TcpPort() != 0) {
    line += QStringLiteral(" tcp=%1:%2").arg(TcpAddress().toString()).arg(TcpPort());
  }
  if (!PtyPath().isEmpty()) {
    line += QStringLiteral(" serial=%1").arg(PtyPath());
  }
  return line;
}

void SimServer::Finish() {
  if (log_.isOpen()) {
    log_.flush();
    log_.close();
  }
  rxLog_.close();
}

}  // namespace kv
