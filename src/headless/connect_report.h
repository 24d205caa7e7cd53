#pragma once
// How kvload-run says that it could not reach the load: one line naming the
// cause (refused, unreachable, timed out, no such host, a port that cannot be
// opened, or a load that is connected but silent) instead of "Connect Fail!"
// followed by the "Lost Connect!" of every write that could not go out.

#include <optional>
#include <string>
#include <string_view>

#include "headless/headless_console.h"
#include "link/message_sink.h"

namespace kv {

/// Stands between the link and the console. Until the load is identified the
/// link's failures are held: the first one is the cause, and the writes after
/// it cannot tell anything new. Afterwards each goes to the console, a
/// connect failure as the line that names its cause.
class ConnectReport : public MessageSink {
 public:
  /// `console` must outlive the report.
  explicit ConnectReport(HeadlessConsole& console) : console_(console) {}

  /// The link as the lines name it: "LAN 127.0.0.1:4001".
  void SetLink(std::string description) { link_ = std::move(description); }

  void ShowMessage(std::string_view text) override { console_.ShowMessage(text); }
  void OnLinkFailure(LinkFailure failure, std::string_view text, std::string_view cause) override;

  /// The load answered "name?": a failure held until now was overcome and is
  /// passed on (so that it still counts), and nothing is held from now on.
  void Identified();
  /// Why the load gave no model text: the failure that kept it out of reach,
  /// or a load that is connected but silent.
  std::string NotIdentifiedLine() const;

 private:
  struct Failure {
    LinkFailure failure;
    std::string text;
    std::string cause;
  };
  std::string CannotConnectLine(std::string_view text, std::string_view cause) const;

  HeadlessConsole& console_;
  std::string link_;
  bool identified_ = false;
  std::optional<Failure> held_;
};

}  // namespace kv
