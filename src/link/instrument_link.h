#pragma once
// The only path between the program and the load. Builders, the runner, Run
// and Stop and the identification see nothing else of the transports.

#include <cstdint>
#include <string>
#include <string_view>

namespace kv {

/// The exact reply text a read gives when no usable reply arrived.
inline constexpr std::string_view kErrRec = "ErrRec";

/// How long a read waits for a reply: the serial read, the LAN read and the
/// runner's LAN measurement wait all give up after one second.
inline constexpr int kReplyWaitMs = 1000;

/// Transport selector values of ConnectMode; any other value does nothing.
enum ConnectModeValue : std::int16_t {
  kModeSerial = 0,
  kModeGpib = 1,
  kModeLan = 2,
};

class InstrumentLink {
 public:
  virtual ~InstrumentLink() = default;

  /// Opens the transport of `mode` (callers pass ConnectMode()); a serial or
  /// LAN open writes "REM" to the load.
  virtual void OpenInstrument(std::int16_t mode) = 0;
  virtual void CloseInstrument() = 0;
  /// Sends one line; the transport adds its terminator. Reports nothing.
  virtual void WriteInstrument(std::string_view command) = 0;
  /// One reply line without its terminator, "ErrRec" when none came, "" when
  /// the port is closed or the mode is none of 0, 1, 2.
  virtual std::string ReadInstrument() = 0;
  virtual std::int16_t ConnectMode() const = 0;

  /// LAN measurement poll: waits (bounded by `timeoutMs`) until RecvBuf is not
  /// empty and returns it without emptying it; "" when the bound passed.
  virtual std::string WaitRecvBuf(int timeoutMs) = 0;
  /// Empties RecvBuf (the poll takes a reply it used).
  virtual void ClearRecvBuf() = 0;

  /// Whether the latest WriteInstrument handed its line to a working link. A
  /// write that found no connection, or one the port or driver refused, did
  /// not: the load never saw it. Callers that must know (the off line) ask.
  virtual bool LastWriteDelivered() const { return true; }

  /// After the link was lost: one attempt, within `timeoutMs`, to open it
  /// again as OpenInstrument(ConnectMode()) does. Whether it is open now; a
  /// link that cannot tell says yes.
  virtual bool Reconnect(int /*timeoutMs*/) {
    OpenInstrument(ConnectMode());
    return true;
  }
};

/// Removes a trailing CR LF, else a trailing LF; anything else stays.
std::string TrimReply(std::string_view received);

}  // namespace kv
