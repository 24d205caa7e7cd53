#include "text/utf8_text.h"

#include <cstddef>
#include <cstdint>

namespace kv {

namespace {

bool IsContinuation(unsigned char c) {
  return (c & 0xC0U) == 0x80U;
}

/// Length of the well-formed UTF-8 sequence at `bytes[i]`, 0 when there is
/// none (stray continuation, overlong form, surrogate, past U+10FFFF, cut).
std::size_t SequenceLength(std::string_view bytes, std::size_t i) {
  const auto at = [&](std::size_t k) { return static_cast<unsigned char>(bytes[i + k]); };
  const unsigned char lead = at(0);
  if (lead < 0x80U) {
    return 1;
  }
  std::size_t length = 0;
  unsigned char low = 0x80U;   // bounds of the second byte, which rule out
  unsigned char high = 0xBFU;  // overlong forms, surrogates and > U+10FFFF
  if (lead >= 0xC2U && lead <= 0xDFU) {
    length = 2;
  } else if (lead >= 0xE0U && lead <= 0xEFU) {
    length = 3;
    low = lead == 0xE0U ? 0xA0U : 0x80U;
    high = lead == 0xEDU ? 0x9FU : 0xBFU;
  } else if (lead >= 0xF0U && lead <= 0xF4U) {
    length = 4;
    low = lead == 0xF0U ? 0x90U : 0x80U;
    high = lead == 0xF4U ? 0x8FU : 0xBFU;
  } else {
    return 0;
  }
  if (i + length > bytes.size() || at(1) < low || at(1) > high) {
    return 0;
  }
  for (std::size_t k = 2; k < length; ++k) {
    if (!IsContinuation(at(k))) {
      return 0;
    }
  }
  return length;
}

}  // namespace

std::string Utf8OrLatin1(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t length = SequenceLength(bytes, i);
    if (length > 0) {
      out.append(bytes.substr(i, length));
      i += length;
      continue;
    }
    const auto byte = static_cast<unsigned char>(bytes[i]);
    out.push_back(static_cast<char>(0xC0U | (byte >> 6U)));
    out.push_back(static_cast<char>(0x80U | (byte & 0x3FU)));
    ++i;
  }
  return out;
}

}  // namespace kv
