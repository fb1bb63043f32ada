// The daemon's three configuration files for the benchmark site: one air
// conditioner on "ac-1", the fan on "fan", probes "t-int" and "t-ext", no
// free air, no rotation, and minimum run times of one pass, so that every
// probe change across a threshold switches the air conditioner within two
// passes.
#ifndef FRIGEL_BENCH_SITEFILES_H
#define FRIGEL_BENCH_SITEFILES_H

#include <string>

// Probe values that switch the air conditioner on and off on this site,
// and values in between that switch nothing (degrees Celsius).
constexpr float kSwitchOnTemperature = 31.0f;   // at or above aircon1PullIn
constexpr float kSwitchOffTemperature = 20.0f;  // below aircon1DropOut
constexpr float kQuietTemperatureLow = 21.0f;
constexpr float kQuietTemperatureHigh = 21.5f;

// Writes the settings and constants files under `etcDir` (and its frigel/
// folder). False when a file cannot be written.
bool writeSiteFiles(const std::string& etcDir);
// Writes frigel.conf: logging at INFO to standard output, the default
// re-poll period, and
// PassPeriodMicroseconds when `passPeriodMicroseconds` is above 0 (0: the
// literal loop).
bool writeProperties(const std::string& etcDir, int passPeriodMicroseconds);

#endif
