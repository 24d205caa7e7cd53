#include "results/identification.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/scripted_instrument.h"

namespace kv::test {
namespace {

using Names = std::vector<std::string>;

const Names kGeneralHead = {"Discharge", "Rest", "FOR",     "LOOP",  "Short",
                            "OCP",       "OPP",  "Dynamic", "Normal"};

// The offer in order: the nine general functions, the model-dependent ones
// given, with "Dynamic Off" in its place before "Sequence Load".
Names Offer(const Names& extra) {
  Names all = kGeneralHead;
  const Names tail = {"Battery RAMP",          "Battery CC+CV",        "Battery CP+CV",
                      "Battery Discharge CC",  "Battery Discharge CP", "Battery Cycle Life",
                      "CV with Current Limit", "CV with Power Limit",  "Dynamic Off",
                      "Sequence Load"};
  for (const auto& name : tail) {
    if (name == "Dynamic Off" || std::find(extra.begin(), extra.end(), name) != extra.end()) {
      all.push_back(name);
    }
  }
  return all;
}

const Names kDischargeFamily = {"Battery Discharge CC", "Battery Discharge CP",
                                "Battery Cycle Life"};
const Names kCvFamily = {"Battery CC+CV", "Battery CP+CV", "CV with Current Limit",
                         "CV with Power Limit"};

Names Join(std::initializer_list<Names> parts) {
  Names all;
  for (const auto& p : parts) {
    all.insert(all.end(), p.begin(), p.end());
  }
  return all;
}

TEST(OfferedFunctionsTest, FollowsTheModelText) {
  struct Case {
    std::string model;
    Names expected;
  };
  const Case cases[] = {
      {"ErrRec", Offer({})},
      {"KV8-G ErrRec", Offer({})},  // no reply wins over any letter
      {"", Offer(kDischargeFamily)},
      {"KV8-1", Offer(kDischargeFamily)},
      {"kv8-gceaf", Offer(kDischargeFamily)},  // lower case matches nothing
      {"KV8-G", Offer(Join({{"Battery RAMP"}, kCvFamily, kDischargeFamily, {"Sequence Load"}}))},
      {"KV8-GQ7", Offer(Join({kCvFamily, kDischargeFamily, {"Sequence Load"}}))},
      {"KV8-GQ7Z", Offer(Join({kCvFamily, kDischargeFamily}))},
      {"KV8-Q7", Offer(kDischargeFamily)},
      {"KV8-FC", Offer(Join({{"Battery RAMP"}, kCvFamily}))},
      {"KV8-F", Offer({})},
      {"KV8-E", Offer(Join({{"Battery RAMP"}, kCvFamily, kDischargeFamily}))},
      {"KV8-A", Offer(Join({{"Battery RAMP"}, kCvFamily, kDischargeFamily}))},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(OfferedFunctions(c.model), c.expected) << '"' << c.model << '"';
  }
}

TEST(IdentifyInstrumentTest, OpensInItsModeAndAsksForTheName) {
  for (std::int16_t mode : {kModeSerial, kModeLan}) {
    ScriptedInstrument load(mode);
    load.Reply("name?", "KV8-300G");
    EXPECT_EQ(IdentifyInstrument(load), "KV8-300G");
    EXPECT_EQ(load.Opens(), 1);
    EXPECT_EQ(load.Lines(), (Names{"REM", "name?"})) << "mode " << mode;
  }
  ScriptedInstrument gpib(kModeGpib);
  gpib.Reply("name?", "KV8-300");
  EXPECT_EQ(IdentifyInstrument(gpib), "KV8-300");
  EXPECT_EQ(gpib.Lines(), Names{"name?"});
}

TEST(IdentifyInstrumentTest, NoReplyAndEmptyReply) {
  ScriptedInstrument silent(kModeSerial);
  EXPECT_EQ(IdentifyInstrument(silent), "ErrRec");

  ScriptedInstrument empty(kModeSerial);
  empty.Reply("name?", "");
  EXPECT_EQ(IdentifyInstrument(empty), "");
}

class ThrowingLink : public ScriptedInstrument {
 public:
  void WriteInstrument(std::string_view) override { throw std::runtime_error("port gone"); }
};

TEST(IdentifyInstrumentTest, LinkFailureLeavesErrRec) {
  ThrowingLink link;
  EXPECT_EQ(IdentifyInstrument(link), "ErrRec");
}

}  // namespace
}  // namespace kv::test
