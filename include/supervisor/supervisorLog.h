// What the supervisor tells its operator in the log: the effective
// parameters once at start, and each change of the cooling mode.
#ifndef FRIGEL_SUPERVISORLOG_H
#define FRIGEL_SUPERVISORLOG_H

#include <cQlog.h>

#include "Globals.h"
#include "coolingModes.h"

// One INFO line per parameter, with its unit. With exact pacing
// (passPeriodMicroseconds > 0) durations are also given in seconds.
void logEffectiveParameters(cQlog& log, int passPeriodMicroseconds);

// "mode free air -> single aircon (internal 27.1, external 18.3)".
void logModeChange(cQlog& log, eCoolingModeState before, eCoolingModeState after,
                   float internalTemperature, float externalTemperature);

#endif
