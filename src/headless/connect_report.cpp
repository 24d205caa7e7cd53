#include "headless/connect_report.h"

#include <utility>

namespace kv {

void ConnectReport::OnLinkFailure(LinkFailure failure, std::string_view text,
                                  std::string_view cause) {
  if (identified_) {
    // "Lost Connect!" stays as the desktop says it; a connect failure (the
    // reconnect after a loss) names its cause.
    console_.OnLinkFailure(
        failure, cause.empty() ? std::string(text) : CannotConnectLine(text, cause), cause);
    return;
  }
  if (!held_) {
    held_ = Failure{failure, std::string(text), std::string(cause)};
  }
}

void ConnectReport::Identified() {
  identified_ = true;
  if (const std::optional<Failure> f = std::exchange(held_, std::nullopt)) {
    OnLinkFailure(f->failure, f->text, f->cause);
  }
}

std::string ConnectReport::CannotConnectLine(std::string_view text, std::string_view cause) const {
  return "cannot connect over " + link_ + ": " + std::string(cause.empty() ? text : cause);
}

std::string ConnectReport::NotIdentifiedLine() const {
  if (!held_) {
    return "connected over " + link_ + ", but the load gave no reply to \"name?\"";
  }
  if (held_->failure == LinkFailure::ConnectionLost) {
    return "connected over " + link_ + ", but the connection was lost before the load replied " +
           "to \"name?\"";
  }
  return CannotConnectLine(held_->text, held_->cause);
}

}  // namespace kv
