// The controller's start values, the temperature setters and the count-down
// timers advanced by flagChecker().
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "ControllerRig.h"
#include "frigel.h"

namespace {

struct Timer {
  const char* name;
  uint32_t* timerRegister;
  uint8_t* flag;
};

// In the order flagChecker handles them.
const std::vector<Timer>& allTimers() {
  static const std::vector<Timer> timers = {
      {"airconRunTimeAfterDropOut", &airconRunTimeAfterDropOutRegister,
       &airconRunTimeAfterDropOutFlag},
      {"fanMinimumRunTimePreCooling", &fanMinimumRunTimePreCoolingRegister,
       &fanMinimumRunTimePreCoolingFlag},
      {"fanSpeedDecreaseTimeOut", &fanSpeedDecreaseTimeOutRegister, &fanSpeedDecreaseTimeOutFlag},
      {"fanSpeedIncreaseTimeOut", &fanSpeedIncreaseTimeOutRegister, &fanSpeedIncreaseTimeOutFlag},
      {"fanMinimumRunTimePreAircon", &fanMinimumRunTimePreAirconRegister,
       &fanMinimumRunTimePreAirconFlag},
      {"aircon2RunTime", &aircon2RunTimeRegister, &aircon2MinimumTimeOutFlag},
      {"aircon1RunTime", &aircon1RunTimeRegister, &aircon1MinimumTimeOutFlag},
      {"fanRampDownTime", &fanRampDownTimeRegister, &fanRampDownTimeFlag},
      {"fanRampUpTime", &fanRampUpTimeRegister, &fanRampUpTimeFlag},
  };
  return timers;
}

std::vector<uint8_t> allFlags() {
  std::vector<uint8_t> flags;
  for (const Timer& timer : allTimers()) {
    flags.push_back(*timer.flag);
  }
  return flags;
}

bool sameBits(float a, float b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

class TimerTest : public ControllerTest, public ::testing::WithParamInterface<Timer> {
 protected:
  void SetUp() override {
    ControllerTest::SetUp();
    rig.startIn(noCoolingModeState);
  }
};

// Each Register drives its own Flag and no other.
TEST_P(TimerTest, RegisterRaisesOnlyItsOwnFlagWhenItRunsOut) {
  const Timer& timer = GetParam();
  *timer.timerRegister = 3;
  flagChecker();
  flagChecker();
  EXPECT_EQ(*timer.timerRegister, 1u);
  EXPECT_EQ(*timer.flag, 0) << "raised before the count ran out";
  flagChecker();
  EXPECT_EQ(*timer.timerRegister, 0u);
  std::vector<uint8_t> expected(allTimers().size(), 0);
  for (std::size_t i = 0; i < allTimers().size(); ++i) {
    expected[i] = allTimers()[i].flag == timer.flag ? set : clear;
  }
  EXPECT_EQ(allFlags(), expected);
  // Run out: further calls change neither.
  flagChecker();
  EXPECT_EQ(*timer.timerRegister, 0u);
  EXPECT_EQ(*timer.flag, set);
}

TEST_P(TimerTest, RegisterAtZeroNeverRaisesNorClearsItsFlag) {
  const Timer& timer = GetParam();
  for (int i = 0; i < 5; ++i) {
    flagChecker();
  }
  EXPECT_EQ(*timer.flag, 0);
  *timer.flag = set;
  flagChecker();
  EXPECT_EQ(*timer.flag, set) << "flagChecker never clears a Flag";
  EXPECT_EQ(*timer.timerRegister, 0u);
}

TEST_P(TimerTest, ReloadingWhileCountingRestartsTheCountAndKeepsTheFlag) {
  const Timer& timer = GetParam();
  *timer.flag = set;  // left over from an earlier run
  *timer.timerRegister = 2;
  flagChecker();
  *timer.timerRegister = 2;
  flagChecker();
  EXPECT_EQ(*timer.timerRegister, 1u);
  EXPECT_EQ(*timer.flag, set);
  *timer.flag = clear;
  flagChecker();
  EXPECT_EQ(*timer.flag, set);
}

INSTANTIATE_TEST_SUITE_P(EachTimer, TimerTest, ::testing::ValuesIn(allTimers()), RowName());

TEST_F(ControllerTest, FlagCheckerWithEveryRegisterAtZeroChangesNothing) {
  rig.startIn(noCoolingModeState);
  for (std::size_t i = 0; i < allTimers().size(); ++i) {
    *allTimers()[i].flag = static_cast<uint8_t>(i % 2);
  }
  std::vector<uint8_t> before = allFlags();
  flagChecker();
  EXPECT_EQ(allFlags(), before);
  for (const Timer& timer : allTimers()) {
    EXPECT_EQ(*timer.timerRegister, 0u) << timer.name;
  }
}

TEST_F(ControllerTest, TemperatureSettersStoreTheValueUnchanged) {
  const float values[] = {-40.5f,
                          -0.0f,
                          0.0f,
                          23.125f,
                          1e30f,
                          std::numeric_limits<float>::quiet_NaN(),
                          -std::numeric_limits<float>::infinity()};
  for (float value : values) {
    setInternalTemperatureAveraging(value);
    setExternalTemperatureAveraging(-value);
    EXPECT_TRUE(sameBits(internalTemperatureAveraging, value)) << value;
    EXPECT_TRUE(sameBits(externalTemperatureAveraging, -value)) << value;
  }
}

// Before the first pass everything is 0: no mode, no fan, no timer running,
// and both temperatures read 0.0 until the first probe value arrives.
TEST_F(ControllerTest, EveryVariableStartsAtZero) {
  rig.startFresh();
  EXPECT_EQ(coolState, noCoolingModeState);
  EXPECT_EQ(internalTemperatureAveraging, 0.0f);
  EXPECT_EQ(externalTemperatureAveraging, 0.0f);
  EXPECT_EQ(fanSpeedPercent, 0.0f);
  const uint32_t words[] = {freeAirTimerLoop,
                            AirCon1timerLoop,
                            AirCon2timerLoop,
                            emergencytimerLoop,
                            airconFailRetryPeriod,
                            airconRunTimeAfterDropOutValue,
                            fanMinimumRunTimePreCoolingValue,
                            fanSpeedDecreaseTimeOutValue,
                            fanSpeedIncreaseTimeOutValue,
                            fanMinimumRunTimePreAirconValue,
                            aircon2MinimumRunTimeValue,
                            aircon1MinimumRunTimeValue,
                            fanRampDownTimeValue,
                            fanRampUpTimeValue};
  for (uint32_t word : words) {
    EXPECT_EQ(word, 0u);
  }
  const uint8_t bytes[] = {numberOfAircons, airconRotation, useFreeAir,    useFanInHiTemp,
                           aircon1,         aircon2,        lastAirconOff, extraHighTempFanMode};
  for (uint8_t byte : bytes) {
    EXPECT_EQ(byte, 0);
  }
  const float thresholds[] = {goalTemperature,     maximumExtAboveIntTemperature,
                              hiTemperaturePullIn, hiTemperatureDropOut,
                              aircon1PullIn,       aircon2PullIn,
                              aircon1DropOut,      aircon2DropOut,
                              coolingPullIn,       hiTempFanPullIn,
                              fanSpeedStepUpSize,  fanSpeedStepDownSize};
  for (float threshold : thresholds) {
    EXPECT_EQ(threshold, 0.0f);
  }
  for (const Timer& timer : allTimers()) {
    EXPECT_EQ(*timer.timerRegister, 0u) << timer.name;
    EXPECT_EQ(*timer.flag, 0) << timer.name;
  }
}

}  // namespace
