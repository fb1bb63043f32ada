// Rescaling the controller's pass-counted settings for a replay that runs
// coarser passes than the site, so that every duration lasts as many
// seconds as on the site.
//
// The pass counts are the settings whose name ends in Value, and
// airconFailRetryPeriod: each loads a count-down that runs out after that
// many passes. The two fan ramp Values are loaded divided by 10 (integer
// division, remainder dropped), so for them it is the tenth that must
// divide. Only the settings scale: whatever the controller does "at the
// next pass" (a hand-over, a ramp step after expiry) takes one replay pass.
#ifndef FRIGEL_REPLAY_PASSRESCALE_H
#define FRIGEL_REPLAY_PASSRESCALE_H

#include <cstdint>
#include <optional>
#include <string>

#include "controllerVariables.h"

// The controller's settings as values, one member per setting.
struct ControllerSettingValues {
#define FRIGEL_SETTING_VALUE(type, name) type name{};
  FRIGEL_CONTROLLER_SETTINGS(FRIGEL_SETTING_VALUE)
#undef FRIGEL_SETTING_VALUE

  // The controller's settings now (after the parameter files were read).
  static ControllerSettingValues current();
  // Writes every member into the controller's settings.
  void apply() const;
};

// `site` with every pass count divided by the factor replay pass / site
// pass. Nothing, with `error`, when a pass length is not positive, the
// replay pass is not a whole number of site passes, or a pass count does
// not divide exactly (one line for each such setting, with its value and
// why). A factor of 1 returns `site` unchanged.
std::optional<ControllerSettingValues> rescalePassCounts(const ControllerSettingValues& site,
                                                         int64_t sitePassMicroseconds,
                                                         int64_t replayPassMicroseconds,
                                                         std::string& error);

#endif
