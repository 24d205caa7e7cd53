// Windows has no pseudo-terminals: kvload-sim serves serial clients on POSIX
// systems only, and TCP everywhere.
#include "sim/server/pty_endpoint.h"

namespace kv {

PtyEndpoint::PtyEndpoint(QObject* parent) : QObject(parent) {}

PtyEndpoint::~PtyEndpoint() = default;

bool PtyEndpoint::Open(QString* error) {
  *error = QStringLiteral("no pseudo-terminal on Windows: serve the load over TCP (--port)");
  return false;
}

void PtyEndpoint::Write(const QByteArray& /*bytes*/) {}

void PtyEndpoint::Close() {}

void PtyEndpoint::ReadAvailable() {}

}  // namespace kv
