#include "base/errno_text.h"

#include <system_error>

namespace kv {

std::string ErrnoText(int err) {
  return err != 0 ? std::generic_category().message(err) : std::string("unknown error");
}

}  // namespace kv
