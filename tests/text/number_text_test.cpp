#include "text/number_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <limits>
#include <string>

namespace kv {
namespace {

struct ReadCase {
  const char* text;
  double expected;
};

void PrintTo(const ReadCase& c, std::ostream* os) {
  *os << '"' << c.text << '"';
}

// Replies from the load: only leading blanks are skipped, the number ends at
// the first character that cannot continue it.
class ValueTest : public testing::TestWithParam<ReadCase> {};

TEST_P(ValueTest, ReadsTheLeadingNumber) {
  EXPECT_DOUBLE_EQ(Value(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ValueTest,
    testing::Values(ReadCase{"12", 12}, ReadCase{"  12.5", 12.5}, ReadCase{"\t3", 3},
                    ReadCase{"12,1.8", 12}, ReadCase{"-1.25", -1.25}, ReadCase{"+4", 4},
                    ReadCase{".5", 0.5}, ReadCase{"-.5", -0.5}, ReadCase{"5.", 5},
                    ReadCase{"1.2.3", 1.2}, ReadCase{"1E3", 1000}, ReadCase{"2.5e-1", 0.25},
                    ReadCase{"12E", 12}, ReadCase{"3Ev", 3}, ReadCase{"1E+", 1}, ReadCase{"1D3", 1},
                    ReadCase{"1 2", 1}, ReadCase{"12V", 12}, ReadCase{"", 0}, ReadCase{"   ", 0},
                    ReadCase{"-", 0}, ReadCase{"+", 0}, ReadCase{".", 0}, ReadCase{"-.", 0},
                    ReadCase{"ErrRec", 0}, ReadCase{"V12", 0}, ReadCase{"000.000", 0},
                    ReadCase{"0012.50", 12.5}));

// Editor fields: blanks anywhere are ignored and "D" is an exponent letter.
class FieldNumberTest : public testing::TestWithParam<ReadCase> {};

TEST_P(FieldNumberTest, ReadsTheLeadingNumberIgnoringBlanks) {
  EXPECT_DOUBLE_EQ(FieldNumber(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Fields, FieldNumberTest,
                         testing::Values(ReadCase{"1 000", 1000}, ReadCase{" - 2 . 5 ", -2.5},
                                         ReadCase{"1D3", 1000}, ReadCase{"1d-2", 0.01},
                                         ReadCase{"1 E 2", 100}, ReadCase{"12V", 12},
                                         ReadCase{"abc", 0}, ReadCase{"", 0},
                                         ReadCase{"1.5E+15", 1.5e15}));

// A cell read by the runner: a complete number reads in full, anything else as
// a reply would.
class ToDoubleTest : public testing::TestWithParam<ReadCase> {};

TEST_P(ToDoubleTest, ConvertsTheCell) {
  EXPECT_DOUBLE_EQ(ToDouble(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cells, ToDoubleTest,
                         testing::Values(ReadCase{" 1.5 ", 1.5}, ReadCase{"1E3", 1000},
                                         ReadCase{"1D3", 1000}, ReadCase{"+2", 2},
                                         ReadCase{"-0.25", -0.25}, ReadCase{"12V", 12},
                                         ReadCase{"1D3x", 1}, ReadCase{"1 2", 1},
                                         ReadCase{"abc", 0}, ReadCase{"", 0}));

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

struct TextCase {
  const char* field;
  const char* text;
};

void PrintTo(const TextCase& c, std::ostream* os) {
  *os << '"' << c.field << '"';
}

class NumberTextTest : public testing::TestWithParam<TextCase> {};

TEST_P(NumberTextTest, WritesTheFieldBack) {
  EXPECT_EQ(NumberText(GetParam().field), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    EditorFields, NumberTextTest,
    testing::Values(TextCase{"10", "10"}, TextCase{"0.50", "0.5"}, TextCase{".5", "0.5"},
                    TextCase{"12V", "12"}, TextCase{"", "0"}, TextCase{"abc", "0"},
                    TextCase{"1E-05", "1E-05"}, TextCase{"0.00001", "1E-05"},
                    TextCase{"1.5E+15", "1.5E+15"}, TextCase{"1500000000000000", "1.5E+15"},
                    TextCase{"999999999999999", "999999999999999"}, TextCase{"-3.250", "-3.25"},
                    TextCase{"-.5", "-0.5"}, TextCase{"2D2", "200"}, TextCase{"1 2 . 5", "12.5"},
                    TextCase{"0.0001", "0.0001"}, TextCase{"0.00027778", "0.00027778"},
                    TextCase{"-0", "0"}, TextCase{"1.23456789012345678", "1.23456789012346"},
                    TextCase{"007", "7"}));

struct FixedCase {
  const char* text;
  Fixed4 expected;
};

void PrintTo(const FixedCase& c, std::ostream* os) {
  *os << '"' << c.text << '"';
}

class ToFixed4Test : public testing::TestWithParam<FixedCase> {};

TEST_P(ToFixed4Test, RoundsTheDecimalTextHalfToEven) {
  EXPECT_EQ(ToFixed4(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cells, ToFixed4Test,
    testing::Values(FixedCase{"10", 100000}, FixedCase{"10.50", 105000},
                    FixedCase{"3600", 36000000}, FixedCase{"-2.5", -25000},
                    FixedCase{"0.00015", 2},  // binary 0.00015 is below
                    FixedCase{"0.00025", 2}, FixedCase{"0.000251", 3}, FixedCase{"0.00005", 0},
                    FixedCase{"-0.00015", -2}, FixedCase{"0.00004999", 0}, FixedCase{"1E-9", 0},
                    FixedCase{"1.5E2", 1500000}, FixedCase{" 7 ", 70000}, FixedCase{"10s", 100000},
                    FixedCase{"abc", 0}, FixedCase{"", 0},
                    FixedCase{"1E30", std::numeric_limits<std::int64_t>::max()},
                    FixedCase{"-1E30", -std::numeric_limits<std::int64_t>::max()},
                    FixedCase{"922337203685477.5807", std::numeric_limits<std::int64_t>::max()},
                    FixedCase{"922337203685477.58075", std::numeric_limits<std::int64_t>::max()},
                    FixedCase{"922337203685477.5808", std::numeric_limits<std::int64_t>::max()}));

struct IntCase {
  const char* text;
  std::int16_t expected;
};

void PrintTo(const IntCase& c, std::ostream* os) {
  *os << '"' << c.text << '"';
}

class ToInt16Test : public testing::TestWithParam<IntCase> {};

TEST_P(ToInt16Test, RoundsHalfToEvenAndClamps) {
  EXPECT_EQ(ToInt16(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cells, ToInt16Test,
                         testing::Values(IntCase{"3", 3}, IntCase{"2.5", 2}, IntCase{"3.5", 4},
                                         IntCase{"-2.5", -2}, IntCase{"-3.5", -4},
                                         IntCase{"2.5000001", 3}, IntCase{"0.5", 0},
                                         IntCase{"2.49", 2}, IntCase{"32767", 32767},
                                         IntCase{"32767.5", 32767}, IntCase{"40000", 32767},
                                         IntCase{"-32768", -32768}, IntCase{"-99999", -32768},
                                         IntCase{"1E10", 32767}, IntCase{"9", 9},
                                         IntCase{"3 steps", 3}, IntCase{"x", 0}, IntCase{"", 0}));

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(RoundHalfEven(0.5), 0.0);
  EXPECT_EQ(RoundHalfEven(1.5), 2.0);
  EXPECT_EQ(RoundHalfEven(2.5), 2.0);
  EXPECT_EQ(RoundHalfEven(-2.5), -2.0);
  EXPECT_EQ(RoundHalfEven(-3.5), -4.0);
  EXPECT_EQ(RoundHalfEven(799.4), 799.0);
  EXPECT_EQ(RoundHalfEven(799.6), 800.0);
  EXPECT_EQ(RoundHalfEven(1e300), 1e300);
}

TEST(Round8, RoundsToEightPlaces) {
  EXPECT_EQ(Round8(1.8 / 3600), 0.0005);
  EXPECT_EQ(Round8(21.6 / 3600), 0.006);
  EXPECT_EQ(Round8(1.0 / 3), 0.33333333);
  EXPECT_EQ(Round8(-2.0 / 3), -0.66666667);
  EXPECT_EQ(Round8(0.000000004), 0.0);
  EXPECT_EQ(Round8(12345.123456789), 12345.12345679);
}

}  // namespace
}  // namespace kv
