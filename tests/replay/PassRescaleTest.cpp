// Rescaling the pass-counted settings: each pass count divided exactly, the
// fan ramps by their tenth, everything else untouched, and whatever does
// not divide refused with its name, value and reason.
#include <gtest/gtest.h>

#include <string>

#include "PassRescale.h"

namespace {

using PassCountMember = uint32_t ControllerSettingValues::*;

struct RescaleRow {
  const char* name;
  PassCountMember member;  // nullptr: no setting changed from the base
  uint32_t siteValue;
  int64_t sitePassMicroseconds;
  int64_t replayPassMicroseconds;
  uint32_t replayValue;  // when it is accepted
  const char* error;     // nullptr: accepted
};

ControllerSettingValues baseSettings() {
  ControllerSettingValues settings;
  settings.numberOfAircons = 2;
  settings.useFreeAir = 1;
  settings.goalTemperature = 22.5f;
  settings.aircon1PullIn = 27.0f;
  settings.fanSpeedStepUpSize = 5.0f;
  return settings;
}

bool sameSettings(const ControllerSettingValues& a, const ControllerSettingValues& b) {
#define FRIGEL_SAME(type, name) \
  if (a.name != b.name) {       \
    return false;               \
  }
  FRIGEL_CONTROLLER_SETTINGS(FRIGEL_SAME)
#undef FRIGEL_SAME
  return true;
}

TEST(PassRescale, EveryPassCountKeepsItsSeconds) {
  using S = ControllerSettingValues;
  const int64_t ms10 = 10000;  // the sample site: 100 passes a second
  const int64_t s1 = 1000000;
  const RescaleRow rows[] = {
      {"run-on", &S::airconRunTimeAfterDropOutValue, 30000, ms10, s1, 300, nullptr},
      {"pre-cooling", &S::fanMinimumRunTimePreCoolingValue, 6000, ms10, s1, 60, nullptr},
      {"step-down wait", &S::fanSpeedDecreaseTimeOutValue, 1500, ms10, s1, 15, nullptr},
      {"step-up wait", &S::fanSpeedIncreaseTimeOutValue, 1500, ms10, s1, 15, nullptr},
      {"pre-aircon", &S::fanMinimumRunTimePreAirconValue, 12000, ms10, s1, 120, nullptr},
      {"aircon 2 run", &S::aircon2MinimumRunTimeValue, 18000, ms10, s1, 180, nullptr},
      {"aircon 1 run", &S::aircon1MinimumRunTimeValue, 18000, ms10, s1, 180, nullptr},
      {"retry period", &S::airconFailRetryPeriod, 500, ms10, s1, 5, nullptr},
      {"timer that never runs", &S::aircon1MinimumRunTimeValue, 0, ms10, s1, 0, nullptr},
      {"ramp down by tenths", &S::fanRampDownTimeValue, 6000, ms10, s1, 60, nullptr},
      {"ramp up keeps the dropped digit", &S::fanRampUpTimeValue, 6005, ms10, s1, 65, nullptr},
      {"ramp below 10 never runs", &S::fanRampUpTimeValue, 5, ms10, s1, 5, nullptr},
      {"factor 1 changes nothing", &S::fanRampDownTimeValue, 25, ms10, ms10, 25, nullptr},
      {"run time not whole", &S::aircon1MinimumRunTimeValue, 30050, ms10, s1, 0,
       "aircon1MinimumRunTimeValue 30050 passes is not a whole number of replay passes (100 site "
       "passes each): it would be 300.5"},
      {"ramp whose tenth does not divide", &S::fanRampDownTimeValue, 120, ms10, 8 * ms10, 0,
       "fanRampDownTimeValue 120 loads its timer with 12 passes (the Value / 10, remainder "
       "dropped), not a whole number of replay passes (8 site passes each): it would be 1.5"},
      {"replay pass not whole", nullptr, 0, ms10, 15000, 0,
       "the replay pass (15000 microseconds) is not a whole number of site passes (10000 "
       "microseconds): 1.5"},
      {"replay pass shorter", nullptr, 0, ms10, 5000, 0, "not a whole number of site passes"},
      {"site pass of 0", nullptr, 0, 0, s1, 0, "pass lengths must be at least 1 microsecond"},
  };
  for (const RescaleRow& row : rows) {
    SCOPED_TRACE(row.name);
    ControllerSettingValues site = baseSettings();
    if (row.member != nullptr) {
      site.*row.member = row.siteValue;
    }
    std::string error;
    const auto replay =
        rescalePassCounts(site, row.sitePassMicroseconds, row.replayPassMicroseconds, error);
    if (row.error != nullptr) {
      EXPECT_FALSE(replay.has_value());
      EXPECT_NE(error.find(row.error), std::string::npos) << error;
      continue;
    }
    ASSERT_TRUE(replay.has_value()) << error;
    ControllerSettingValues expected = baseSettings();
    expected.*row.member = row.replayValue;
    EXPECT_TRUE(sameSettings(*replay, expected));
  }
}

}  // namespace
