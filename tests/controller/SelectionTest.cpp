// Choosing the mode: the first-pass selection, the emergency pull-in before
// every mode step, and the no-cooling step.
//
// Settings unless a case says otherwise (degrees Celsius): cooling pull-in
// 22, first unit pull-in 28 / drop-out 25, second unit pull-in 32 / drop-out
// 29, emergency pull-in 40 / drop-out 36; outside air 15; two units.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ControllerRig.h"
#include "frigel.h"

namespace {

const float kOutside = 15.0f;

// ---- First pass -------------------------------------------------------------

struct StartCase {
  const char* name;
  float internal;
  Units units;
  eCoolingModeState mode;
  std::vector<Actuations> firstTwoPasses;
};

using FirstPassTest = TableTest<ControllerTest, StartCase>;

// The first pass picks the mode from the internal temperature and runs that
// mode's step in the same call. It starts no other timer, clears no flag and
// skips the emergency entry actions.
TEST_P(FirstPassTest, ChoosesTheStartingModeAndRunsItsStepAtOnce) {
  rig.startFresh();
  ControllerSettings settings;
  settings.fanRampDownTimeValue = 50;
  settings.apply(row.units);
  // Flags the first steps leave alone; the emergency entry would clear the
  // first one.
  const bool emergency = row.mode == emergencyCoolingModeState;
  aircon1MinimumTimeOutFlag = emergency ? set : clear;
  fanSpeedDecreaseTimeOutFlag = set;
  ControllerRig::setTemperatures(row.internal, kOutside);

  std::vector<Actuations> passes = rig.passes(2);

  EXPECT_EQ(coolState, row.mode);
  EXPECT_EQ(passes, row.firstTwoPasses);
  EXPECT_EQ(fanSpeedDecreaseTimeOutFlag, set) << "the selection clears no flag";
  EXPECT_EQ(aircon1MinimumTimeOutFlag, emergency ? set : clear) << "no emergency entry";
  switch (row.mode) {
    case aircon2CoolingModeState:
      EXPECT_EQ(aircon2RunTimeRegister, settings.aircon2MinimumRunTimeValue - 1);
      EXPECT_EQ(AirCon2timerLoop, 1u);
      break;
    case aircon1CoolingModeState:
      EXPECT_EQ(aircon1RunTimeRegister, settings.aircon1MinimumRunTimeValue - 1);
      EXPECT_EQ(AirCon1timerLoop, 1u);
      break;
    case freeAirCoolingModeState:
      EXPECT_EQ(fanMinimumRunTimePreCoolingRegister, settings.fanMinimumRunTimePreCoolingValue - 1);
      EXPECT_EQ(freeAirTimerLoop, 1u);
      break;
    case emergencyCoolingModeState:
      EXPECT_EQ(emergencytimerLoop, 1u);
      EXPECT_EQ(fanRampDownTimeRegister, 0u) << "no emergency entry: no ramp-down started";
      break;
    case noCoolingModeState:
      break;
  }
}

const Actuations kFan0 = {"fan 0"};
const Actuations kFan100 = {"fan 100"};

INSTANTIATE_TEST_SUITE_P(
    Table, FirstPassTest,
    ::testing::Values(
        // At the emergency pull-in: no unit is called in the first pass;
        // the second pass switches unit 2, then unit 1.
        StartCase{
            "AtEmergencyPullIn", 40.0f, {2, 1}, kEmergency, {kFan0, {"ac2 on", "ac1 on", "fan 0"}}},
        StartCase{"AtSecondPullIn", 32.0f, {2, 1}, kTwo, {{"ac1 on", "ac2 on", "fan 0"}, kFan0}},
        StartCase{"ThreeUnitsAtSecondPullIn",
                  32.0f,
                  {3, 0},
                  kTwo,
                  {{"ac1 on", "ac2 on", "fan 0"}, kFan0}},
        StartCase{
            "AtSecondPullInWithOneUnit", 35.0f, {1, 1}, kSingle, {{"ac1 on", "fan 0"}, kFan0}},
        StartCase{"JustBelowSecondPullIn", 31.99f, {2, 1}, kSingle, {{"ac1 on", "fan 0"}, kFan0}},
        StartCase{"AtFirstPullIn", 28.0f, {2, 0}, kSingle, {{"ac1 on", "fan 0"}, kFan0}},
        StartCase{"AtFirstPullInWithoutUnitsButFreeAir", 30.0f, {0, 1}, kFree, {kFan100, kFan100}},
        StartCase{"AtFirstPullInWithoutUnitsOrFreeAir", 30.0f, {0, 0}, kNone, {kFan0, kFan0}},
        StartCase{"AtCoolingPullIn", 22.0f, {2, 1}, kFree, {kFan100, kFan100}},
        StartCase{"JustBelowCoolingPullIn", 21.99f, {2, 1}, kNone, {kFan0, kFan0}},
        StartCase{"FreeAirOptionByteTwo", 25.0f, {2, 2}, kNone, {kFan0, kFan0}},
        StartCase{"InternalNotANumber", kNaN, {2, 1}, kNone, {kFan0, kFan0}}),
    RowName());

TEST_F(ControllerTest, FirstPassSelectionIsMadeOnlyOnce) {
  rig.startFresh();
  ControllerSettings settings;
  settings.useFreeAir = 0;
  settings.apply();
  ControllerRig::setTemperatures(10.0f, kOutside);
  rig.pass();
  ASSERT_EQ(coolState, noCoolingModeState);
  // A new selection would choose two-aircon cooling; the no-cooling step
  // only knows single-aircon cooling.
  ControllerRig::setTemperatures(35.0f, kOutside);
  rig.pass();
  EXPECT_EQ(coolState, aircon1CoolingModeState);
}

// ---- Emergency pull-in ------------------------------------------------------

struct PullInCase {
  const char* name;
  uint8_t numberOfAircons;
  uint8_t airconRotation;
  Actuations actuations;
};

class EmergencyPullInTest
    : public ControllerTest,
      public ::testing::WithParamInterface<std::tuple<eCoolingModeState, PullInCase>> {};

// From any other mode, reaching the emergency pull-in moves into emergency at
// once: the first unit is called and the fan ramp-down starts, then the
// emergency step runs in the same pass.
TEST_P(EmergencyPullInTest, MovesIntoEmergencyBeforeTheModeStep) {
  const eCoolingModeState from = std::get<0>(GetParam());
  const PullInCase& c = std::get<1>(GetParam());
  rig.startIn(from);
  ControllerSettings settings;
  settings.numberOfAircons = c.numberOfAircons;
  settings.airconRotation = c.airconRotation;
  settings.fanRampDownTimeValue = 25;  // loads 2
  settings.apply();
  aircon1MinimumTimeOutFlag = set;
  fanRampDownTimeFlag = set;
  fanRampDownTimeRegister = 7;
  fanSpeedPercent = 40.0f;
  ControllerRig::setTemperatures(40.0f, kOutside);

  Actuations actuations = rig.pass();

  EXPECT_EQ(coolState, emergencyCoolingModeState);
  EXPECT_EQ(actuations, c.actuations);
  EXPECT_EQ(aircon1MinimumTimeOutFlag, clear);
  EXPECT_EQ(emergencytimerLoop, 1u) << "the emergency step ran in the same pass";
  if (c.numberOfAircons != 0) {
    EXPECT_EQ(fanRampDownTimeRegister, 2u);
    EXPECT_EQ(fanRampDownTimeFlag, clear);
  } else {
    EXPECT_EQ(fanRampDownTimeRegister, 6u) << "without units the ramp timer is left alone";
    EXPECT_EQ(fanRampDownTimeFlag, set);
  }
}

INSTANTIATE_TEST_SUITE_P(
    FromEachMode, EmergencyPullInTest,
    ::testing::Combine(::testing::Values(noCoolingModeState, freeAirCoolingModeState,
                                         aircon1CoolingModeState, aircon2CoolingModeState),
                       ::testing::Values(PullInCase{"TwoUnits", 2, 0, {"ac1 on", "fan 40"}},
                                         PullInCase{"TwoUnitsRotating", 2, 1, {"ac2 on", "fan 40"}},
                                         PullInCase{"OneUnitRotating", 1, 1, {"ac1 on", "fan 40"}},
                                         PullInCase{"NoUnits", 0, 0, {"fan 100"}})),
    [](const ::testing::TestParamInfo<std::tuple<eCoolingModeState, PullInCase>>& info) {
      std::string from = coolingModeName(std::get<0>(info.param));
      for (char& ch : from) {
        if (ch == ' ') {
          ch = '_';
        }
      }
      return from + "_" + std::get<1>(info.param).name;
    });

TEST_F(ControllerTest, NoEntryActionsWhileAlreadyInEmergency) {
  rig.startIn(emergencyCoolingModeState);
  ControllerSettings().apply();
  ControllerRig::runningPastFirstStep(emergencyCoolingModeState);
  aircon1MinimumTimeOutFlag = set;
  ControllerRig::setTemperatures(45.0f, kOutside);
  EXPECT_EQ(rig.pass(), Actuations{"fan 0"});
  EXPECT_EQ(aircon1MinimumTimeOutFlag, set);
  EXPECT_EQ(fanRampDownTimeRegister, 0u);
}

TEST_F(ControllerTest, InternalNotANumberNeverPullsIntoEmergency) {
  rig.startIn(aircon1CoolingModeState);
  ControllerSettings().apply();
  ControllerRig::setTemperatures(kNaN, kOutside);
  rig.passes(3);
  EXPECT_EQ(coolState, aircon1CoolingModeState);
}

// ---- No-cooling step ----------------------------------------------------------

struct NoCoolingCase {
  const char* name;
  float internal;
  Units units;
  float coolingPullIn;
  eCoolingModeState next;
};

using NoCoolingStepTest = ModeTest<noCoolingModeState>;
using NoCoolingTest = TableTest<NoCoolingStepTest, NoCoolingCase>;

// The step stops the fan and zeroes every step counter on every pass; a
// change of mode takes effect at the next pass, whose step is the new mode's
// first step.
TEST_P(NoCoolingTest, HandsOverAtTheNextPass) {
  settings.coolingPullIn = row.coolingPullIn;
  settings.apply(row.units);
  fanSpeedPercent = 60.0f;
  freeAirTimerLoop = 3;
  AirCon1timerLoop = AirCon2timerLoop = emergencytimerLoop = 1;
  ControllerRig::setTemperatures(row.internal, kOutside);

  EXPECT_EQ(rig.pass(), Actuations{"fan 0"}) << "the fan stops even when the mode changes";
  EXPECT_EQ(coolState, row.next);
  EXPECT_EQ(freeAirTimerLoop + AirCon1timerLoop + AirCon2timerLoop + emergencytimerLoop, 0u);

  rig.pass();
  switch (row.next) {
    case freeAirCoolingModeState:
      EXPECT_EQ(freeAirTimerLoop, 1u);
      break;
    case aircon1CoolingModeState:
      EXPECT_EQ(AirCon1timerLoop, 1u);
      break;
    default:
      EXPECT_EQ(coolState, noCoolingModeState);
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, NoCoolingTest,
    ::testing::Values(NoCoolingCase{"FreeAirAtCoolingPullIn", 22.0f, {2, 1}, 22.0f, kFree},
                      NoCoolingCase{"FreeAirBeatsAircon", 30.0f, {2, 1}, 22.0f, kFree},
                      NoCoolingCase{"BelowCoolingPullIn", 21.99f, {2, 1}, 22.0f, kNone},
                      NoCoolingCase{"AirconAtPullInWithoutFreeAir", 28.0f, {2, 0}, 22.0f, kSingle},
                      NoCoolingCase{"BelowAirconPullIn", 27.99f, {2, 0}, 22.0f, kNone},
                      NoCoolingCase{"NoUnitInstalled", 30.0f, {0, 0}, 22.0f, kNone},
                      NoCoolingCase{"FreeAirOptionByteTwo", 30.0f, {2, 2}, 22.0f, kNone},
                      // coolingPullIn above aircon1PullIn: the aircon test needs useFreeAir 0.
                      NoCoolingCase{
                          "FreeAirWithCoolingPullInAboveAircon", 30.0f, {2, 1}, 35.0f, kNone},
                      NoCoolingCase{"InternalNotANumber", kNaN, {2, 0}, 22.0f, kNone}),
    RowName());

struct SwitchOffCase {
  const char* name;
  uint8_t airconRotation;
  uint8_t lastAirconOff;
  std::vector<Actuations> passes;
};

using NoCoolingSwitchOffTest = TableTest<NoCoolingStepTest, SwitchOffCase>;

// Both units are off after at most two no-cooling passes; with rotation the
// first pass hands the first role over, and the second pass switches it off.
TEST_P(NoCoolingSwitchOffTest, BothUnitsAreOffWithinTwoPasses) {
  settings.airconRotation = row.airconRotation;
  settings.apply();
  lastAirconOff = row.lastAirconOff;
  ControllerRig::markUnitOn(1);
  ControllerRig::markUnitOn(2);
  ControllerRig::setTemperatures(10.0f, kOutside);
  std::vector<Actuations> passes = rig.passes(3);
  EXPECT_EQ(passes, row.passes);
  EXPECT_EQ(aircon1, 0);
  EXPECT_EQ(aircon2, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, NoCoolingSwitchOffTest,
    ::testing::Values(
        SwitchOffCase{"RotationOff", 0, 0, {{"ac1 off", "ac2 off", "fan 0"}, {"fan 0"}, {"fan 0"}}},
        SwitchOffCase{
            "RotationOnUnit2First", 1, 0, {{"ac2 off", "fan 0"}, {"ac1 off", "fan 0"}, {"fan 0"}}},
        SwitchOffCase{
            "RotationOnUnit1First", 1, 2, {{"ac1 off", "fan 0"}, {"ac2 off", "fan 0"}, {"fan 0"}}}),
    RowName());

}  // namespace
