// Emergency cooling: the units by physical number, the fan ramps, the
// high-temperature fan band and the drop-out.
//
// Settings unless a case says otherwise (degrees Celsius): emergency pull-in
// 40 / drop-out 36, fan band 43 to 45; two units; ramp Values 30 (a step
// every 3 passes).
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "ControllerRig.h"
#include "frigel.h"

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();

class EmergencyTest : public ControllerTest {
 protected:
  void SetUp() override {
    ControllerTest::SetUp();
    rig.startIn(emergencyCoolingModeState);
    settings.apply();
  }
  ControllerSettings settings;
};

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
  uint8_t numberOfAircons;
  uint8_t useFreeAir;
  bool unit1On;
  bool unit2On;
  Actuations actuations;
};

using EmergencyUnitTest = TableTest<EmergencyTest, UnitCase>;

TEST_P(EmergencyUnitTest, RunsEveryInstalledUnit) {
  const UnitCase& c = GetParam();
  settings.numberOfAircons = c.numberOfAircons;
  settings.useFreeAir = c.useFreeAir;
  settings.apply();
  emergencytimerLoop = 1;
  if (c.unit1On) {
    ControllerRig::markUnitOn(1);
  }
  if (c.unit2On) {
    ControllerRig::markUnitOn(2);
  }
  fanSpeedPercent = 30.0f;
  ControllerRig::setTemperatures(41.0f, 15.0f);
  EXPECT_EQ(rig.pass(), c.actuations);
  EXPECT_EQ(coolState, emergencyCoolingModeState);
}

INSTANTIATE_TEST_SUITE_P(
    Table, EmergencyUnitTest,
    ::testing::Values(UnitCase{"TwoUnitsOff", 2, 1, false, false, {"ac2 on", "ac1 on", "fan 30"}},
                      UnitCase{"TwoUnitsOneRunning", 2, 1, false, true, {"ac1 on", "fan 30"}},
                      UnitCase{"OneUnitRunning", 1, 1, true, false, {"fan 30"}},
                      UnitCase{"OneUnitOff", 1, 0, false, false, {"ac1 on", "fan 30"}},
                      // Without units the fan runs full; with free air any unit recorded on
                      // is switched off, unit 2 first.
                      UnitCase{
                          "NoUnitsFreeAir", 0, 1, true, true, {"ac2 off", "ac1 off", "fan 100"}},
                      UnitCase{"NoUnitsNoFreeAir", 0, 0, true, true, {"fan 100"}},
                      UnitCase{"NoUnitsFreeAirByteTwo", 0, 2, true, true, {"fan 100"}},
                      UnitCase{"ThreeUnits", 3, 1, false, false, {"fan 30"}}),
    RowName());

// ---- Drop-out -----------------------------------------------------------------

struct DropOutCase {
  const char* name;
  uint8_t numberOfAircons;
  uint8_t useFreeAir;
  float internal;
  eCoolingModeState next;
};

using EmergencyDropOutTest = TableTest<EmergencyTest, DropOutCase>;

// The first emergency pass makes no drop-out test; from the second on, a
// temperature below the drop-out leaves for the mode that suits the units,
// with the fan and the units left as they are.
TEST_P(EmergencyDropOutTest, LeavesFromTheSecondPassOn) {
  const DropOutCase& c = GetParam();
  settings.numberOfAircons = c.numberOfAircons;
  settings.useFreeAir = c.useFreeAir;
  settings.apply();
  fanSpeedPercent = 70.0f;
  freeAirTimerLoop = 3;
  AirCon1timerLoop = AirCon2timerLoop = 1;
  ControllerRig::setTemperatures(c.internal, 15.0f);
  rig.pass();
  EXPECT_EQ(coolState, emergencyCoolingModeState);
  EXPECT_EQ(freeAirTimerLoop + AirCon1timerLoop + AirCon2timerLoop, 0u)
      << "the next mode will start with its first step";
  Actuations second = rig.pass();
  EXPECT_EQ(coolState, c.next);
  EXPECT_EQ(fanSpeedPercent, c.numberOfAircons == 0 ? 100.0f : 70.0f);
  EXPECT_EQ(emergencytimerLoop, 1u);
  EXPECT_EQ(switchesOnly(second), c.numberOfAircons == 2   ? (Actuations{"ac2 on", "ac1 on"})
                                  : c.numberOfAircons == 1 ? Actuations{"ac1 on"}
                                                           : Actuations{})
      << "the units keep running for the next mode";
}

INSTANTIATE_TEST_SUITE_P(
    Table, EmergencyDropOutTest,
    ::testing::Values(DropOutCase{"TwoUnits", 2, 1, 35.99f, aircon2CoolingModeState},
                      DropOutCase{"ThreeUnits", 3, 0, 30.0f, aircon2CoolingModeState},
                      DropOutCase{"OneUnit", 1, 1, 30.0f, aircon1CoolingModeState},
                      DropOutCase{"NoUnitsFreeAir", 0, 1, 30.0f, freeAirCoolingModeState},
                      DropOutCase{"NoUnitsNoFreeAir", 0, 0, 30.0f, noCoolingModeState},
                      DropOutCase{"NoUnitsFreeAirByteTwo", 0, 2, 30.0f, noCoolingModeState},
                      DropOutCase{"AtDropOutStays", 2, 1, 36.0f, emergencyCoolingModeState},
                      DropOutCase{"InternalNotANumberStays", 2, 1, kNaN,
                                  emergencyCoolingModeState}),
    RowName());

// ---- Fan ramps ----------------------------------------------------------------

struct RampCase {
  const char* name;
  uint8_t useFreeAir;
  float fanBefore;
  bool rampUp;
  uint32_t rampValue;
  std::vector<std::string> fanWrites;
};

using EmergencyRampTest = TableTest<EmergencyTest, RampCase>;

// One step of 10 at each expiry of the running ramp timer; at the end of a
// ramp the timer is not restarted.
TEST_P(EmergencyRampTest, StepsAtEachExpiry) {
  const RampCase& c = GetParam();
  settings.useFreeAir = c.useFreeAir;
  settings.fanRampDownTimeValue = c.rampValue;
  settings.fanRampUpTimeValue = c.rampValue;
  settings.apply();
  emergencytimerLoop = 1;
  ControllerRig::markUnitOn(1);
  ControllerRig::markUnitOn(2);
  fanSpeedPercent = c.fanBefore;
  (c.rampUp ? fanRampUpTimeFlag : fanRampDownTimeFlag) = set;
  ControllerRig::setTemperatures(41.0f, 15.0f);
  EXPECT_EQ(lastFanWrites(rig.passes(static_cast<int>(c.fanWrites.size()))), c.fanWrites);
  EXPECT_EQ(fanRampDownTimeRegister, 0u);
  EXPECT_EQ(fanRampUpTimeRegister, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Table, EmergencyRampTest,
    ::testing::Values(
        RampCase{"DownFrom35",
                 1,
                 35.0f,
                 false,
                 30,
                 {"fan 25", "fan 25", "fan 25", "fan 15", "fan 15", "fan 15", "fan 5", "fan 5",
                  "fan 5", "fan 0", "fan 0", "fan 0"}},
        RampCase{"DownWithoutFreeAir",
                 0,
                 15.0f,
                 false,
                 30,
                 {"fan 5", "fan 5", "fan 5", "fan 0", "fan 0"}},
        RampCase{"DownAboveFull", 1, 120.0f, false, 30, {"fan 0", "fan 0", "fan 0", "fan 0"}},
        RampCase{
            "UpFrom85", 1, 85.0f, true, 30, {"fan 95", "fan 95", "fan 95", "fan 100", "fan 100"}},
        RampCase{"UpFrom90EndsTheRamp", 1, 90.0f, true, 30, {"fan 100"}},
        RampCase{"UpWithoutFreeAirNeverMoves", 0, 85.0f, true, 30, {"fan 85", "fan 85", "fan 85"}},
        // A Value below 10 loads 0: one step from the raised flag, then none.
        RampCase{
            "DownValueBelowTen", 1, 50.0f, false, 9, {"fan 40", "fan 40", "fan 40", "fan 40"}}),
    RowName());

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

struct BandStartCase {
  const char* name;
  float internal;
  uint8_t bandBefore;
  uint8_t bandAfter;
};

using EmergencyBandStartTest = TableTest<EmergencyTest, BandStartCase>;

// The first emergency pass sets the band from the temperature; between the
// edges the band keeps what the previous emergency left.
TEST_P(EmergencyBandStartTest, FirstPassPicksTheBand) {
  const BandStartCase& c = GetParam();
  extraHighTempFanMode = c.bandBefore;
  ControllerRig::setTemperatures(c.internal, 15.0f);
  EXPECT_EQ(rig.pass(), Actuations{"fan 0"}) << "no unit is switched in the first pass";
  EXPECT_EQ(extraHighTempFanMode, c.bandAfter);
  EXPECT_EQ(emergencytimerLoop, 1u);
}

INSTANTIATE_TEST_SUITE_P(Table, EmergencyBandStartTest,
                         ::testing::Values(BandStartCase{"AtTopEdge", 45.0f, 3, 0},
                                           BandStartCase{"BelowBottomEdge", 42.99f, 0, 1},
                                           BandStartCase{"AtBottomEdgeKeeps", 43.0f, 3, 3},
                                           BandStartCase{"BetweenKeepsStartValue", 44.0f, 0, 0},
                                           BandStartCase{"NotANumberKeeps", kNaN, 2, 2}),
                         RowName());

struct BandStepCase {
  const char* name;
  uint8_t useFanInHiTemp;
  uint8_t useFreeAir;
  uint8_t numberOfAircons;
  uint8_t bandBefore;
  float internal;
  uint8_t bandAfter;
  uint32_t rampDownRegister;
  uint32_t rampUpRegister;
};

using EmergencyBandStepTest = TableTest<EmergencyTest, BandStepCase>;

// The band only chooses which ramp timer runs: both registers start at 7
// (6 after the pass's count-down) unless the band restarts or cancels them.
TEST_P(EmergencyBandStepTest, ChoosesTheRunningRampTimer) {
  const BandStepCase& c = GetParam();
  settings.useFanInHiTemp = c.useFanInHiTemp;
  settings.useFreeAir = c.useFreeAir;
  settings.numberOfAircons = c.numberOfAircons;
  settings.apply();
  emergencytimerLoop = 1;
  extraHighTempFanMode = c.bandBefore;
  fanRampDownTimeRegister = 7;
  fanRampUpTimeRegister = 7;
  ControllerRig::setTemperatures(c.internal, 15.0f);
  rig.pass();
  EXPECT_EQ(extraHighTempFanMode, c.bandAfter);
  EXPECT_EQ(fanRampDownTimeRegister, c.rampDownRegister);
  EXPECT_EQ(fanRampUpTimeRegister, c.rampUpRegister);
}

INSTANTIATE_TEST_SUITE_P(
    Table, EmergencyBandStepTest,
    ::testing::Values(BandStepCase{"HotStartsRampUp", 1, 1, 2, 0, 44.0f, 2, 0, 3},
                      BandStepCase{"CoolStartsRampDown", 1, 1, 2, 1, 44.0f, 3, 3, 0},
                      BandStepCase{"RampingUpBelowBottom", 1, 1, 2, 2, 42.99f, 1, 6, 6},
                      BandStepCase{"RampingUpAtBottom", 1, 1, 2, 2, 43.0f, 2, 6, 6},
                      BandStepCase{"RampingDownAtTop", 1, 1, 2, 3, 45.0f, 0, 6, 6},
                      BandStepCase{"RampingDownBelowTop", 1, 1, 2, 3, 44.99f, 3, 6, 6},
                      BandStepCase{"NotANumberKeeps", 1, 1, 2, 2, kNaN, 2, 6, 6},
                      BandStepCase{"OffWithoutFreeAir", 1, 0, 2, 0, 44.0f, 0, 6, 6},
                      BandStepCase{"OffWithOptionByteTwo", 2, 1, 2, 0, 44.0f, 0, 6, 6},
                      BandStepCase{"OffWithoutUnits", 1, 1, 0, 0, 44.0f, 0, 6, 6}),
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
