// The simulated load on arbitrary lines from a client: kvload-sim serves
// whatever arrives on its port, so no line may crash it, and every reply is
// one line.

#include "fuzz/fuzz_support.h"
#include "sim/simulated_load.h"

void kv::fuzz::FuzzOne(FuzzedDataProvider& in) {
  SimLoadConfig config;
  config.keepLog = false;
  SimulatedLoad load(config);
  std::int64_t nowMs = 0;
  while (in.remaining_bytes() > 0) {
    // Time moves on between lines as it does between a program's commands,
    // now and then by minutes.
    nowMs += in.ConsumeIntegralInRange<std::int64_t>(0, in.ConsumeBool() ? 2000 : 600'000);
    const auto reply = load.HandleLine(in.ConsumeRandomLengthString(64), nowMs);
    Require(!reply || reply->find_first_of("\r\n") == std::string::npos, "a reply is one line");
  }
}
