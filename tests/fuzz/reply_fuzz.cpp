// What the program makes of a reply line: the trimmed reply, the number it
// begins with, the model identification.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "link/instrument_link.h"
#include "results/identification.h"
#include "steps/step_function.h"
#include "text/number_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kv;
  const std::string_view reply(reinterpret_cast<const char*>(data), size);

  const std::string trimmed = TrimReply(reply);
  fuzz::Require(reply.substr(0, trimmed.size()) == trimmed, "trimming keeps the start");
  fuzz::Require(trimmed.size() + 2 >= reply.size(), "trimming removes at most CR LF");

  fuzz::Require(std::isfinite(Value(reply)), "a reply's value is finite");
  fuzz::Require(std::isfinite(Value(trimmed)), "a trimmed reply's value is finite");
  const std::size_t comma = trimmed.find(',');
  if (comma != std::string::npos) {
    fuzz::Require(std::isfinite(Value(std::string_view(trimmed).substr(comma + 1))),
                  "the second field's value is finite");
  }

  const auto offered = OfferedFunctions(trimmed);
  fuzz::Require(offered.size() <= kStepFunctionNames.size(), "no function offered twice");
  for (const std::string& name : offered) {
    fuzz::Require(FindStepFunction(name).has_value(), "only known functions are offered");
  }
  static_cast<void>(IsBatteryCapable(trimmed));
  return 0;
}
