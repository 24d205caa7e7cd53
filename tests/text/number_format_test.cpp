#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <span>
#include <string>

#include "text/number_text.h"

namespace kv {
namespace {

TEST(FormatNumber, WritesTheGeneralFormat) {
  using Case = std::pair<double, const char*>;
  using Limits = std::numeric_limits<double>;
  const Case plain[] = {{0, "0"},           {-0.0, "0"},          {10, "10"},
                        {0.5, "0.5"},       {-0.5, "-0.5"},       {3.0, "3"},
                        {10.5, "10.5"},     {21.6, "21.6"},       {0.0001, "0.0001"},
                        {0.00001, "1E-05"}, {-0.00001, "-1E-05"}, {1.5e15, "1.5E+15"},
                        {1e15, "1E+15"},    {1e100, "1E+100"},    {1e-300, "1E-300"}};
  // Up to fifteen significant digits: accumulated sums print as the operator
  // expects, not their binary noise.
  const Case digits[] = {{0.00027778, "0.00027778"},
                         {0.000012345, "1.2345E-05"},
                         {999999999999999.0, "999999999999999"},
                         {123456789012.5, "123456789012.5"},
                         {2.0 / 3, "0.666666666666667"},
                         {1.0 / 3e6, "3.33333333333333E-07"},
                         {0.1 + 0.2, "0.3"},
                         {0.0005 + 0.0005, "0.001"},
                         {0.00009999999999999999, "0.0001"},
                         {9.9999999999999999e14, "1E+15"},
                         {Limits::max(), "1.79769313486232E+308"},
                         {Limits::quiet_NaN(), "NaN"},
                         {-Limits::infinity(), "-Inf"}};
  for (const auto& table : {std::span<const Case>(plain), std::span<const Case>(digits)}) {
    for (const auto& [value, text] : table) {
      EXPECT_EQ(FormatNumber(value), text);
    }
  }
}

TEST(FormatFixed4, WritesTheShortestTextAndRoundTrips) {
  using Case = std::pair<Fixed4, const char*>;
  const Case cases[] = {{105000, "10.5"}, {30000, "3"},       {0, "0"},
                        {1, "0.0001"},    {-5000, "-0.5"},    {-10000, "-1"},
                        {-2500, "-0.25"}, {36000000, "3600"}, {12345678, "1234.5678"},
                        {1230, "0.123"}};
  for (const auto& [value, text] : cases) {
    EXPECT_EQ(FormatFixed4(value), text);
    EXPECT_EQ(FormatFixed4(ToFixed4(text)), text);
  }
  // The ends of the range stay out of the round trip: the most negative value
  // has no positive counterpart.
  EXPECT_EQ(FormatFixed4(std::numeric_limits<std::int64_t>::max()), "922337203685477.5807");
  EXPECT_EQ(FormatFixed4(std::numeric_limits<std::int64_t>::min()), "-922337203685477.5808");
}

}  // namespace
}  // namespace kv
