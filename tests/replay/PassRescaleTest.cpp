// Rescaling the pass-counted settings: each pass count divided exactly, the
// fan ramps by their tenth, everything else untouched, and whatever does
// not divide refused with its name, value and reason.
#include <gtest/gtest.h>

#include <string>

#include "PassRescale.h"

namespace {

using S = ControllerSettingValues;
using PassCountMember = uint32_t S::*;

constexpr int64_t kSitePassMicroseconds = 10000;  // the sample site: 100 passes a second
constexpr int64_t kSecond = 1000000;

// Gives a setting that is no pass count a value of its own; a pass count
// stays 0.
void giveOwnValue(uint8_t& option, float&) {
  option = 1;
}
void giveOwnValue(float& threshold, float& next) {
  threshold = next;
  next += 1.25f;
}
void giveOwnValue(uint32_t&, float&) {}

// A site whose every setting but the pass counts holds a value of its own,
// so that a rescaling that touched one would show.
ControllerSettingValues baseSettings() {
  ControllerSettingValues settings;
  float next = 20.5f;
#define FRIGEL_OWN_VALUE(type, name) giveOwnValue(settings.name, next);
  FRIGEL_CONTROLLER_SETTINGS(FRIGEL_OWN_VALUE)
#undef FRIGEL_OWN_VALUE
  return settings;
}

// Rescales `site` with one pass count (`member`) set to `siteValue` and
// expects the same settings with that pass count `replayValue`.
void expectRescaled(const char* name, PassCountMember member, uint32_t siteValue,
                    int64_t replayPassMicroseconds, uint32_t replayValue) {
  SCOPED_TRACE(name);
  ControllerSettingValues site = baseSettings();
  site.*member = siteValue;
  std::string error;
  const auto replay = rescalePassCounts(site, kSitePassMicroseconds, replayPassMicroseconds, error);
  ASSERT_TRUE(replay.has_value()) << error;
  ControllerSettingValues expected = baseSettings();
  expected.*member = replayValue;
  EXPECT_TRUE(*replay == expected);
}

// Replay passes of 1 s: every pass count divided by 100. A fan ramp loads
// its timer with a tenth of its Value: the tenth is what scales, and the
// dropped digit stays as it was.
TEST(PassRescale, EveryPassCountKeepsItsSeconds) {
  struct Row {
    const char* name;
    PassCountMember member;
    uint32_t siteValue;
    uint32_t replayValue;
  };
  const Row rows[] = {
      {"run-on", &S::airconRunTimeAfterDropOutValue, 30000, 300},
      {"pre-cooling", &S::fanMinimumRunTimePreCoolingValue, 6000, 60},
      {"step-down wait", &S::fanSpeedDecreaseTimeOutValue, 1500, 15},
      {"step-up wait", &S::fanSpeedIncreaseTimeOutValue, 1500, 15},
      {"pre-aircon", &S::fanMinimumRunTimePreAirconValue, 12000, 120},
      {"aircon 2 run", &S::aircon2MinimumRunTimeValue, 18000, 180},
      {"aircon 1 run", &S::aircon1MinimumRunTimeValue, 18000, 180},
      {"retry period", &S::airconFailRetryPeriod, 500, 5},
      {"ramp down by tenths", &S::fanRampDownTimeValue, 6000, 60},
      {"ramp up keeps the dropped digit", &S::fanRampUpTimeValue, 6005, 65},
  };
  for (const Row& row : rows) {
    expectRescaled(row.name, row.member, row.siteValue, kSecond, row.replayValue);
  }
}

// A timer that never runs out stays so, and a factor of 1 changes nothing.
TEST(PassRescale, SomePassCountsStayAsTheyAre) {
  expectRescaled("timer that never runs", &S::aircon1MinimumRunTimeValue, 0, kSecond, 0);
  expectRescaled("ramp below 10 never runs", &S::fanRampUpTimeValue, 5, kSecond, 5);
  expectRescaled("factor 1 changes nothing", &S::fanRampDownTimeValue, 25, kSitePassMicroseconds,
                 25);
}

TEST(PassRescale, RefusesWhatDoesNotDivide) {
  struct RefusedRow {
    const char* name;
    PassCountMember member;  // nullptr: no setting changed from the base
    uint32_t siteValue;
    int64_t sitePassMicroseconds;
    int64_t replayPassMicroseconds;
    const char* error;
  };
  const int64_t ms10 = kSitePassMicroseconds;
  const RefusedRow rows[] = {
      {"run time not whole", &S::aircon1MinimumRunTimeValue, 30050, ms10, kSecond,
       "aircon1MinimumRunTimeValue 30050 passes is not a whole number of replay passes (100 site "
       "passes each): it would be 300.5"},
      {"ramp whose tenth does not divide", &S::fanRampDownTimeValue, 120, ms10, 8 * ms10,
       "fanRampDownTimeValue 120 loads its timer with 12 passes (the Value / 10, remainder "
       "dropped), not a whole number of replay passes (8 site passes each): it would be 1.5"},
      {"replay pass not whole", nullptr, 0, ms10, 15000,
       "the replay pass (15000 microseconds) is not a whole number of site passes (10000 "
       "microseconds): 1.5"},
      {"replay pass shorter", nullptr, 0, ms10, 5000, "not a whole number of site passes"},
      {"site pass of 0", nullptr, 0, 0, kSecond, "pass lengths must be at least 1 microsecond"},
  };
  for (const RefusedRow& row : rows) {
    SCOPED_TRACE(row.name);
    ControllerSettingValues site = baseSettings();
    if (row.member != nullptr) {
      site.*row.member = row.siteValue;
    }
    std::string error;
    const auto replay =
        rescalePassCounts(site, row.sitePassMicroseconds, row.replayPassMicroseconds, error);
    EXPECT_FALSE(replay.has_value());
    EXPECT_NE(error.find(row.error), std::string::npos) << error;
  }
}

}  // namespace
