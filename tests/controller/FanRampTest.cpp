// The fan ramps, one step of 10 at each expiry of the ramp timer, in the
// modes that run them: emergency cooling (down and up), single-aircon and
// two-aircon cooling (down only).
//
// Settings unless a case says otherwise: two units; ramp Values as the row
// says (30: a step every 3 passes; below 10 the timer loads 0).
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "ControllerRig.h"
#include "frigel.h"

namespace {

struct RampCase {
  const char* name;
  eCoolingModeState mode;
  uint8_t useFreeAir;
  float fanBefore;
  bool rampUp;
  uint32_t rampValue;
  // The fan's speed after each pass: each speed and for how many passes.
  std::vector<std::pair<float, int>> speeds;
};

using FanRampTest = TableTest<ControllerTest, RampCase>;

// Entered with the ramp's flag already raised (in single-aircon cooling:
// the pre-aircon run's timer ran out, and the mode's first step comes in the
// same pass), the fan moves one step in the first pass and one step at each
// expiry after that; at the end of a ramp the timer is not restarted.
TEST_P(FanRampTest, StepsAtEachExpiry) {
  rig.startIn(row.mode);
  ControllerSettings settings;
  settings.useFreeAir = row.useFreeAir;
  settings.fanRampDownTimeValue = settings.fanRampUpTimeValue = row.rampValue;
  settings.apply();
  if (row.mode != aircon1CoolingModeState) {
    ControllerRig::runningPastFirstStep(row.mode);
  }
  fanSpeedPercent = row.fanBefore;
  (row.rampUp ? fanRampUpTimeFlag : fanRampDownTimeFlag) = set;
  std::vector<std::string> writes;
  for (const auto& speed : row.speeds) {
    writes.insert(writes.end(), static_cast<std::size_t>(speed.second), fanEntry(speed.first));
  }
  // Warm enough for each mode to stay; outside too warm for free air.
  ControllerRig::setTemperatures(row.mode == emergencyCoolingModeState ? 41.0f : 30.0f, 30.0f);
  EXPECT_EQ(lastFanWrites(rig.passes(static_cast<int>(writes.size()))), writes);
  EXPECT_EQ(coolState, row.mode);
  EXPECT_EQ(fanRampDownTimeRegister, 0u);
  EXPECT_EQ(fanRampUpTimeRegister, 0u);
}

const RampCase kRamps[] = {
    {"EmergencyDownFrom35", kEmergency, 1, 35.0f, false, 30, {{25, 3}, {15, 3}, {5, 3}, {0, 3}}},
    {"EmergencyDownWithoutFreeAir", kEmergency, 0, 15.0f, false, 30, {{5, 3}, {0, 2}}},
    {"EmergencyDownAboveFull", kEmergency, 1, 120.0f, false, 30, {{0, 4}}},
    {"EmergencyUpFrom85", kEmergency, 1, 85.0f, true, 30, {{95, 3}, {100, 2}}},
    {"EmergencyUpFrom90EndsTheRamp", kEmergency, 1, 90.0f, true, 30, {{100, 1}}},
    {"EmergencyUpWithoutFreeAirNeverMoves", kEmergency, 0, 85.0f, true, 30, {{85, 3}}},
    // A Value below 10 loads 0: one step from the raised flag, then none.
    {"EmergencyDownValueBelowTen", kEmergency, 1, 50.0f, false, 9, {{40, 4}}},
    {"SingleAirconFrom35", kSingle, 1, 35.0f, false, 30, {{25, 3}, {15, 3}, {5, 3}, {0, 4}}},
    {"SingleAirconFrom10", kSingle, 1, 10.0f, false, 30, {{0, 5}}},
    {"SingleAirconAboveFull", kSingle, 1, 150.0f, false, 30, {{0, 4}}},
    {"SingleAirconValueBelowTen", kSingle, 1, 35.0f, false, 9, {{25, 5}}},
    // Single-aircon cooling ramps only with free air (option byte 1).
    {"SingleAirconWithoutFreeAir", kSingle, 0, 35.0f, false, 30, {{35, 4}}},
    {"SingleAirconFreeAirByteTwo", kSingle, 2, 35.0f, false, 30, {{35, 4}}},
    // Two-aircon cooling ramps whatever useFreeAir says.
    {"TwoAirconsWithoutFreeAir", kTwo, 0, 30.0f, false, 30, {{20, 3}, {10, 3}, {0, 4}}},
};

INSTANTIATE_TEST_SUITE_P(Table, FanRampTest, ::testing::ValuesIn(kRamps), RowName());

}  // namespace
