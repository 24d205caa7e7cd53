#pragma once
// Every value of LinkSettings that opens a connection or lands in the file,
// compared and printed at once.

#include <tuple>

#include "link/link_settings.h"

namespace kv::test {

inline auto ConnectionValues(const LinkSettings& s) {
  return std::make_tuple(s.connectMode, s.baudRate, s.handShake, s.comPort, s.boardNo, s.address,
                         s.lanIp, s.lanPort, s.defaultPath);
}

}  // namespace kv::test
