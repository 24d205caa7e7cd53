#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <string>

#include "sim/simulated_load.h"

namespace kv {
namespace {

SimLoadConfig Supply(double volts, double currentLimit, double powerLimit) {
  SimLoadConfig c;
  c.source.kind = SimSourceKind::Supply;
  c.source.fullVoltage = volts;
  c.source.internalOhm = 0.01;
  c.source.currentLimitA = currentLimit;
  c.source.powerLimitW = powerLimit;
  return c;
}

void Send(SimulatedLoad& load, std::int64_t ms, std::initializer_list<const char*> lines) {
  for (const char* line : lines) {
    load.HandleLine(line, ms);
  }
  ASSERT_EQ(load.ErrorCount(), 0) << load.Errors().front().line;
}

// The measurement as the program reads it: the reply to "MEAS:VC?".
SimReading Meas(SimulatedLoad& load, std::int64_t ms) {
  const std::string reply = load.HandleLine("MEAS:VC?", ms).value_or("");
  SimReading r;
  EXPECT_EQ(std::sscanf(reply.c_str(), "%lf,%lf", &r.voltage, &r.current), 2) << reply;
  return r;
}

std::string Ask(SimulatedLoad& load, std::int64_t ms, const char* query) {
  return load.HandleLine(query, ms).value_or("<none>");
}

TEST(SimElectrical, DischargeLowersVoltageAndCharge) {
  SimulatedLoad load;  // default: a small protected lithium cell
  const double capacity = load.Config().source.capacityAh;
  Send(load, 0, {"MODE CC", "CC:HIGH 1", "LOAD ON"});
  double last = Meas(load, 0).voltage;
  EXPECT_NEAR(last, 4.2 - 1 * 0.05, 1e-4);
  for (std::int64_t s = 10; s <= 150; s += 10) {
    const SimReading r = Meas(load, s * 1000);
    EXPECT_NEAR(r.current, 1.0, 1e-9);
    EXPECT_LT(r.voltage, last) << "at " << s << " s";
    last = r.voltage;
  }
  EXPECT_NEAR(load.Source().DrawnAh(), 150.0 / 3600.0, 1e-6);
  EXPECT_NEAR(load.Source().StateOfCharge(), 1.0 - (150.0 / 3600.0) / capacity, 1e-6);

  // Off: no current, the open-circuit voltage, and no further drain.
  Send(load, 150000, {"LOAD OFF"});
  const SimReading off = Meas(load, 300000);
  EXPECT_EQ(off.current, 0.0);
  EXPECT_NEAR(off.voltage, load.Source().OpenCircuitVoltage(), 1e-4);
  EXPECT_NEAR(load.Source().DrawnAh(), 150.0 / 3600.0, 1e-6);
}

TEST(SimElectrical, EmptyBatteryGivesNothing) {
  SimulatedLoad load;
  Send(load, 0, {"MODE CC", "CC:HIGH 1", "LOAD ON"});
  const SimReading r = Meas(load, 200000);  // 0.05 Ah at 1 A lasts 180 s
  EXPECT_EQ(r.voltage, 0.0);
  EXPECT_EQ(r.current, 0.0);
  EXPECT_NEAR(load.Source().DrawnAh(), 0.05, 1e-3);
}

TEST(SimElectrical, LoadModesFindTheirOperatingPoint) {
  SimulatedLoad cell;
  Send(cell, 0, {"MODE CV", "CV:HIGH 4", "LOAD ON"});
  EXPECT_NEAR(Meas(cell, 0).current, (4.2 - 4.0) / 0.05, 1e-3);
  Send(cell, 0, {"MODE CP", "CP:HIGH 8"});
  const SimReading cp = Meas(cell, 0);
  EXPECT_NEAR(cp.voltage * cp.current, 8.0, 1e-3);
  Send(cell, 0, {"MODE CC", "CC:HIGH 4", "LIM:ADDCV:VOLT 4.1", "LIM:ADDCV ON"});
  EXPECT_NEAR(Meas(cell, 0).current, (4.2 - 4.1) / 0.05, 1e-3);

  SimulatedLoad supply(Supply(12.0, 0, 0));
  Send(supply, 0, {"MODE CR", "CR:HIGH 10", "LOAD ON"});
  EXPECT_NEAR(Meas(supply, 0).current, 12.0 / 10.01, 1e-4);
}

TEST(SimElectrical, ShortIsCappedByTheRatingAndTripsAProtectedCell) {
  SimulatedLoad supply(Supply(12.0, 0, 0));
  Send(supply, 0, {"SHORT ON"});
  EXPECT_NEAR(Meas(supply, 0).current, supply.Config().maxCurrentA, 1e-9);
  Send(supply, 0, {"SHORT OFF"});
  EXPECT_FALSE(supply.ShortOn());
  SimulatedLoad cell;
  Send(cell, 0, {"SHORT ON"});
  const SimReading r = Meas(cell, 0);
  EXPECT_EQ(r.voltage, 0.0);
  EXPECT_EQ(r.current, 0.0);
  Send(cell, 0, {"LOAD OFF"});  // ends a short too
  EXPECT_FALSE(cell.ShortOn());
}

TEST(SimElectrical, DynamicModeSwitchesLevelsOnItsTiming) {
  SimulatedLoad load(Supply(12.0, 0, 0));
  Send(
      load, 0,
      {"MODE CC", "CC:HIGH 2", "CC:LOW 0.5", "PERD:HIGH 100", "PERD:LOW 300", "LOAD ON", "DYN ON"});
  EXPECT_NEAR(Meas(load, 50).current, 2.0, 1e-9);
  EXPECT_NEAR(Meas(load, 150).current, 0.5, 1e-9);
  EXPECT_NEAR(Meas(load, 399).current, 0.5, 1e-9);
  EXPECT_NEAR(Meas(load, 450).current, 2.0, 1e-9);
  // A second of 1/4 high, 3/4 low: 0.875 A on average.
  EXPECT_NEAR(load.Source().DrawnAh() * 3600.0 / 0.45, 0.875 * (0.4 / 0.45) + 2 * 0.05 / 0.45,
              1e-6);
  Send(load, 450, {"DYN OFF"});
  EXPECT_NEAR(Meas(load, 600).current, 2.0, 1e-9);
}

struct SweepCase {
  const char* name;
  double limitA;
  const char* il;
  const char* ih;
  const char* trip;  // OCP?
  const char* ng;    // NG?
  std::int64_t endsMs;
};

TEST(SimElectrical, OcpSweepTripsAtTheSupplyLimitWithAConsistentVerdict) {
  const SweepCase cases[] = {
      {"pass", 5.0, "4", "6", "5.5000", "0", 1100},
      {"fail high", 5.0, "3", "5", "5.5000", "1", 1100},
      {"fail low", 5.0, "6", "8", "5.5000", "1", 1100},
      {"no trip", 10.0, "4", "6", "0.0000", "1", 1700},
  };
  for (const SweepCase& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedLoad load(Supply(12.0, c.limitA, 0));
    Send(load, 0, {"TCONFIG OCP", "OCP:START 0", "OCP:STEP 0.5", "OCP:STOP 8", "VTH 1"});
    load.HandleLine(("IH " + std::string(c.ih)).c_str(), 0);
    load.HandleLine(("IL " + std::string(c.il)).c_str(), 0);
    Send(load, 0, {"NGENABLE ON", "START"});
    EXPECT_EQ(Ask(load, 250, "TESTING?"), "1");
    EXPECT_NEAR(Meas(load, 250).current, 1.0, 1e-9) << "third level of the sweep";
    EXPECT_EQ(Ask(load, c.endsMs - 1, "TESTING?"), "1");
    EXPECT_EQ(Ask(load, c.endsMs, "TESTING?"), "0");
    EXPECT_EQ(Ask(load, c.endsMs, "NG?"), c.ng);
    EXPECT_EQ(Ask(load, c.endsMs, "OCP?"), c.trip);
    EXPECT_FALSE(load.InputOn()) << "the load turns its input off after the test";
    Send(load, c.endsMs, {"STOP"});
    EXPECT_EQ(Ask(load, c.endsMs, "OCP?"), c.trip) << "STOP keeps the result";
  }
}

TEST(SimElectrical, OppSweepTripsAtThePowerLimit) {
  SimulatedLoad load(Supply(12.0, 0, 30.0));
  Send(load, 0,
       {"TCONFIG OPP", "OPP:START 10", "OPP:STEP 5", "OPP:STOP 50", "VTH 1", "WH 40", "WL 30",
        "NGENABLE ON", "START"});
  EXPECT_EQ(Ask(load, 5000, "TESTING?"), "0");
  EXPECT_EQ(Ask(load, 5000, "OPP?"), "35.0000");
  EXPECT_EQ(Ask(load, 5000, "NG?"), "0");
}

TEST(SimElectrical, WithoutNgEnableTheLoadGivesNoVerdict) {
  SimulatedLoad load(Supply(12.0, 5.0, 0));
  Send(
      load, 0,
      {"TCONFIG OCP", "OCP:START 0", "OCP:STEP 1", "OCP:STOP 8", "VTH 1", "IH 1", "IL 0", "START"});
  EXPECT_EQ(Ask(load, 5000, "OCP?"), "6.0000");
  EXPECT_EQ(Ask(load, 5000, "NG?"), "0");
}

struct BatteryCase {
  const char* name;
  std::initializer_list<const char*> limits;
  std::int64_t endsMs;
};

TEST(SimElectrical, BatteryTestRunsUntilItsOwnLimit) {
  const BatteryCase cases[] = {
      {"time", {"BATT:CURR 1", "BATT:TIME 10"}, 10000},
      {"ampere-hours", {"BATT:CURR 1", "BATT:AH 0.001"}, 3600},
      {"watt-hours", {"BATT:POWER 4", "BATT:WH 0.001"}, 900},
      // 4.15 V loaded at the start; 3.9 V under load a little before 20% is used.
      {"voltage", {"BATT:CURR 1", "BATT:UVP 4.1"}, -1},
  };
  for (const BatteryCase& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedLoad load;
    Send(load, 0, c.limits);
    Send(load, 0, {"BATT:TEST ON"});
    EXPECT_EQ(Ask(load, 0, "TESTING?"), "0") << "armed, input still off";
    Send(load, 0, {"LOAD ON"});
    EXPECT_EQ(Ask(load, 100, "TESTING?"), "1");
    if (c.endsMs > 0) {
      EXPECT_EQ(Ask(load, c.endsMs - 100, "TESTING?"), "1");
      EXPECT_EQ(Ask(load, c.endsMs + 100, "TESTING?"), "0");
    } else {
      EXPECT_EQ(Ask(load, 60000, "TESTING?"), "0");
      EXPECT_GT(load.Source().DrawnAh(), 0.0);
    }
    EXPECT_EQ(Meas(load, c.endsMs + 200).current, 0.0);
    // The next plain discharge is not taken for another battery test.
    Send(load, 70000, {"MODE CC", "CC:HIGH 0.5", "LOAD ON"});
    EXPECT_FALSE(load.Testing());
    EXPECT_NEAR(Meas(load, 70000).current, 0.5, 1e-9);
  }
}

TEST(SimElectrical, RampRunsItsStepsAndRepeatsThenEnds) {
  SimulatedLoad load(Supply(12.0, 0, 0));
  Send(load, 0,
       {"CC R2", "BATT:STEP 2", "BATT:CC0 0.5", "BATT:CC1 1", "BATT:DTIME1 2", "BATT:CC2 2",
        "BATT:DTIME2 2", "LDOFFV 10.5", "BATT:UVP 10.5", "BATT:REPEAT 2", "BATT:RAMP:CC ON"});
  EXPECT_NEAR(Meas(load, 1000).current, 0.75, 1e-9);
  EXPECT_NEAR(Meas(load, 3000).current, 1.5, 1e-9);
  EXPECT_NEAR(Meas(load, 5000).current, 0.75, 1e-9) << "second pass";
  EXPECT_EQ(Ask(load, 7900, "TESTING?"), "1");
  EXPECT_EQ(Ask(load, 8000, "TESTING?"), "0");
  // The supply held up: the recorded voltage is above the load-off voltage.
  EXPECT_EQ(Ask(load, 8000, "BATT:RVOLT?"), "11.9800");
  EXPECT_EQ(Meas(load, 8100).current, 0.0);
}

TEST(SimElectrical, RampPastTheProtectionEndsAtTheLoadOffVoltage) {
  SimLoadConfig cell;
  cell.source.powerLimitW = 0;  // protected at 5 A only
  SimulatedLoad load(cell);
  Send(load, 0,
       {"BATT:STEP 1", "BATT:CC0 1", "BATT:CC1 9", "BATT:DTIME1 8", "LDOFFV 2.8", "BATT:UVP 2.8",
        "BATT:REPEAT 1", "BATT:RAMP:CC ON"});
  EXPECT_EQ(Ask(load, 3900, "TESTING?"), "1");
  EXPECT_EQ(Ask(load, 4100, "TESTING?"), "0") << "5 A is passed at 4 s";
  EXPECT_EQ(Ask(load, 4100, "BATT:RVOLT?"), "0.0000");
}

TEST(SimElectrical, CycleLifeRunsItsRowsAndEnds) {
  SimulatedLoad load(Supply(12.0, 0, 0));
  Send(load, 0,
       {"BATT:CCH1 2", "BATT:CCL1 0.5", "BATT:TH1 1", "BATT:TL1 1", "BATT:CYCLE 2", "BATT:CCH2 3",
        "BATT:CCL2 0", "BATT:TH2 2", "BATT:TL2 1", "BATT:CYCLE 1", "LDOFFV 2.5", "BATT:UVP 2.5",
        "BATT:REPEAT 1", "BATT:DYN ON"});
  EXPECT_NEAR(Meas(load, 500).current, 2.0, 1e-9);
  EXPECT_NEAR(Meas(load, 1500).current, 0.5, 1e-9);
  EXPECT_NEAR(Meas(load, 2500).current, 2.0, 1e-9);
  EXPECT_NEAR(Meas(load, 4500).current, 3.0, 1e-9);
  EXPECT_NEAR(Meas(load, 6500).current, 0.0, 1e-9);
  EXPECT_EQ(Ask(load, 6900, "TESTING?"), "1");
  EXPECT_EQ(Ask(load, 7000, "TESTING?"), "0");
}

TEST(SimElectrical, SequenceRunsItsStepsOnceThenEnds) {
  SimulatedLoad load(Supply(12.0, 0, 0));
  Send(load, 0,
       {"SEQLD:TEST OFF", "REM", "SEQLD:TYPE CC", "SEQLD:TOTSTEP 2", "SEQLD:CC0 1",
        "SEQLD:TIME0 300", "SEQLD:CC1 2", "SEQLD:TIME1 200", "VTH 1", "SEQLD:TEST ON"});
  EXPECT_NEAR(Meas(load, 100).current, 1.0, 1e-9);
  EXPECT_NEAR(Meas(load, 400).current, 2.0, 1e-9);
  EXPECT_EQ(Ask(load, 499, "TESTING?"), "1");
  EXPECT_EQ(Ask(load, 500, "TESTING?"), "0");
  EXPECT_EQ(Meas(load, 600).current, 0.0);
  Send(load, 600, {"SEQLD:TEST OFF"});
}

TEST(SimElectrical, LoadOffOrSequenceOffAbortsTheTest) {
  for (const char* off : {"LOAD OFF", "SEQLD:TEST OFF"}) {
    SimulatedLoad load(Supply(12.0, 0, 0));
    Send(load, 0, {"SEQLD:TOTSTEP 1", "SEQLD:CC0 1", "SEQLD:TIME0 60000", "SEQLD:TEST ON"});
    EXPECT_EQ(Ask(load, 1000, "TESTING?"), "1");
    Send(load, 1000, {off});
    EXPECT_EQ(Ask(load, 1000, "TESTING?"), "0") << off;
    EXPECT_FALSE(load.InputOn()) << off;
    EXPECT_EQ(Meas(load, 2000).current, 0.0);
  }
}

TEST(SimElectrical, LongRunsStayCheap) {
  SimulatedLoad load(Supply(12.0, 0, 0));
  Send(load, 0,
       {"MODE CC", "CC:HIGH 2", "CC:LOW 1", "PERD:HIGH 1", "PERD:LOW 1", "LOAD ON", "DYN ON"});
  load.AdvanceTo(3600 * 1000);  // one hour of 1 ms pulses
  EXPECT_NEAR(load.Source().DrawnAh(), 1.5, 1e-3);
}

}  // namespace
}  // namespace kv
