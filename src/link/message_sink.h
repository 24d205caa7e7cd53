#pragma once
// Where the link and the station put the notices an operator must see
// ("Connect Fail!", "Test Finished"). The desktop program shows each in a box
// with an OK button only; the headless runner prints them.

#include <string>
#include <string_view>

namespace kv {

inline constexpr std::string_view kCheckComPortMessage = "Please check COM Port is correct?";
inline constexpr std::string_view kConnectFailMessage = "Connect Fail!";
inline constexpr std::string_view kLostConnectMessage = "Lost Connect!";

/// Why the link could not reach the load.
enum class LinkFailure {
  PortUnavailable,    // the serial port cannot be opened or configured
  ConnectFailed,      // the LAN connection was not made within the bound
  ConnectionLost,     // a LAN write found no connection
  DriverUnavailable,  // no GPIB driver library could be loaded
};

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  /// May block until the operator acknowledges (a modal box keeps the event
  /// loop running), so callers must expect other handlers to run inside it.
  virtual void ShowMessage(std::string_view text) = 0;
  /// A transport failed; `text` is its message, `cause` what the system said
  /// of it ("refused (Connection refused)"), "" when it said nothing more.
  /// Consumers that count or react to failures override this rather than
  /// comparing message texts.
  virtual void OnLinkFailure(LinkFailure /*failure*/, std::string_view text,
                             std::string_view cause) {
    ShowMessage(cause.empty() ? std::string(text) : std::string(text) + "\n" + std::string(cause));
  }
};

}  // namespace kv
