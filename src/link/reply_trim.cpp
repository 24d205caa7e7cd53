#include "link/instrument_link.h"

namespace kv {

std::string TrimReply(std::string_view received) {
  if (received.size() >= 2 && received.substr(received.size() - 2) == "\r\n") {
    received.remove_suffix(2);
  } else if (!received.empty() && received.back() == '\n') {
    received.remove_suffix(1);
  }
  return std::string(received);
}

}  // namespace kv
