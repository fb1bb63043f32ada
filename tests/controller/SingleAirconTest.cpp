// Single-aircon cooling: the first step and the four hand-over rules once
// the minimum run time is over (its fan ramp-down: FanRampTest.cpp).
//
// Settings unless a case says otherwise (degrees Celsius): first unit
// pull-in 28 / drop-out 25, second unit pull-in 32, emergency pull-in 40;
// two units; ramp-down Value 30 (a step every 3 passes).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ControllerRig.h"
#include "frigel.h"

namespace {

using SingleAirconTest = ModeTest<aircon1CoolingModeState>;

// The first step switches the first unit on, starts its minimum run time
// afresh (a flag left by an earlier run is cleared) and the fan ramp, and
// decides nothing, whatever the temperatures.
TEST_F(SingleAirconTest, FirstStepStartsTheUnitAndDecidesNothing) {
  aircon1MinimumTimeOutFlag = set;
  freeAirTimerLoop = 2;
  AirCon2timerLoop = emergencytimerLoop = 1;
  ControllerRig::setTemperatures(10.0f, 10.0f);
  EXPECT_EQ(rig.pass(), (Actuations{"ac1 on", "fan 0"}));
  EXPECT_EQ(coolState, aircon1CoolingModeState);
  EXPECT_EQ(aircon1RunTimeRegister, settings.aircon1MinimumRunTimeValue);
  EXPECT_EQ(aircon1MinimumTimeOutFlag, clear) << "a new run starts with the flag down";
  EXPECT_EQ(fanRampDownTimeRegister, 3u);
  EXPECT_EQ(AirCon1timerLoop, 1u);
  EXPECT_EQ(freeAirTimerLoop + AirCon2timerLoop + emergencytimerLoop, 0u);
}

// Every later step keeps the first unit on and the second off.
TEST_F(SingleAirconTest, LaterStepsKeepOnlyTheFirstUnitRunning) {
  AirCon1timerLoop = 1;
  ControllerRig::markUnitOn(2);
  ControllerRig::setTemperatures(27.0f, 30.0f);
  EXPECT_EQ(rig.pass(), (Actuations{"ac1 on", "ac2 off", "fan 0"}));
  EXPECT_EQ(rig.pass(), Actuations{"fan 0"});
}

// ---- Hand-over ------------------------------------------------------------------

using SingleAirconHandOverTest = HandOverTest<aircon1CoolingModeState>;

// With the minimum run time over, the first matching rule hands over; no
// unit is switched on the way, and the fan only changes for free air at
// full speed.
TEST_P(SingleAirconHandOverTest, FirstMatchingRuleApplies) {
  running(true);
  aircon2MinimumTimeOutFlag = set;
  fanRampDownTimeFlag = set;
  // Raised by an earlier run-on that ran out during this mode.
  airconRunTimeAfterDropOutFlag = set;
  fanSpeedPercent = 0.0f;

  Actuations actuations = rig.pass();

  EXPECT_EQ(coolState, row.next);
  EXPECT_EQ(switchesOnly(actuations), Actuations{}) << "a hand-over switches no unit";
  EXPECT_EQ(AirCon1timerLoop, 1u);
  const bool fullFreeAir =
      row.next == freeAirCoolingModeState && row.external < 28.0f && row.internal >= 25.0f;
  EXPECT_EQ(fanSpeedPercent, fullFreeAir ? 100.0f : 0.0f);
  switch (row.next) {
    case aircon2CoolingModeState:
      EXPECT_EQ(aircon2RunTimeRegister, settings.aircon2MinimumRunTimeValue);
      EXPECT_EQ(aircon2MinimumTimeOutFlag, clear);
      EXPECT_EQ(aircon1MinimumTimeOutFlag, clear);
      EXPECT_EQ(fanRampDownTimeRegister, 3u);
      EXPECT_EQ(fanRampDownTimeFlag, clear);
      break;
    case freeAirCoolingModeState:
      EXPECT_EQ(airconRunTimeAfterDropOutRegister, settings.airconRunTimeAfterDropOutValue);
      EXPECT_EQ(airconRunTimeAfterDropOutFlag, clear) << "the run-on starts afresh";
      EXPECT_EQ(fanMinimumRunTimePreCoolingRegister,
                fullFreeAir ? 0u : settings.fanMinimumRunTimePreCoolingValue);
      EXPECT_EQ(aircon1MinimumTimeOutFlag, clear);
      break;
    default:
      // No cooling, or the mode stays: nothing else changes.
      EXPECT_EQ(aircon1MinimumTimeOutFlag, set);
      EXPECT_EQ(aircon2MinimumTimeOutFlag, set);
      EXPECT_EQ(airconRunTimeAfterDropOutRegister, 0u);
      EXPECT_EQ(airconRunTimeAfterDropOutFlag, set);
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, SingleAirconHandOverTest,
    ::testing::Values(
        // The second unit, below the emergency pull-in, when there are two or more.
        HandOverCase{"AtSecondPullIn", {2, 1}, 32.0f, kTwo, 30.0f},
        HandOverCase{"SecondUnitBeatsFreeAir", {2, 1}, 32.0f, kTwo, 20.0f},
        HandOverCase{"ThreeUnitsCountAsMore", {3, 0}, 35.0f, kTwo, 30.0f},
        HandOverCase{"OneUnitNeverAddsTheSecond", {1, 1}, 32.0f, kSingle, 30.0f},
        HandOverCase{"JustBelowSecondPullInStays", {2, 1}, 31.99f, kSingle, 30.0f},
        // Outside air cooler than the first pull-in, at or above the drop-out: free air
        // at full speed.
        HandOverCase{"CoolOutsideAtDropOutGoesFreeAir", {2, 1}, 25.0f, kFree, 20.0f},
        HandOverCase{"OneUnitCoolOutsideGoesFreeAir", {1, 1}, 32.0f, kFree, 20.0f},
        HandOverCase{"OutsideAtFirstPullInStays", {2, 1}, 27.0f, kSingle, 28.0f},
        HandOverCase{"AboveDropOutWithoutFreeAirStays", {2, 0}, 27.0f, kSingle, 20.0f},
        HandOverCase{"ExternalNotANumberStays", {2, 1}, 27.0f, kSingle, kNaN},
        // Below the drop-out: free air, or no cooling without it.
        HandOverCase{"BelowDropOutGoesFreeAir", {2, 1}, 24.99f, kFree, 30.0f},
        HandOverCase{"BelowDropOutCoolOutsideGoesFreeAir", {2, 1}, 24.99f, kFree, 20.0f},
        HandOverCase{"ExternalNotANumberBelowDropOut", {2, 1}, 24.0f, kFree, kNaN},
        HandOverCase{"BelowDropOutWithoutFreeAirEnds", {2, 0}, 24.99f, kNone, 20.0f},
        HandOverCase{"BelowDropOutFreeAirByteTwoEnds", {2, 2}, 24.99f, kNone, 20.0f},
        HandOverCase{"InternalNotANumberStays", {2, 1}, kNaN, kSingle, 20.0f}),
    RowName());

// Before the minimum run time is over the mode never hands over; it does in
// the very pass the run time expires.
TEST_F(SingleAirconTest, HoldsForTheMinimumRunTime) {
  settings.useFreeAir = 0;
  settings.aircon1MinimumRunTimeValue = 6;
  settings.apply();
  ControllerRig::setTemperatures(10.0f, 10.0f);
  // First step in pass 1; expiry, and the hand-over, in pass 7.
  EXPECT_EQ(rig.watch(8, coolState),
            (std::vector<eCoolingModeState>{kSingle, kSingle, kSingle, kSingle, kSingle, kSingle,
                                            kNone, kNone}));
}

// ---- Compressor protection -------------------------------------------------------

// A run that this mode starts lasts its minimum run time, whatever flag an
// earlier run or an emergency left set: the room cooling at once after a
// restart does not stop the unit two passes after it was switched on.
struct LeftFlagCase {
  const char* name;
  eCoolingModeState before;  // the mode whose run left the flag set
};

using SingleAirconLeftFlagTest = TableTest<SingleAirconTest, LeftFlagCase>;

TEST_P(SingleAirconLeftFlagTest, ANewRunLastsItsMinimumRunTime) {
  settings.numberOfAircons = 1;
  settings.useFreeAir = 0;
  settings.aircon1MinimumRunTimeValue = 6;
  settings.apply();
  coolState = row.before;
  // The earlier run is over and its minimum run time ran out; the unit was
  // switched off by no cooling.
  aircon1MinimumTimeOutFlag = set;
  ControllerRig::setTemperatures(29.0f, 20.0f);  // warm again: back to one unit
  if (coolState == emergencyCoolingModeState) {
    // The emergency ends at once and hands over to single-aircon mode with
    // the unit still running.
    emergencytimerLoop = 1;
    ControllerRig::markUnitOn(1);
    rig.pass();
  } else {
    rig.pass();  // no cooling hands over
  }
  ASSERT_EQ(coolState, aircon1CoolingModeState);
  rig.pass();  // the first step: the unit runs
  ASSERT_EQ(aircon1, on);
  ControllerRig::setTemperatures(20.0f, 20.0f);  // and the room cools at once
  // Six passes of minimum run time from the first step: the hand-over comes
  // with the expiry in the sixth.
  EXPECT_EQ(
      rig.watch(7, coolState),
      (std::vector<eCoolingModeState>{kSingle, kSingle, kSingle, kSingle, kSingle, kNone, kNone}));
}

INSTANTIATE_TEST_SUITE_P(Table, SingleAirconLeftFlagTest,
                         ::testing::Values(LeftFlagCase{"AfterAnEarlierRun", kNone},
                                           LeftFlagCase{"AfterAnEmergency",
                                                        emergencyCoolingModeState}),
                         RowName());

// Handed over to free air with a run-on flag left by an earlier run-on, the
// unit still runs on for the whole after-drop-out time before free air
// switches it off.
TEST_F(SingleAirconTest, HandOverToFreeAirRunsTheUnitOnForItsWholeRunOn) {
  settings.airconRunTimeAfterDropOutValue = 4;
  settings.apply();
  running(true);
  airconRunTimeAfterDropOutFlag = set;
  ControllerRig::setTemperatures(24.0f, 20.0f);  // below the drop-out, cool outside
  rig.pass();
  ASSERT_EQ(coolState, freeAirCoolingModeState);
  std::vector<std::string> switches;
  for (int i = 0; i < 5; ++i) {
    Actuations one = switchesOnly(rig.pass());
    switches.push_back(one.empty() ? "" : one.front());
  }
  EXPECT_EQ(switches, (std::vector<std::string>{"", "", "", "ac1 off", ""}));
}

}  // namespace
