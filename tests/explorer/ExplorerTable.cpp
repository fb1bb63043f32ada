#include "ExplorerTable.h"

#include <cstddef>
#include <iterator>

ControllerSettingValues baseExplorerSettings() {
  ControllerSettingValues s;
  s.numberOfAircons = 2;
  s.goalTemperature = 24.0f;
  s.maximumExtAboveIntTemperature = 2.0f;
  s.coolingPullIn = 22.0f;
  s.aircon1PullIn = 28.0f;
  s.aircon1DropOut = 25.0f;
  s.aircon2PullIn = 32.0f;
  s.aircon2DropOut = 29.0f;
  s.hiTemperaturePullIn = 40.0f;
  s.hiTemperatureDropOut = 36.0f;
  s.hiTempFanPullIn = 38.0f;  // the band, 36 to 38, lies in the emergency's range
  // Stepping up from the lowest speed reaches full speed through the clamp
  // (1, 11, ..., 91, 100); stepping down from full speed ends in a remainder
  // below the step (75, 50, 25, 0), which goes to the lowest speed. With the
  // ramps' tens, every speed is a multiple of 5 or one more: 41 at most.
  s.fanSpeedStepUpSize = 10.0f;
  s.fanSpeedStepDownSize = 25.0f;
  s.aircon1MinimumRunTimeValue = 1;
  s.aircon2MinimumRunTimeValue = 1;
  s.airconRunTimeAfterDropOutValue = 1;
  s.fanMinimumRunTimePreCoolingValue = 1;
  s.fanMinimumRunTimePreAirconValue = 1;
  s.fanSpeedIncreaseTimeOutValue = 1;
  s.fanSpeedDecreaseTimeOutValue = 1;
  s.fanRampDownTimeValue = 20;  // a ramp step every 2 passes
  s.fanRampUpTimeValue = 20;
  return s;
}

namespace {

// The settings that a row's options and timers set, column by column.
constexpr uint8_t ControllerSettingValues::*kOptionColumns[] = {
    &ControllerSettingValues::numberOfAircons, &ControllerSettingValues::airconRotation,
    &ControllerSettingValues::useFreeAir, &ControllerSettingValues::useFanInHiTemp};
constexpr uint32_t ControllerSettingValues::*kTimerColumns[] = {
    &ControllerSettingValues::aircon1MinimumRunTimeValue,
    &ControllerSettingValues::aircon2MinimumRunTimeValue,
    &ControllerSettingValues::airconRunTimeAfterDropOutValue,
    &ControllerSettingValues::fanMinimumRunTimePreCoolingValue,
    &ControllerSettingValues::fanMinimumRunTimePreAirconValue,
    &ControllerSettingValues::fanRampDownTimeValue,
    &ControllerSettingValues::fanRampUpTimeValue};

struct Row {
  const char* name;
  uint8_t options[std::size(kOptionColumns)];
  uint32_t timers[std::size(kTimerColumns)];  // ramp Values below 10 never step
  uint32_t minimumOff;                        // the bridge's hold, passes
  bool quick;                                 // also in the sanitizer builds' table
};

// Columns: name, {units, rotation, free air, fan band}, {minimum runs 1 and
// 2, run-on, pre-cooling, pre-aircon, ramp down, ramp up}, minimum off, quick.
// clang-format off
const Row kRows[] = {
  {"one-unit",                        {1, 0, 0, 0}, {3, 1, 1, 1, 1, 20, 20}, 2, true},
  {"two-units-rotating",              {2, 1, 0, 0}, {2, 3, 1, 1, 1, 20,  9}, 3, true},
  {"one-unit-free-air-long-run-on",   {1, 0, 1, 1}, {2, 1, 3, 1, 2,  9, 20}, 2, false},
  {"two-units-free-air-short-run-on", {2, 0, 1, 0}, {2, 2, 1, 2, 1, 20,  9}, 3, false},
  {"two-units-rotating-free-air",     {2, 1, 1, 1}, {2, 2, 2, 2, 1, 20, 20}, 2, false},
  {"two-units-rotating-long-run-on",  {2, 1, 1, 0}, {1, 2, 3, 1, 2,  9,  9}, 1, true},
  {"one-unit-rotation-band-run-on-1", {1, 1, 1, 1}, {3, 1, 1, 3, 1, 20,  9}, 3, false},
  {"two-units-band-run-on-1",         {2, 0, 1, 1}, {1, 3, 1, 3, 2,  9, 20}, 2, false},
};
// clang-format on

}  // namespace

std::vector<ExplorerConfig> explorerTable(bool quick) {
  std::vector<ExplorerConfig> table;
  for (const Row& row : kRows) {
    if (quick && !row.quick) {
      continue;
    }
    ExplorerConfig config;
    config.name = row.name;
    ControllerSettingValues& s = config.settings;
    s = baseExplorerSettings();
    for (std::size_t i = 0; i < std::size(kOptionColumns); ++i) {
      s.*kOptionColumns[i] = row.options[i];
    }
    for (std::size_t i = 0; i < std::size(kTimerColumns); ++i) {
      s.*kTimerColumns[i] = row.timers[i];
    }
    config.minimumOffPasses = row.minimumOff;
    config.requiredRestPasses = row.minimumOff;
    table.push_back(config);
  }
  return table;
}
