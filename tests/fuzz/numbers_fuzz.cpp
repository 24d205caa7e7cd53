// The number conversions on arbitrary text and on arbitrary doubles: no
// conversion overflows, and what one writes the others read back unchanged.

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "text/decimal_number.h"
#include "text/number_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kv;
  FuzzedDataProvider in(data, size);
  const double number = in.ConsumeFloatingPoint<double>();
  const std::string text = in.ConsumeRemainingBytesAsString();

  for (const NumberSyntax syntax : {NumberSyntax{}, NumberSyntax{true, true}}) {
    DecimalNumber scanned;
    const std::size_t end = ScanNumber(text, syntax, scanned);
    fuzz::Require(end <= text.size(), "a number ends inside its text");
    fuzz::Require(std::isfinite(scanned.ToDouble()), "a scanned number is finite");
    static_cast<void>(scanned.ToScaled(4));
    static_cast<void>(scanned.ToScaled(0));
  }
  fuzz::Require(std::isfinite(FieldNumber(text)), "a field's number is finite");
  fuzz::Require(std::isfinite(ToDouble(text)), "a cell's number is finite");
  static_cast<void>(ToInt16(text));

  const std::string shown = NumberText(text);
  fuzz::Require(NumberText(shown) == shown, "a field written back reads as itself");

  const Fixed4 fixed = ToFixed4(text);
  fuzz::Require(ToFixed4(FormatFixed4(fixed)) == fixed, "a fixed-point text reads back");

  if (std::isfinite(number)) {
    const std::string formatted = FormatNumber(number);
    fuzz::Require(FormatNumber(FieldNumber(formatted)) == formatted,
                  "a formatted number reads back to the same text");
    fuzz::Require(std::isfinite(RoundHalfEven(number)), "rounding stays finite");
    fuzz::Require(std::isfinite(Round8(number)), "rounding to 8 places stays finite");
    fuzz::Require(Round8(Round8(number)) == Round8(number), "rounding to 8 places is stable");
  }
  return 0;
}
