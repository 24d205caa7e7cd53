#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "text/number_text.h"

namespace kv {
namespace {

struct FormatCase {
  double value;
  const char* text;
};

void PrintTo(const FormatCase& c, std::ostream* os) {
  *os << c.text;
}

class FormatNumberTest : public testing::TestWithParam<FormatCase> {};

TEST_P(FormatNumberTest, WritesTheGeneralFormat) {
  EXPECT_EQ(FormatNumber(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Values, FormatNumberTest,
    testing::Values(FormatCase{0, "0"}, FormatCase{-0.0, "0"}, FormatCase{10, "10"},
                    FormatCase{0.5, "0.5"}, FormatCase{-0.5, "-0.5"}, FormatCase{3.0, "3"},
                    FormatCase{10.5, "10.5"}, FormatCase{21.6, "21.6"},
                    FormatCase{0.0001, "0.0001"}, FormatCase{0.00027778, "0.00027778"},
                    FormatCase{0.00001, "1E-05"}, FormatCase{-0.00001, "-1E-05"},
                    FormatCase{0.000012345, "1.2345E-05"}, FormatCase{1.5e15, "1.5E+15"},
                    FormatCase{1e15, "1E+15"}, FormatCase{999999999999999.0, "999999999999999"},
                    FormatCase{123456789012.5, "123456789012.5"}, FormatCase{1e100, "1E+100"},
                    FormatCase{1e-300, "1E-300"}, FormatCase{2.0 / 3, "0.666666666666667"},
                    FormatCase{1.0 / 3e6, "3.33333333333333E-07"},
                    // Accumulated sums print as the operator expects, not their binary noise.
                    FormatCase{0.1 + 0.2, "0.3"}, FormatCase{0.0005 + 0.0005, "0.001"},
                    FormatCase{0.00009999999999999999, "0.0001"},
                    FormatCase{9.9999999999999999e14, "1E+15"},
                    FormatCase{std::numeric_limits<double>::max(), "1.79769313486232E+308"},
                    FormatCase{std::numeric_limits<double>::quiet_NaN(), "NaN"},
                    FormatCase{-std::numeric_limits<double>::infinity(), "-Inf"}));

TEST(FormatNumber, ShortSumsOfIncrementsStayClean) {
  double ah = 0;
  double wh = 0;
  for (int i = 0; i < 10; ++i) {
    ah += Round8(1.8 / 3600);
    wh += Round8(12 * 1.8 / 3600);
  }
  EXPECT_EQ(FormatNumber(ah), "0.005");
  EXPECT_EQ(FormatNumber(wh), "0.06");
}

TEST(FormatFixed4, WritesTheShortestTextAndRoundTrips) {
  const std::pair<Fixed4, const char*> cases[] = {
      {105000, "10.5"},
      {30000, "3"},
      {0, "0"},
      {1, "0.0001"},
      {-5000, "-0.5"},
      {-10000, "-1"},
      {-2500, "-0.25"},
      {36000000, "3600"},
      {12345678, "1234.5678"},
      {1230, "0.123"},
      {std::numeric_limits<std::int64_t>::max(), "922337203685477.5807"},
      {std::numeric_limits<std::int64_t>::min(), "-922337203685477.5808"}};
  for (const auto& [value, text] : cases) {
    EXPECT_EQ(FormatFixed4(value), text);
    if (value != std::numeric_limits<std::int64_t>::min()) {
      EXPECT_EQ(FormatFixed4(ToFixed4(text)), text);
    }
  }
}

}  // namespace
}  // namespace kv
