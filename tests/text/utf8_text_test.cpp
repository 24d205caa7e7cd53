#include "text/utf8_text.h"

#include <gtest/gtest.h>

#include <string>

namespace kv {
namespace {

TEST(Utf8OrLatin1, KeepsUtf8AndReadsEveryOtherByteAsLatin1) {
  const std::pair<std::string, std::string> cases[] = {
      {"12.5,1", "12.5,1"},
      {"Entladung\xc3\xa4", "Entladung\xc3\xa4"},  // UTF-8 stays
      {"Entladung\xe4", "Entladung\xc3\xa4"},      // Latin-1 becomes it
      {"\xe2\x82\xac \xf0\x9f\x94\x8b", "\xe2\x82\xac \xf0\x9f\x94\x8b"},
      {"\xe2\x82", "\xc3\xa2\xc2\x82"},                          // cut sequence
      {"\xc0\xaf", "\xc3\x80\xc2\xaf"},                          // overlong "/"
      {"\xed\xa0\x80", "\xc3\xad\xc2\xa0\xc2\x80"},              // surrogate
      {"\xf4\x90\x80\x80", "\xc3\xb4\xc2\x90\xc2\x80\xc2\x80"},  // past U+10FFFF
      {"\x80\xff", "\xc2\x80\xc3\xbf"},
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const auto& [in, out] : cases) {
    EXPECT_EQ(Utf8OrLatin1(in), out) << in;
  }
}

}  // namespace
}  // namespace kv
