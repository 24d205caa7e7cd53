#include "results/identification.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "support/scripted_instrument.h"

namespace kv::test {
namespace {

using Names = std::vector<std::string>;

// The functions after the nine every load has, in the order offered, each
// with the family that brings it: R(amp), C(V), D(ischarge), S(equence);
// '-' is always there.
const std::pair<const char*, char> kModelFunctions[] = {
    {"Battery RAMP", 'R'},          {"Battery CC+CV", 'C'},        {"Battery CP+CV", 'C'},
    {"Battery Discharge CC", 'D'},  {"Battery Discharge CP", 'D'}, {"Battery Cycle Life", 'D'},
    {"CV with Current Limit", 'C'}, {"CV with Power Limit", 'C'},  {"Dynamic Off", '-'},
    {"Sequence Load", 'S'},
};

TEST(OfferedFunctionsTest, FollowsTheModelText) {
  const std::pair<const char*, std::string> cases[] = {
      {"ErrRec", ""},    {"KV8-G ErrRec", ""},  // no reply wins over any letter
      {"", "D"},         {"kv8-gceaf", "D"},    // lower case matches nothing
      {"KV8-G", "RCDS"}, {"KV8-GQ7", "CDS"},   {"KV8-GQ7Z", "CD"}, {"KV8-Q7", "D"},
      {"KV8-FC", "RC"},  {"KV8-F", ""},        {"KV8-E", "RCD"},   {"KV8-A", "RCD"},
  };
  for (const auto& [model, families] : cases) {
    Names expected = {"Discharge", "Rest", "FOR",     "LOOP",  "Short",
                      "OCP",       "OPP",  "Dynamic", "Normal"};
    for (const auto& [name, family] : kModelFunctions) {
      if (family == '-' || families.find(family) != std::string::npos) {
        expected.emplace_back(name);
      }
    }
    EXPECT_EQ(OfferedFunctions(model), expected) << '"' << model << '"';
  }
}

TEST(IdentifyInstrumentTest, OpensInItsModeAsksForTheNameAndSurvivesAFailingLink) {
  struct Case {
    std::int16_t mode;
    const char* reply;  // nullptr: none scripted
    bool linkFails;
    std::string model;
    Names lines;
  };
  const Case cases[] = {
      {kModeSerial, "KV8-300G", false, "KV8-300G", {"REM", "name?"}},
      {kModeLan, "KV8-300G", false, "KV8-300G", {"REM", "name?"}},
      {kModeGpib, "KV8-300", false, "KV8-300", {"name?"}},
      {kModeSerial, nullptr, false, "ErrRec", {"REM", "name?"}},
      {kModeSerial, "", false, "", {"REM", "name?"}},
      {kModeSerial, "KV8-300G", true, "ErrRec", {"REM"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " reply " << (c.reply ? c.reply : "-"));
    ScriptedInstrument load(c.mode);
    if (c.reply) {
      load.Reply("name?", c.reply);
    }
    if (c.linkFails) {
      load.OnWrite([](std::string_view) { throw std::runtime_error("port gone"); });
    }
    EXPECT_EQ(IdentifyInstrument(load), c.model);
    EXPECT_EQ(load.Lines(), c.lines);
  }
}

}  // namespace
}  // namespace kv::test
