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
