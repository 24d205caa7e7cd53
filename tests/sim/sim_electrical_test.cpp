#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/simulated_load.h"

namespace kv {
namespace {

SimLoadConfig Supply(double volts, double currentLimit, double powerLimit) {
  SimLoadConfig c;
  c.source = {.kind = SimSourceKind::Supply,
              .fullVoltage = volts,
              .internalOhm = 0.01,
              .currentLimitA = currentLimit,
              .powerLimitW = powerLimit};
  return c;
}

// What the program reads back, line by line at its model time: a command's
// reply is empty. Levels, operating points, the programs the load runs by
// itself and how they end.
struct Probe {
  std::int64_t ms;
  const char* line;
  const char* reply;
};

Probe At(std::int64_t ms, const char* line, const char* reply) {
  return {ms, line, reply};
}

void ExpectReplies(const char* name, const SimLoadConfig& config,
                   const std::vector<const char*>& setup, const std::vector<Probe>& probes) {
  SCOPED_TRACE(name);
  SimulatedLoad load(config);
  for (const char* line : setup) {
    load.HandleLine(line, 0);
  }
  for (const Probe& p : probes) {
    EXPECT_EQ(load.HandleLine(p.line, p.ms).value_or(""), p.reply) << p.line << " at " << p.ms;
  }
  EXPECT_EQ(load.ErrorCount(), 0);
}

TEST(SimElectrical, RepliesFollowTheLevelsAndTheLoadsOwnPrograms) {
  const SimLoadConfig cell;  // a small protected lithium cell
  const SimLoadConfig supply = Supply(12.0, 0, 0);
  // The voltage falls as the cell discharges and stops falling while the input
  // is off; 0.05 Ah at 1 A last 180 s in all, then the cell gives nothing.
  ExpectReplies("discharge", cell, {"MODE CC", "CC:HIGH 1", "LOAD ON"},
                {At(0, "MEAS:VC?", "4.1500,1.0000"), At(50000, "MEAS:VC?", "3.9034,1.0000"),
                 At(100000, "MEAS:VC?", "3.7522,1.0000"), At(150000, "MEAS:VC?", "3.5866,1.0000"),
                 At(150000, "LOAD OFF", ""), At(300000, "MEAS:VC?", "3.6366,0.0000"),
                 At(300000, "LOAD ON", ""), At(400000, "MEAS:VC?", "0.0000,0.0000")});
  ExpectReplies("modes on a cell", cell, {"MODE CV", "CV:HIGH 4", "LOAD ON"},
                {At(0, "MEAS:VC?", "4.0000,4.0000"), At(0, "MODE CP", ""), At(0, "CP:HIGH 8", ""),
                 At(0, "MEAS:VC?", "4.1025,1.9500"), At(0, "MODE CC", ""), At(0, "CC:HIGH 4", ""),
                 At(0, "LIM:ADDCV:VOLT 4.1", ""), At(0, "LIM:ADDCV ON", ""),
                 At(0, "MEAS:VC?", "4.1000,2.0000")});
  ExpectReplies("resistance and a short on a supply", supply, {"MODE CR", "CR:HIGH 10", "LOAD ON"},
                {At(0, "MEAS:VC?", "11.9880,1.1988"), At(0, "SHORT ON", ""),
                 At(0, "MEAS:VC?", "11.4000,60.0000"), At(0, "SHORT OFF", ""),
                 At(0, "MEAS:VC?", "11.9880,1.1988")});
  ExpectReplies("short on a protected cell", cell, {"SHORT ON"},
                {At(0, "MEAS:VC?", "0.0000,0.0000"), At(0, "LOAD OFF", ""),
                 At(0, "MEAS:VC?", "4.2000,0.0000")});
  ExpectReplies(
      "dynamic", supply,
      {"MODE CC", "CC:HIGH 2", "CC:LOW 0.5", "PERD:HIGH 100", "PERD:LOW 300", "LOAD ON", "DYN ON"},
      {At(50, "MEAS:VC?", "11.9800,2.0000"), At(150, "MEAS:VC?", "11.9950,0.5000"),
       At(399, "MEAS:VC?", "11.9950,0.5000"), At(450, "MEAS:VC?", "11.9800,2.0000"),
       At(450, "DYN OFF", ""), At(600, "MEAS:VC?", "11.9800,2.0000")});
  // OCP limits that would fail it do not count for OPP.
  ExpectReplies("OPP at the power limit", Supply(12.0, 0, 30.0),
                {"TCONFIG OPP", "OPP:START 12", "OPP:STEP 5", "OPP:STOP 50", "VTH 1", "WH 40",
                 "WL 30", "IH 34", "IL 36", "NGENABLE ON", "START"},
                {At(5000, "TESTING?", "0"), At(5000, "OPP?", "32.0000"), At(5000, "NG?", "0")});
  ExpectReplies(
      "OCP without a verdict", Supply(12.0, 5.0, 0),
      {"TCONFIG OCP", "OCP:START 0", "OCP:STEP 1", "OCP:STOP 8", "VTH 1", "IH 1", "IL 0", "START"},
      {At(5000, "OCP?", "6.0000"), At(5000, "NG?", "0")});
  ExpectReplies(
      "ramp, twice", supply,
      {"CC R2", "BATT:STEP 2", "BATT:CC0 0.5", "BATT:CC1 1", "BATT:DTIME1 2", "BATT:CC2 2",
       "BATT:DTIME2 2", "LDOFFV 10.5", "BATT:UVP 10.5", "BATT:REPEAT 2", "BATT:RAMP:CC ON"},
      {At(1000, "MEAS:VC?", "11.9925,0.7500"), At(3000, "MEAS:VC?", "11.9850,1.5000"),
       At(5000, "MEAS:VC?", "11.9925,0.7500"), At(7900, "TESTING?", "1"), At(8000, "TESTING?", "0"),
       At(8000, "BATT:RVOLT?", "11.9800"),  // above the load-off voltage: the supply held up
       At(8100, "MEAS:VC?", "12.0000,0.0000")});
  ExpectReplies(
      "ramp past the cell's 5 A protection", cell,
      {"BATT:STEP 1", "BATT:CC0 1", "BATT:CC1 9", "BATT:DTIME1 8", "LDOFFV 2.8", "BATT:UVP 2.8",
       "BATT:REPEAT 1", "BATT:RAMP:CC ON"},
      {At(3900, "TESTING?", "1"), At(4100, "TESTING?", "0"), At(4100, "BATT:RVOLT?", "0.0000")});
  ExpectReplies("cycle life", supply,
                {"BATT:CCH1 2", "BATT:CCL1 0.5", "BATT:TH1 1", "BATT:TL1 1", "BATT:CYCLE 2",
                 "BATT:CCH2 3", "BATT:CCL2 0", "BATT:TH2 2", "BATT:TL2 1", "BATT:CYCLE 1",
                 "LDOFFV 2.5", "BATT:UVP 2.5", "BATT:REPEAT 1", "BATT:DYN ON"},
                {At(500, "MEAS:VC?", "11.9800,2.0000"), At(1500, "MEAS:VC?", "11.9950,0.5000"),
                 At(2500, "MEAS:VC?", "11.9800,2.0000"), At(4500, "MEAS:VC?", "11.9700,3.0000"),
                 At(6500, "MEAS:VC?", "12.0000,0.0000"), At(6900, "TESTING?", "1"),
                 At(7000, "TESTING?", "0")});
  ExpectReplies("sequence", supply,
                {"SEQLD:TEST OFF", "REM", "SEQLD:TYPE CC", "SEQLD:TOTSTEP 2", "SEQLD:CC0 1",
                 "SEQLD:TIME0 300", "SEQLD:CC1 2", "SEQLD:TIME1 200", "VTH 1", "SEQLD:TEST ON"},
                {At(100, "MEAS:VC?", "11.9900,1.0000"), At(400, "MEAS:VC?", "11.9800,2.0000"),
                 At(499, "TESTING?", "1"), At(500, "TESTING?", "0"),
                 At(600, "MEAS:VC?", "12.0000,0.0000"), At(600, "SEQLD:TEST OFF", "")});
  for (const char* off : {"LOAD OFF", "SEQLD:TEST OFF"}) {
    ExpectReplies(
        off, supply,
        {"CC:HIGH 1", "SEQLD:TOTSTEP 1", "SEQLD:CC0 1", "SEQLD:TIME0 60000", "SEQLD:TEST ON"},
        {At(1000, "TESTING?", "1"), At(1000, off, ""), At(1000, "TESTING?", "0"),
         At(2000, "MEAS:VC?", "12.0000,0.0000")});
  }
}

TEST(SimElectrical, OcpSweepTripsAtTheSupplyLimitWithAConsistentVerdict) {
  const auto sweep = [](const char* name, double limitA, const char* il, const char* ih,
                        const char* trip, const char* ng, std::int64_t endsMs) {
    ExpectReplies(name, Supply(12.0, limitA, 0),
                  {"CC:HIGH 1", "TCONFIG OCP", "OCP:START 0", "OCP:STEP 0.5", "OCP:STOP 8", "VTH 1",
                   il, ih, "NGENABLE ON", "START"},
                  {At(250, "TESTING?", "1"), At(250, "MEAS:VC?", "11.9900,1.0000"),
                   At(endsMs - 1, "TESTING?", "1"), At(endsMs, "TESTING?", "0"),
                   At(endsMs, "NG?", ng), At(endsMs, "OCP?", trip),
                   At(endsMs, "MEAS:VC?", "12.0000,0.0000"),  // the input is off after the test
                   At(endsMs, "STOP", ""), At(endsMs, "OCP?", trip)});
  };
  sweep("pass", 5.0, "IL 4", "IH 6", "5.5000", "0", 1100);
  sweep("fail high", 5.0, "IL 3", "IH 5", "5.5000", "1", 1100);
  sweep("fail low", 5.0, "IL 6", "IH 8", "5.5000", "1", 1100);
  sweep("no trip", 10.0, "IL 4", "IH 6", "0.0000", "1", 1700);
}

TEST(SimElectrical, BatteryTestRunsUntilItsOwnLimitAndOnlyOnce) {
  const auto battery = [](const char* name, std::vector<const char*> limits, std::int64_t endsMs,
                          const char* ended, const char* discharging) {
    limits.push_back("BATT:TEST ON");
    ExpectReplies(
        name, SimLoadConfig{}, limits,
        {At(0, "TESTING?", "0"),  // armed, input still off
         At(0, "LOAD ON", ""), At(100, "TESTING?", "1"), At(endsMs - 100, "TESTING?", "1"),
         At(endsMs + 100, "TESTING?", "0"), At(endsMs + 200, "MEAS:VC?", ended),
         // The next plain discharge is not taken for another battery test.
         At(70000, "MODE CC", ""), At(70000, "CC:HIGH 0.5", ""), At(70000, "LOAD ON", ""),
         At(70000, "TESTING?", "0"), At(70000, "MEAS:VC?", discharging)});
  };
  battery("time", {"BATT:CURR 1", "BATT:TIME 10"}, 10000, "4.1333,0.0000", "4.1083,0.5000");
  battery("ampere-hours", {"BATT:CURR 1", "BATT:AH 0.001"}, 3600, "4.1760,0.0000", "4.1510,0.5000");
  battery("watt-hours", {"BATT:POWER 4", "BATT:WH 0.001"}, 900, "4.1942,0.0000", "4.1692,0.5000");
  battery("voltage", {"BATT:CURR 1", "BATT:UVP 4.1"}, 7500, "4.1500,0.0000", "4.1250,0.5000");
}

TEST(SimElectrical, LongRunsStayCheap) {
  SimulatedLoad load(Supply(12.0, 0, 0));
  for (const char* line :
       {"MODE CC", "CC:HIGH 2", "CC:LOW 1", "PERD:HIGH 1", "PERD:LOW 1", "LOAD ON", "DYN ON"}) {
    load.HandleLine(line, 0);
  }
  load.AdvanceTo(3600 * 1000);  // one hour of 1 ms pulses
  EXPECT_NEAR(load.Source().DrawnAh(), 1.5, 1e-3);
}

}  // namespace
}  // namespace kv
