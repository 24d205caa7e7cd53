// The simulated load on arbitrary lines from a client: kvload-sim serves
// whatever arrives on its port, so no line may crash it, and every reply is
// one line.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "sim/simulated_load.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kv;
  FuzzedDataProvider in(data, size);
  SimLoadConfig config;
  config.keepLog = false;
  SimulatedLoad load(config);
  std::int64_t nowMs = 0;
  while (in.remaining_bytes() > 0) {
    // Time moves on between lines as it does between a program's commands,
    // now and then by minutes.
    nowMs += in.ConsumeBool() ? in.ConsumeIntegralInRange<std::int64_t>(0, 2000)
                              : in.ConsumeIntegralInRange<std::int64_t>(0, 600'000);
    const std::string line = in.ConsumeRandomLengthString(64);
    const auto reply = load.HandleLine(line, nowMs);
    fuzz::Require(!reply || reply->find_first_of("\r\n") == std::string::npos,
                  "a reply is one line");
  }
  return 0;
}
