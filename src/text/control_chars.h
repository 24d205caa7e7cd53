#pragma once
// Control characters (bytes below 0x20, and 0x7F) in text that came from a
// load or a file: a CR or LF would split a report row, an escape sequence
// would drive the operator's terminal.

#include <string>
#include <string_view>

namespace kv {

inline bool IsControlChar(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

/// `text` with every control character shown visibly ("\r", "\n", "\t",
/// "\x1B"), for printing to a terminal; everything else stays as it is.
std::string EscapeControlChars(std::string_view text);

}  // namespace kv
