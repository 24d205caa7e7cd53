#include "text/number_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <limits>
#include <string>

namespace kv {
namespace {

using ReadCase = std::pair<const char*, double>;

// Replies from the load: only leading blanks are skipped, the number ends at
// the first character that cannot continue it.
TEST(NumberRead, ValueReadsTheLeadingNumberOfAReply) {
  const ReadCase cases[] = {{"12", 12},       {"  12.5", 12.5}, {"\t3", 3},     {"12,1.8", 12},
                            {"-1.25", -1.25}, {"+4", 4},        {".5", 0.5},    {"-.5", -0.5},
                            {"5.", 5},        {"1.2.3", 1.2},   {"1E3", 1000},  {"2.5e-1", 0.25},
                            {"12E", 12},      {"3Ev", 3},       {"1E+", 1},     {"1D3", 1},
                            {"1 2", 1},       {"12V", 12},      {"", 0},        {"   ", 0},
                            {"-", 0},         {"+", 0},         {".", 0},       {"-.", 0},
                            {"ErrRec", 0},    {"V12", 0},       {"000.000", 0}, {"0012.50", 12.5}};
  for (const auto& [text, expected] : cases) {
    EXPECT_DOUBLE_EQ(Value(text), expected) << '"' << text << '"';
  }
}

// Editor fields: blanks anywhere are ignored and "D" is an exponent letter.
TEST(NumberRead, FieldNumberIgnoresBlanksAndTakesD) {
  const ReadCase cases[] = {{"1 000", 1000},    {" - 2 . 5 ", -2.5}, {"1D3", 1000}, {"1d-2", 0.01},
                            {"1 E 2", 100},     {"12V", 12},         {"abc", 0},    {"", 0},
                            {"1.5E+15", 1.5e15}};
  for (const auto& [text, expected] : cases) {
    EXPECT_DOUBLE_EQ(FieldNumber(text), expected) << '"' << text << '"';
  }
}

// A cell read by the runner: a complete number reads in full, anything else as
// a reply would.
TEST(NumberRead, ToDoubleConvertsACell) {
  const ReadCase cases[] = {{" 1.5 ", 1.5},   {"1E3", 1000}, {"1D3", 1000}, {"+2", 2},
                            {"-0.25", -0.25}, {"12V", 12},   {"1D3x", 1},   {"1 2", 1},
                            {"abc", 0},       {"", 0}};
  for (const auto& [text, expected] : cases) {
    EXPECT_DOUBLE_EQ(ToDouble(text), expected) << '"' << text << '"';
  }
}

TEST(NumberRead, OutOfRangeStaysFinite) {
  EXPECT_EQ(Value("1E400"), std::numeric_limits<double>::max());
  EXPECT_EQ(Value("-1E99999999999999999999"), -std::numeric_limits<double>::max());
  EXPECT_EQ(Value("1E-400"), 0.0);
  EXPECT_EQ(Value(std::string(400, '9')), std::numeric_limits<double>::max());
  EXPECT_DOUBLE_EQ(Value("0." + std::string(500, '0') + "1E501"), 1.0);
}

TEST(NumberRead, IgnoresTheLocaleDecimalComma) {
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = old != nullptr ? old : "C";
  // A comma locale may be missing on a build host; the C locale then stays and
  // the test still checks the plain case.
  std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  EXPECT_DOUBLE_EQ(Value("1.5"), 1.5);
  EXPECT_EQ(FormatNumber(1.5), "1.5");
  EXPECT_DOUBLE_EQ(Value("1,5"), 1.0);
  std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(NumberText, WritesTheFieldBack) {
  using Case = std::pair<const char*, const char*>;
  const Case cases[] = {
      {"0.50", "0.5"},     {".5", "0.5"},  {"12V", "12"},       {"", "0"},   {"0.00001", "1E-05"},
      {"-3.250", "-3.25"}, {"2D2", "200"}, {"1 2 . 5", "12.5"}, {"-0", "0"}, {"007", "7"}};
  for (const auto& [field, text] : cases) {
    EXPECT_EQ(NumberText(field), text) << '"' << field << '"';
  }
}

TEST(NumberText, ToFixed4RoundsTheDecimalTextHalfToEven) {
  constexpr Fixed4 kMax = std::numeric_limits<std::int64_t>::max();
  // Binary 0.00015 is below the half, the decimal text is not.
  const std::pair<const char*, Fixed4> cases[] = {
      {"10", 100000}, {"10.50", 105000},  {"3600", 36000000}, {"-2.5", -25000}, {"0.00015", 2},
      {"0.00025", 2}, {"0.000251", 3},    {"0.00005", 0},     {"-0.00015", -2}, {"0.00004999", 0},
      {"1E-9", 0},    {"1.5E2", 1500000}, {" 7 ", 70000},     {"10s", 100000},  {"abc", 0},
      {"", 0},        {"1E30", kMax},     {"-1E30", -kMax}};
  for (const char* limit :
       {"922337203685477.5807", "922337203685477.58075", "922337203685477.5808"}) {
    EXPECT_EQ(ToFixed4(limit), kMax) << limit;
  }
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(ToFixed4(text), expected) << '"' << text << '"';
  }
}

TEST(NumberText, ToInt16RoundsHalfToEvenAndClamps) {
  const std::pair<const char*, std::int16_t> cases[] = {
      {"3", 3},           {"2.5", 2},       {"3.5", 4},
      {"-2.5", -2},       {"-3.5", -4},     {"2.5000001", 3},
      {"0.5", 0},         {"2.49", 2},      {"32767", 32767},
      {"32767.5", 32767}, {"40000", 32767}, {"-32768", -32768},
      {"-99999", -32768}, {"1E10", 32767},  {"9", 9},
      {"3 steps", 3},     {"x", 0},         {"", 0}};
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(ToInt16(text), expected) << '"' << text << '"';
  }
}

TEST(Rounding, HalvesGoToTheEvenNeighbourAndEightPlacesStay) {
  const std::pair<double, double> halfEven[] = {{0.5, 0},     {1.5, 2},      {2.5, 2},
                                                {-2.5, -2},   {-3.5, -4},    {799.4, 799},
                                                {799.6, 800}, {1e300, 1e300}};
  for (const auto& [in, out] : halfEven) {
    EXPECT_EQ(RoundHalfEven(in), out) << in;
  }
  const std::pair<double, double> eight[] = {
      {1.8 / 3600, 0.0005},    {21.6 / 3600, 0.006}, {1.0 / 3, 0.33333333},
      {-2.0 / 3, -0.66666667}, {0.000000004, 0.0},   {12345.123456789, 12345.12345679}};
  for (const auto& [in, out] : eight) {
    EXPECT_EQ(Round8(in), out) << in;
  }
}

}  // namespace
}  // namespace kv
