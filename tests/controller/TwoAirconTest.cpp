// Two-aircon cooling: both units on, the fan stopped on a fresh entry, and
// the hand-back to single-aircon cooling.
//
// Settings unless a case says otherwise (degrees Celsius): second unit
// drop-out 29, pull-in 32; two units; ramp-down Value 30 (a step every 3
// passes).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ControllerRig.h"
#include "frigel.h"

namespace {

using TwoAirconTest = ModeTest<aircon2CoolingModeState>;

// Entered while the fan still ramps down after free air: both units start
// and the fan stops in the same pass.
TEST_F(TwoAirconTest, FirstStepStartsBothUnitsAndStopsTheFan) {
  ControllerRig::markUnitOn(1);
  fanSpeedPercent = 60.0f;
  fanRampDownTimeFlag = set;
  aircon2MinimumTimeOutFlag = set;
  freeAirTimerLoop = 2;
  AirCon1timerLoop = emergencytimerLoop = 1;
  ControllerRig::setTemperatures(20.0f, 15.0f);
  EXPECT_EQ(rig.pass(), (Actuations{"ac2 on", "fan 0"}));
  EXPECT_EQ(aircon2RunTimeRegister, settings.aircon2MinimumRunTimeValue);
  EXPECT_EQ(aircon2MinimumTimeOutFlag, set) << "the first step leaves the flag alone";
  EXPECT_EQ(coolState, aircon2CoolingModeState) << "the first step decides nothing";
  EXPECT_EQ(AirCon2timerLoop, 1u);
  EXPECT_EQ(freeAirTimerLoop + AirCon1timerLoop + emergencytimerLoop, 0u);
}

using TwoAirconHandBackTest = HandOverTest<aircon2CoolingModeState>;

// Once the second unit's minimum run time is over, a temperature below its
// drop-out switches the second unit off and continues single-aircon cooling
// without a first step of its own.
TEST_P(TwoAirconHandBackTest, HandsBackBelowTheSecondDropOut) {
  running(true);
  aircon1MinimumTimeOutFlag = set;
  Actuations actuations = rig.pass();
  EXPECT_EQ(coolState, row.next);
  EXPECT_EQ(AirCon2timerLoop, 1u);
  if (row.next == kSingle) {
    EXPECT_EQ(actuations, (Actuations{"ac2 off", "fan 0"}));
    EXPECT_EQ(aircon1RunTimeRegister, settings.aircon1MinimumRunTimeValue);
    EXPECT_EQ(AirCon1timerLoop, 1u);
    EXPECT_EQ(aircon1MinimumTimeOutFlag, clear);
    EXPECT_EQ(aircon2MinimumTimeOutFlag, clear);
  } else {
    EXPECT_EQ(actuations, Actuations{"fan 0"});
    EXPECT_EQ(aircon1MinimumTimeOutFlag, set);
  }
}

INSTANTIATE_TEST_SUITE_P(Table, TwoAirconHandBackTest,
                         ::testing::Values(HandOverCase{"BelowDropOut", {2, 1}, 28.99f, kSingle},
                                           HandOverCase{"AtDropOutKeepsBoth", {2, 1}, 29.0f, kTwo},
                                           HandOverCase{"InternalNotANumber", {2, 1}, kNaN, kTwo}),
                         RowName());

// Before the second unit's minimum run time is over, even a cool room keeps
// both units.
TEST_F(TwoAirconTest, KeepsBothUnitsForTheMinimumRunTime) {
  running();
  ControllerRig::setTemperatures(10.0f, 15.0f);
  EXPECT_EQ(rig.pass(), Actuations{"fan 0"});
  EXPECT_EQ(coolState, aircon2CoolingModeState);
}

// With rotation, the hand-back switches off the unit in the second role and
// leaves the first role where it is.
TEST_F(TwoAirconTest, HandBackWithRotationKeepsTheFirstRole) {
  settings.airconRotation = 1;
  settings.apply();
  running(true);
  ControllerRig::setTemperatures(20.0f, 15.0f);
  EXPECT_EQ(switchesOnly(rig.pass()), Actuations{"ac1 off"});
  EXPECT_EQ(lastAirconOff, 0);
  EXPECT_EQ(aircon2, 1);
}

// Back in single-aircon cooling with no other mode in between, the return
// to two-aircon cooling makes no first step: the fan is not stopped, and
// the second unit's run time is the one loaded at the hand-over.
TEST_F(TwoAirconTest, ReturnFromSingleAirconMakesNoFirstStep) {
  running(true);
  ControllerRig::setTemperatures(20.0f, 30.0f);
  rig.pass();
  ASSERT_EQ(coolState, aircon1CoolingModeState);
  aircon1MinimumTimeOutFlag = set;
  fanSpeedPercent = 50.0f;
  ControllerRig::setTemperatures(33.0f, 30.0f);
  EXPECT_EQ(rig.pass(), Actuations{"fan 50"}) << "single-aircon hands over";
  ASSERT_EQ(coolState, aircon2CoolingModeState);
  EXPECT_EQ(rig.pass(), (Actuations{"ac2 on", "fan 50"}))
      << "no first step: the fan keeps its speed";
  EXPECT_EQ(aircon2RunTimeRegister, settings.aircon2MinimumRunTimeValue - 1);
}

}  // namespace
