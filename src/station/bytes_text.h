#pragma once
// Text from step files and loads as Qt text for JSON and XML, which must be
// Unicode: valid UTF-8 stays as it is, any other byte is read as Latin-1, so
// a Windows step name or a stray byte in a reply keeps its character instead
// of becoming U+FFFD.

#include <QString>
#include <string>
#include <string_view>

#include "text/utf8_text.h"

namespace kv {

inline QString BytesAsText(std::string_view bytes) {
  const std::string utf8 = Utf8OrLatin1(bytes);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

}  // namespace kv
