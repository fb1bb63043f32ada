// Free-air cooling: its steps (start, pre-cooling run, regulation, waits
// after a fan step, pre-aircon run) and its prologue.
//
// Settings unless a case says otherwise (degrees Celsius): goal 24, outside
// margin 2, cooling pull-in 22, first unit pull-in 28; fan steps of 10;
// two units.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ControllerRig.h"
#include "frigel.h"

namespace {

class FreeAirTest : public ModeTest<freeAirCoolingModeState> {
 protected:
  // Puts the mode at `step` with the fan at `fanPercent`, as if it had got
  // there by itself.
  static void at(uint32_t step, float fanPercent) {
    freeAirTimerLoop = step;
    fanSpeedPercent = fanPercent;
  }
};

// ---- Step 0 -------------------------------------------------------------------

struct StartCase {
  const char* name;
  float internal;
  float external;
  float fanPercent;
  bool preCoolingFlagCleared;
};

using FreeAirStartTest = TableTest<FreeAirTest, StartCase>;

// Outside air cooler than the room by more than the margin: full fan;
// otherwise the lowest speed, and a pre-cooling expiry left over from an
// earlier run is dropped.
TEST_P(FreeAirStartTest, ChoosesTheFirstSpeed) {
  fanMinimumRunTimePreCoolingFlag = set;
  AirCon1timerLoop = AirCon2timerLoop = emergencytimerLoop = 1;
  ControllerRig::setTemperatures(row.internal, row.external);
  EXPECT_EQ(rig.pass(), Actuations{"fan " + std::to_string(static_cast<int>(row.fanPercent))});
  EXPECT_EQ(fanMinimumRunTimePreCoolingFlag, row.preCoolingFlagCleared ? clear : set);
  EXPECT_EQ(freeAirTimerLoop, 1u);
  EXPECT_EQ(AirCon1timerLoop + AirCon2timerLoop + emergencytimerLoop, 0u);
  EXPECT_EQ(fanMinimumRunTimePreCoolingRegister, settings.fanMinimumRunTimePreCoolingValue);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FreeAirStartTest,
    ::testing::Values(StartCase{"OutsideCoolEnough", 25.0f, 20.0f, 100.0f, false},
                      StartCase{"InsideEqualsOutsideLessMargin", 18.0f, 20.0f, 1.0f, true},
                      StartCase{"OutsideTooWarm", 25.0f, 30.0f, 1.0f, true},
                      StartCase{"InternalNotANumber", kNaN, 20.0f, 1.0f, true},
                      StartCase{"ExternalNotANumber", 25.0f, kNaN, 1.0f, true}),
    RowName());

// A pre-cooling expiry left over from an earlier run ends step 1 at once
// when step 0 chose full speed.
TEST_F(FreeAirTest, LeftOverPreCoolingExpiryEndsThePreCoolingRunAtOnce) {
  fanMinimumRunTimePreCoolingFlag = set;
  ControllerRig::setTemperatures(25.0f, 15.0f);
  rig.passes(2);
  EXPECT_EQ(freeAirTimerLoop, 2u);
}

// ---- Step 1 -------------------------------------------------------------------

TEST_F(FreeAirTest, PreCoolingRunLastsItsDuration) {
  settings.fanMinimumRunTimePreCoolingValue = 5;
  settings.apply();
  ControllerRig::setTemperatures(25.0f, 15.0f);
  // Loaded in pass 1, expires in pass 6; at full speed there is no step up.
  EXPECT_EQ(rig.watch(7, freeAirTimerLoop), (std::vector<uint32_t>{1, 1, 1, 1, 1, 2, 2}));
}

TEST_F(FreeAirTest, PreCoolingRunEndingAtFirstPullInCallsAnAircon) {
  at(1, 100.0f);
  fanMinimumRunTimePreCoolingFlag = set;
  ControllerRig::setTemperatures(28.0f, 15.0f);
  rig.pass();
  EXPECT_EQ(coolState, aircon1CoolingModeState);
  EXPECT_EQ(aircon1RunTimeRegister, settings.aircon1MinimumRunTimeValue);
  EXPECT_EQ(freeAirTimerLoop, 2u);
  EXPECT_EQ(fanMinimumRunTimePreCoolingFlag, clear);
}

TEST_F(FreeAirTest, PreCoolingRunWithoutUnitsGoesOnToRegulation) {
  settings.numberOfAircons = 0;
  settings.apply();
  at(1, 100.0f);
  fanMinimumRunTimePreCoolingFlag = set;
  ControllerRig::setTemperatures(30.0f, 15.0f);
  rig.pass();
  EXPECT_EQ(coolState, freeAirCoolingModeState);
  EXPECT_EQ(freeAirTimerLoop, 2u);
}

// ---- Step 2 -------------------------------------------------------------------

struct RegulateCase {
  const char* name;
  float internal;
  float external;
  float fanBefore;
  uint8_t numberOfAircons;
  eCoolingModeState mode;
  uint32_t step;
  float fanAfter;
  float stepSize = 10.0f;  // both fan steps, up and down
};

using FreeAirRegulateTest = TableTest<FreeAirTest, RegulateCase>;

// Step sizes are used as configured: only a step up is capped, at 100, and
// a step down never goes below the lowest speed of 1.
TEST_P(FreeAirRegulateTest, OneRegulationStep) {
  settings.numberOfAircons = row.numberOfAircons;
  settings.fanSpeedStepUpSize = settings.fanSpeedStepDownSize = row.stepSize;
  settings.apply();
  at(2, row.fanBefore);
  ControllerRig::setTemperatures(row.internal, row.external);
  rig.pass();
  EXPECT_EQ(coolState, row.mode);
  EXPECT_EQ(freeAirTimerLoop, row.step);
  EXPECT_EQ(fanSpeedPercent, row.fanAfter);
  if (row.mode == aircon1CoolingModeState) {
    EXPECT_EQ(aircon1RunTimeRegister, settings.aircon1MinimumRunTimeValue);
  }
  EXPECT_EQ(fanSpeedIncreaseTimeOutRegister,
            row.step == 4 ? settings.fanSpeedIncreaseTimeOutValue : 0u);
  EXPECT_EQ(fanSpeedDecreaseTimeOutRegister,
            row.step == 3 ? settings.fanSpeedDecreaseTimeOutValue : 0u);
  EXPECT_EQ(fanMinimumRunTimePreAirconRegister,
            row.step == 5 ? settings.fanMinimumRunTimePreAirconValue : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FreeAirRegulateTest,
    ::testing::Values(
        RegulateCase{"BelowCoolingPullInEnds", 21.99f, 10.0f, 50.0f, 2, kNone, 2, 50.0f},
        RegulateCase{"AtCoolingPullInRegulates", 22.0f, 10.0f, 50.0f, 2, kFree, 3, 40.0f},
        RegulateCase{"AboveGoalStepsUp", 25.0f, 20.0f, 50.0f, 2, kFree, 4, 60.0f},
        RegulateCase{"BelowGoalStepsDown", 23.0f, 20.0f, 50.0f, 2, kFree, 3, 40.0f},
        RegulateCase{"AtGoalHolds", 24.0f, 20.0f, 50.0f, 2, kFree, 2, 50.0f},
        RegulateCase{"AtFirstPullInRunsFull", 28.0f, 20.0f, 50.0f, 2, kFree, 5, 100.0f},
        RegulateCase{"AtFirstPullInRunsFullWithoutUnits", 29.0f, 20.0f, 50.0f, 0, kFree, 5, 100.0f},
        // E - M < T <= E: the outside air does not help.
        RegulateCase{"OutsideNotCoolerCallsAircon", 28.0f, 28.0f, 50.0f, 2, kSingle, 2, 50.0f},
        RegulateCase{"OutsideNotCoolerNoUnitsLowestSpeed", 28.0f, 28.0f, 50.0f, 0, kFree, 2, 1.0f},
        RegulateCase{"OutsideNotCoolerBelowPullInLowestSpeed", 25.0f, 25.0f, 50.0f, 2, kFree, 2,
                     1.0f},
        RegulateCase{"OutsideTooWarmEnds", 25.0f, 27.0f, 50.0f, 2, kNone, 2, 1.0f},
        RegulateCase{"InternalNotANumberHolds", kNaN, 20.0f, 50.0f, 2, kFree, 2, 50.0f},
        RegulateCase{"ExternalNotANumberHolds", 25.0f, kNaN, 50.0f, 2, kFree, 2, 50.0f},
        // Steps at 25, above the goal, and at 23, below it.
        RegulateCase{"UpCappedAtFull", 25.0f, 15.0f, 95.0f, 2, kFree, 4, 100.0f},
        RegulateCase{"UpAtFullDoesNothing", 25.0f, 15.0f, 100.0f, 2, kFree, 2, 100.0f},
        RegulateCase{"DownOneStep", 23.0f, 15.0f, 25.0f, 2, kFree, 3, 15.0f},
        RegulateCase{"DownBelowOneStepGoesToLowest", 23.0f, 15.0f, 15.0f, 2, kFree, 3, 1.0f},
        RegulateCase{"DownToZeroGoesToLowest", 23.0f, 15.0f, 10.0f, 2, kFree, 3, 1.0f},
        RegulateCase{"DownAtLowestDoesNothing", 23.0f, 15.0f, 1.0f, 2, kFree, 2, 1.0f},
        RegulateCase{"DownByZeroStillWaits", 23.0f, 15.0f, 50.0f, 2, kFree, 3, 50.0f, 0.0f},
        RegulateCase{"DownByZeroFromZeroGoesToLowest", 23.0f, 15.0f, 0.0f, 2, kFree, 3, 1.0f, 0.0f},
        RegulateCase{"NegativeDownStepRaisesUncapped", 23.0f, 15.0f, 100.0f, 2, kFree, 3, 110.0f,
                     -10.0f},
        RegulateCase{"NegativeUpStepLowersUnbounded", 25.0f, 15.0f, 5.0f, 2, kFree, 4, -5.0f,
                     -10.0f}),
    RowName());

TEST_F(FreeAirTest, StepUpClearsThePreAirconExpiryStepDownDoesNot) {
  at(2, 50.0f);
  fanMinimumRunTimePreAirconFlag = set;
  ControllerRig::setTemperatures(23.0f, 15.0f);
  rig.pass();
  EXPECT_EQ(fanMinimumRunTimePreAirconFlag, set);
  at(2, 50.0f);
  ControllerRig::setTemperatures(25.0f, 15.0f);
  rig.pass();
  EXPECT_EQ(fanMinimumRunTimePreAirconFlag, clear);
}

// From 25 with steps of 10: 15, then 5, which is below one step and becomes
// 1; one step per decrease time-out.
TEST_F(FreeAirTest, RegulatesDownOneStepPerTimeOut) {
  settings.fanSpeedDecreaseTimeOutValue = 2;
  settings.apply();
  at(2, 25.0f);
  ControllerRig::setTemperatures(23.0f, 15.0f);
  EXPECT_EQ(
      lastFanWrites(rig.passes(7)),
      (std::vector<std::string>{"fan 15", "fan 15", "fan 15", "fan 1", "fan 1", "fan 1", "fan 1"}));
  EXPECT_EQ(freeAirTimerLoop, 2u) << "no step below the lowest speed";
}

// ---- Steps 3 and 4 --------------------------------------------------------------

struct WaitCase {
  const char* name;
  uint32_t step;
  bool decreaseExpired;
  bool increaseExpired;
  float internal;
  uint32_t nextStep;
  float fanAfter;
};

using FreeAirWaitTest = TableTest<FreeAirTest, WaitCase>;

TEST_P(FreeAirWaitTest, WaitsForItsOwnTimeOut) {
  at(row.step, 40.0f);
  fanSpeedDecreaseTimeOutFlag = row.decreaseExpired ? set : clear;
  fanSpeedIncreaseTimeOutFlag = row.increaseExpired ? set : clear;
  ControllerRig::setTemperatures(row.internal, 15.0f);
  rig.pass();
  EXPECT_EQ(freeAirTimerLoop, row.nextStep);
  EXPECT_EQ(fanSpeedPercent, row.fanAfter);
  uint8_t ownFlag = row.step == 3 ? fanSpeedDecreaseTimeOutFlag : fanSpeedIncreaseTimeOutFlag;
  uint8_t otherFlag = row.step == 3 ? fanSpeedIncreaseTimeOutFlag : fanSpeedDecreaseTimeOutFlag;
  EXPECT_EQ(ownFlag, clear) << "taken, or never raised";
  EXPECT_EQ(otherFlag, (row.step == 3 ? row.increaseExpired : row.decreaseExpired) ? set : clear)
      << "the other wait's flag is not touched";
  if (row.nextStep == 5) {
    EXPECT_EQ(fanMinimumRunTimePreAirconRegister, settings.fanMinimumRunTimePreAirconValue);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, FreeAirWaitTest,
    ::testing::Values(WaitCase{"DownExpired", 3, true, false, 23.0f, 2, 40.0f},
                      WaitCase{"DownWaiting", 3, false, false, 23.0f, 3, 40.0f},
                      WaitCase{"DownIgnoresIncrease", 3, false, true, 23.0f, 3, 40.0f},
                      WaitCase{"DownCutShortAtPullIn", 3, false, false, 28.0f, 5, 100.0f},
                      WaitCase{"UpExpired", 4, false, true, 25.0f, 2, 40.0f},
                      WaitCase{"UpWaiting", 4, false, false, 25.0f, 4, 40.0f},
                      WaitCase{"UpIgnoresDecrease", 4, true, false, 25.0f, 4, 40.0f},
                      WaitCase{"UpCutShortAtPullIn", 4, false, false, 28.0f, 5, 100.0f}),
    RowName());

// ---- Step 5 -------------------------------------------------------------------

struct PreAirconCase {
  const char* name;
  bool expired;
  float internal;
  uint8_t numberOfAircons;
  eCoolingModeState mode;
  uint32_t step;
};

using FreeAirPreAirconTest = TableTest<FreeAirTest, PreAirconCase>;

TEST_P(FreeAirPreAirconTest, EndsWithAnAirconOrBackToRegulation) {
  settings.numberOfAircons = row.numberOfAircons;
  settings.fanRampDownTimeValue = 39;  // loads 3
  settings.apply();
  at(5, 100.0f);
  fanMinimumRunTimePreAirconFlag = row.expired ? set : clear;
  fanRampDownTimeFlag = set;
  ControllerRig::setTemperatures(row.internal, 15.0f);
  EXPECT_EQ(rig.pass(), Actuations{"fan 100"});
  EXPECT_EQ(coolState, row.mode);
  EXPECT_EQ(freeAirTimerLoop, row.step);
  EXPECT_EQ(fanMinimumRunTimePreAirconFlag, clear);
  if (row.mode == aircon1CoolingModeState) {
    EXPECT_EQ(aircon1RunTimeRegister, settings.aircon1MinimumRunTimeValue);
    EXPECT_EQ(fanRampDownTimeRegister, 3u);
    EXPECT_EQ(fanRampDownTimeFlag, clear);
  } else {
    EXPECT_EQ(fanRampDownTimeFlag, set);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, FreeAirPreAirconTest,
    ::testing::Values(PreAirconCase{"Running", false, 30.0f, 2, kFree, 5},
                      PreAirconCase{"OverAtPullIn", true, 28.0f, 2, kSingle, 5},
                      PreAirconCase{"OverBelowPullIn", true, 27.9f, 2, kFree, 2},
                      PreAirconCase{"OverWithoutUnits", true, 30.0f, 0, kFree, 2}),
    RowName());

// A pre-aircon Value of 0 never expires: the fan holds at 100 until the
// emergency pull-in ends the mode.
TEST_F(FreeAirTest, PreAirconRunOfZeroHoldsFullFanUntilEmergency) {
  settings.fanMinimumRunTimePreAirconValue = 0;
  settings.apply();
  at(2, 50.0f);
  ControllerRig::setTemperatures(30.0f, 15.0f);
  rig.passes(500);
  EXPECT_EQ(coolState, freeAirCoolingModeState);
  EXPECT_EQ(freeAirTimerLoop, 5u);
  EXPECT_EQ(fanSpeedPercent, 100.0f);
  ControllerRig::setTemperatures(40.0f, 15.0f);
  rig.pass();
  EXPECT_EQ(coolState, emergencyCoolingModeState);
}

// Without units, the pre-aircon run ends back in regulation, which starts
// the next one: the fan runs at full speed and no unit is ever called.
TEST_F(FreeAirTest, WithoutUnitsRepeatsPreAirconRuns) {
  settings.numberOfAircons = 0;
  settings.fanMinimumRunTimePreAirconValue = 3;
  settings.apply();
  at(2, 50.0f);
  ControllerRig::setTemperatures(30.0f, 15.0f);
  std::vector<uint32_t> steps;
  Actuations all;
  for (int i = 0; i < 9; ++i) {
    Actuations one = rig.pass();
    all.insert(all.end(), one.begin(), one.end());
    steps.push_back(freeAirTimerLoop);
  }
  EXPECT_EQ(steps, (std::vector<uint32_t>{5, 5, 5, 2, 5, 5, 5, 2, 5}));
  EXPECT_EQ(switchesOnly(all), Actuations{});
  EXPECT_EQ(fanSpeedPercent, 100.0f);
  EXPECT_EQ(coolState, freeAirCoolingModeState);
}

// ---- Prologue -------------------------------------------------------------------

struct PrologueCase {
  const char* name;
  bool afterDropOutExpired;
  uint8_t numberOfAircons;
  Actuations switches;
};

using FreeAirPrologueTest = TableTest<FreeAirTest, PrologueCase>;

// The first unit, left running by single-aircon mode, stops when the
// after-drop-out run is over (and at every pass without units).
TEST_P(FreeAirPrologueTest, SwitchesOffTheFirstUnit) {
  settings.numberOfAircons = row.numberOfAircons;
  settings.apply();
  at(1, 100.0f);
  ControllerRig::markUnitOn(1);
  airconRunTimeAfterDropOutFlag = row.afterDropOutExpired ? set : clear;
  ControllerRig::setTemperatures(25.0f, 15.0f);
  EXPECT_EQ(switchesOnly(rig.pass()), row.switches);
  EXPECT_EQ(airconRunTimeAfterDropOutFlag, clear);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FreeAirPrologueTest,
    ::testing::Values(PrologueCase{"AfterDropOutRunOver", true, 2, {"ac1 off"}},
                      PrologueCase{"AfterDropOutRunGoingOn", false, 2, {}},
                      PrologueCase{"NoUnitsInstalled", false, 0, {"ac1 off"}}),
    RowName());

TEST_F(FreeAirTest, AfterDropOutRunKeepsTheUnitForItsDuration) {
  settings.airconRunTimeAfterDropOutValue = 4;
  settings.apply();
  at(2, 50.0f);
  ControllerRig::markUnitOn(1);
  airconRunTimeAfterDropOutRegister = settings.airconRunTimeAfterDropOutValue;
  ControllerRig::setTemperatures(24.0f, 15.0f);
  std::vector<Actuations> passes = rig.passes(5);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(switchesOnly(passes[static_cast<std::size_t>(i)]),
              i == 3 ? Actuations{"ac1 off"} : Actuations{})
        << "pass " << i + 1;
  }
}

}  // namespace
