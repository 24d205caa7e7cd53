// The number conversions on arbitrary text and on arbitrary doubles: no
// conversion overflows, and what one writes the others read back unchanged.

#include <cmath>

#include "fuzz/fuzz_support.h"
#include "text/decimal_number.h"
#include "text/number_text.h"

void kv::fuzz::FuzzOne(FuzzedDataProvider& in) {
  const double number = in.ConsumeFloatingPoint<double>();
  const std::string text = in.ConsumeRemainingBytesAsString();

  for (const NumberSyntax syntax : {NumberSyntax{}, NumberSyntax{true, true}}) {
    DecimalNumber scanned;
    Require(ScanNumber(text, syntax, scanned) <= text.size(), "a number ends inside its text");
    Require(std::isfinite(scanned.ToDouble()), "a scanned number is finite");
    static_cast<void>(scanned.ToScaled(4));
    static_cast<void>(scanned.ToScaled(0));
  }
  Require(std::isfinite(FieldNumber(text)), "a field's number is finite");
  Require(std::isfinite(ToDouble(text)), "a cell's number is finite");
  static_cast<void>(ToInt16(text));
  const std::string shown = NumberText(text);
  Require(NumberText(shown) == shown, "a field written back reads as itself");
  const Fixed4 fixed = ToFixed4(text);
  Require(ToFixed4(FormatFixed4(fixed)) == fixed, "a fixed-point text reads back");

  if (std::isfinite(number)) {
    const std::string formatted = FormatNumber(number);
    Require(FormatNumber(FieldNumber(formatted)) == formatted,
            "a formatted number reads back to the same text");
    Require(std::isfinite(RoundHalfEven(number)), "rounding stays finite");
    Require(std::isfinite(Round8(number)), "rounding to 8 places stays finite");
    Require(Round8(Round8(number)) == Round8(number), "rounding to 8 places is stable");
  }
}
