#pragma once
// The text of an errno value.

#include <string>

namespace kv {

/// The system's text for `err`; "unknown error" for 0 (a call that failed
/// without saying why).
std::string ErrnoText(int err);

}  // namespace kv
