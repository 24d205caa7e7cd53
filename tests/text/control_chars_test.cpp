#include "text/control_chars.h"

#include <gtest/gtest.h>

#include <string>

namespace kv {
namespace {

TEST(ControlChars, EscapedVisiblyForTheTerminal) {
  const std::pair<std::string, std::string> cases[] = {
      {"12.5,1", "12.5,1"},
      {"a\r\nb", "a\\r\\nb"},
      {"\t", "\\t"},
      {std::string("\0\x1b[2J", 5), "\\x00\\x1B[2J"},
      {"\x1f\x7f ~", "\\x1F\\x7F ~"},
      {"gr\xc3\xbc\xc3\x9f", "gr\xc3\xbc\xc3\x9f"},  // UTF-8 stays readable
  };
  for (const auto& [in, out] : cases) {
    EXPECT_EQ(EscapeControlChars(in), out);
  }
}

}  // namespace
}  // namespace kv
