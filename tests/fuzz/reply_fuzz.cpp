// What the program makes of a reply line: the trimmed reply, the number it
// begins with, the model identification.

#include <cmath>

#include "fuzz/fuzz_support.h"
#include "link/instrument_link.h"
#include "results/identification.h"
#include "steps/step_function.h"
#include "text/number_text.h"

void kv::fuzz::FuzzOne(FuzzedDataProvider& in) {
  const std::string reply = in.ConsumeRemainingBytesAsString();
  const std::string trimmed = TrimReply(reply);
  Require(reply.compare(0, trimmed.size(), trimmed) == 0, "trimming keeps the start");
  Require(trimmed.size() + 2 >= reply.size(), "trimming removes at most CR LF");

  Require(std::isfinite(Value(reply)), "a reply's value is finite");
  Require(std::isfinite(Value(trimmed)), "a trimmed reply's value is finite");
  // Without a comma this is the whole reply again.
  const std::string_view second = std::string_view(trimmed).substr(trimmed.find(',') + 1);
  Require(std::isfinite(Value(second)), "the second field's value is finite");

  const auto offered = OfferedFunctions(trimmed);
  Require(offered.size() <= kStepFunctionNames.size(), "no function offered twice");
  for (const std::string& name : offered) {
    Require(FindStepFunction(name).has_value(), "only known functions are offered");
  }
  static_cast<void>(IsBatteryCapable(trimmed));
}
