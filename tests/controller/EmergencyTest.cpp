// Emergency cooling: the units by physical number, the fan ramps at the
// pull-in and without free air (their steps: FanRampTest.cpp), the
// high-temperature fan band and the drop-out.
//
// Settings unless a case says otherwise (degrees Celsius): emergency pull-in
// 40 / drop-out 36, fan band 43 to 45; two units; ramp Values 30 (a step
// every 3 passes).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ControllerRig.h"
#include "frigel.h"

namespace {

using EmergencyTest = ModeTest<emergencyCoolingModeState>;

// Moved in from another mode with rotation: the pull-in switches on the
// first-role unit (unit 2), the second pass the unit still off.
TEST_F(EmergencyTest, PullInCallsTheFirstRoleThenTheStepCallsTheRest) {
  rig.startIn(aircon1CoolingModeState);
  settings.airconRotation = 1;
  settings.apply();
  ControllerRig::setTemperatures(41.0f, 15.0f);
  EXPECT_EQ(rig.passes(3),
            (std::vector<Actuations>{{"ac2 on", "fan 0"}, {"ac1 on", "fan 0"}, {"fan 0"}}));
}

// ---- Units --------------------------------------------------------------------

struct UnitCase {
  const char* name;
  Units units;
  bool unit1On;
  bool unit2On;
  Actuations actuations;
};

using EmergencyUnitTest = TableTest<EmergencyTest, UnitCase>;

TEST_P(EmergencyUnitTest, RunsEveryInstalledUnit) {
  settings.apply(row.units);
  emergencytimerLoop = 1;
  if (row.unit1On) {
    ControllerRig::markUnitOn(1);
  }
  if (row.unit2On) {
    ControllerRig::markUnitOn(2);
  }
  fanSpeedPercent = 30.0f;
  ControllerRig::setTemperatures(41.0f, 15.0f);
  EXPECT_EQ(rig.pass(), row.actuations);
  EXPECT_EQ(coolState, emergencyCoolingModeState);
}

INSTANTIATE_TEST_SUITE_P(
    Table, EmergencyUnitTest,
    ::testing::Values(UnitCase{"TwoUnitsOff", {2, 1}, false, false, {"ac2 on", "ac1 on", "fan 30"}},
                      UnitCase{"TwoUnitsOneRunning", {2, 1}, false, true, {"ac1 on", "fan 30"}},
                      UnitCase{"OneUnitRunning", {1, 1}, true, false, {"fan 30"}},
                      UnitCase{"OneUnitOff", {1, 0}, false, false, {"ac1 on", "fan 30"}},
                      // Without units the fan runs full; with free air any unit recorded on
                      // is switched off, unit 2 first.
                      UnitCase{
                          "NoUnitsFreeAir", {0, 1}, true, true, {"ac2 off", "ac1 off", "fan 100"}},
                      UnitCase{"NoUnitsNoFreeAir", {0, 0}, true, true, {"fan 100"}},
                      UnitCase{"NoUnitsFreeAirByteTwo", {0, 2}, true, true, {"fan 100"}},
                      UnitCase{"ThreeUnits", {3, 1}, false, false, {"fan 30"}}),
    RowName());

// ---- Drop-out -----------------------------------------------------------------

using EmergencyDropOutTest = HandOverTest<emergencyCoolingModeState>;

// The first emergency pass makes no drop-out test; from the second on, a
// temperature below the drop-out leaves for the mode that suits the units,
// with the fan and the units left as they are.
TEST_P(EmergencyDropOutTest, LeavesFromTheSecondPassOn) {
  fanSpeedPercent = 70.0f;
  freeAirTimerLoop = 3;
  AirCon1timerLoop = AirCon2timerLoop = 1;
  rig.pass();
  EXPECT_EQ(coolState, emergencyCoolingModeState);
  EXPECT_EQ(freeAirTimerLoop + AirCon1timerLoop + AirCon2timerLoop, 0u)
      << "the next mode will start with its first step";
  Actuations second = rig.pass();
  EXPECT_EQ(coolState, row.next);
  EXPECT_EQ(fanSpeedPercent, settings.numberOfAircons == 0 ? 100.0f : 70.0f);
  EXPECT_EQ(emergencytimerLoop, 1u);
  EXPECT_EQ(switchesOnly(second), settings.numberOfAircons == 2   ? (Actuations{"ac2 on", "ac1 on"})
                                  : settings.numberOfAircons == 1 ? Actuations{"ac1 on"}
                                                                  : Actuations{})
      << "the units keep running for the next mode";
}

INSTANTIATE_TEST_SUITE_P(
    Table, EmergencyDropOutTest,
    ::testing::Values(HandOverCase{"TwoUnits", {2, 1}, 35.99f, kTwo},
                      HandOverCase{"ThreeUnits", {3, 0}, 30.0f, kTwo},
                      HandOverCase{"OneUnit", {1, 1}, 30.0f, kSingle},
                      HandOverCase{"NoUnitsFreeAir", {0, 1}, 30.0f, kFree},
                      HandOverCase{"NoUnitsNoFreeAir", {0, 0}, 30.0f, kNone},
                      HandOverCase{"NoUnitsFreeAirByteTwo", {0, 2}, 30.0f, kNone},
                      HandOverCase{"AtDropOutStays", {2, 1}, 36.0f, kEmergency},
                      HandOverCase{"InternalNotANumberStays", {2, 1}, kNaN, kEmergency}),
    RowName());

// ---- Fan ramps ----------------------------------------------------------------

TEST_F(EmergencyTest, RampUpExpiryWaitsForFreeAir) {
  settings.useFreeAir = 0;
  settings.apply();
  emergencytimerLoop = 1;
  fanSpeedPercent = 50.0f;
  fanRampUpTimeFlag = set;
  ControllerRig::setTemperatures(41.0f, 15.0f);
  rig.pass();
  EXPECT_EQ(fanRampUpTimeFlag, set);
  EXPECT_EQ(fanSpeedPercent, 50.0f);
}

// The pull-in starts the ramp-down; a Value below 10 loads 0 and the fan
// keeps its speed.
TEST_F(EmergencyTest, PullInRampWithValueBelowTenNeverMovesTheFan) {
  rig.startIn(freeAirCoolingModeState);
  settings.fanRampDownTimeValue = 9;
  settings.apply();
  fanSpeedPercent = 50.0f;
  freeAirTimerLoop = 2;
  ControllerRig::setTemperatures(41.0f, 15.0f);
  std::vector<std::string> writes = lastFanWrites(rig.passes(40));
  EXPECT_EQ(writes, std::vector<std::string>(40, "fan 50"));
}

// ---- Fan band -----------------------------------------------------------------

struct BandCase {
  const char* name;
  Units units;
  uint8_t useFanInHiTemp;
  bool firstPass;  // the first emergency pass, or a later one
  uint8_t bandBefore;
  float internal;
  uint8_t bandAfter;
  uint32_t rampDownRegister;
  uint32_t rampUpRegister;
};

using EmergencyBandTest = TableTest<EmergencyTest, BandCase>;

// The first emergency pass sets the band from the temperature, and between
// the edges keeps what the previous emergency left; it switches no unit. A
// later pass steps the band, which only chooses the ramp timer that runs:
// both registers start at 7 (6 after the pass's count-down) unless the band
// restarts or cancels them.
TEST_P(EmergencyBandTest, PicksTheBandAndItsRampTimer) {
  settings.useFanInHiTemp = row.useFanInHiTemp;
  settings.apply(row.units);
  emergencytimerLoop = row.firstPass ? 0 : 1;
  extraHighTempFanMode = row.bandBefore;
  fanRampDownTimeRegister = fanRampUpTimeRegister = 7;
  ControllerRig::setTemperatures(row.internal, 15.0f);
  Actuations actuations = rig.pass();
  EXPECT_EQ(extraHighTempFanMode, row.bandAfter);
  EXPECT_EQ(fanRampDownTimeRegister, row.rampDownRegister);
  EXPECT_EQ(fanRampUpTimeRegister, row.rampUpRegister);
  EXPECT_EQ(emergencytimerLoop, 1u);
  if (row.firstPass) {
    EXPECT_EQ(actuations, Actuations{"fan 0"}) << "no unit is switched in the first pass";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, EmergencyBandTest,
    ::testing::Values(BandCase{"FirstPassAtTopEdge", {2, 1}, 1, true, 3, 45.0f, 0, 6, 6},
                      BandCase{"FirstPassBelowBottomEdge", {2, 1}, 1, true, 0, 42.99f, 1, 6, 6},
                      BandCase{"FirstPassAtBottomEdgeKeeps", {2, 1}, 1, true, 3, 43.0f, 3, 6, 6},
                      BandCase{
                          "FirstPassBetweenKeepsStartValue", {2, 1}, 1, true, 0, 44.0f, 0, 6, 6},
                      BandCase{"FirstPassNotANumberKeeps", {2, 1}, 1, true, 2, kNaN, 2, 6, 6},
                      // The first pass sets the band whatever the option says.
                      BandCase{"FirstPassWithoutTheBand", {2, 1}, 0, true, 0, 45.0f, 0, 6, 6},
                      BandCase{"HotStartsRampUp", {2, 1}, 1, false, 0, 44.0f, 2, 0, 3},
                      BandCase{"CoolStartsRampDown", {2, 1}, 1, false, 1, 44.0f, 3, 3, 0},
                      BandCase{"RampingUpBelowBottom", {2, 1}, 1, false, 2, 42.99f, 1, 6, 6},
                      BandCase{"RampingUpAtBottom", {2, 1}, 1, false, 2, 43.0f, 2, 6, 6},
                      BandCase{"RampingDownAtTop", {2, 1}, 1, false, 3, 45.0f, 0, 6, 6},
                      BandCase{"RampingDownBelowTop", {2, 1}, 1, false, 3, 44.99f, 3, 6, 6},
                      BandCase{"NotANumberKeeps", {2, 1}, 1, false, 2, kNaN, 2, 6, 6},
                      BandCase{"OffWithoutFreeAir", {2, 0}, 1, false, 0, 44.0f, 0, 6, 6},
                      BandCase{"OffWithOptionByteTwo", {2, 1}, 2, false, 0, 44.0f, 0, 6, 6},
                      BandCase{"OffWithoutUnits", {0, 1}, 1, false, 0, 44.0f, 0, 6, 6}),
    RowName());

// At the first emergency since start the band is still 0: between the edges
// the second pass cancels the pull-in's ramp-down and starts a ramp-up
// although the temperature is below the top edge.
TEST_F(EmergencyTest, FirstEmergencyBetweenEdgesRampsUp) {
  rig.startIn(aircon1CoolingModeState);
  settings.useFanInHiTemp = 1;
  settings.apply();
  AirCon1timerLoop = 1;
  ControllerRig::setTemperatures(44.0f, 15.0f);
  rig.pass();
  EXPECT_EQ(fanRampDownTimeRegister, 3u);
  rig.pass();
  EXPECT_EQ(extraHighTempFanMode, 2);
  EXPECT_EQ(fanRampDownTimeRegister, 0u);
  EXPECT_EQ(fanRampUpTimeRegister, 3u);
}

}  // namespace
