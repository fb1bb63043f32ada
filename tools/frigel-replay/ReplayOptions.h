// The command line of frigel-replay (getopt_long).
#ifndef FRIGEL_REPLAY_REPLAYOPTIONS_H
#define FRIGEL_REPLAY_REPLAYOPTIONS_H

#include <cstdint>
#include <optional>
#include <string>

#include "Weather.h"

struct ReplayOptions {
  std::string etc;  // the site's settings folder
  std::string modelPath;
  std::string weatherPath;
  WeatherReadOptions weather;  // format, place, typical year, days
  // --pass-seconds in microseconds; unset: the site's own pass.
  std::optional<int64_t> passMicroseconds;
  // "" none, "no-free-air", or a settings folder.
  std::string compare;
  int processes = 0;  // 0: one per processor
  std::string csvPath;
  int64_t csvIntervalSeconds = 3600;
  std::string plotFolder;
  std::string jsonPath;
  bool quiet = false;  // no summary on standard output
  bool help = false;
};

extern const char* const kReplayUsage;
extern const char* const kReplayHelp;

// The options of `argv`; nothing, with `error`, for an unknown option, a
// missing or malformed value, or a missing --model or --weather.
std::optional<ReplayOptions> parseReplayOptions(int argc, char** argv, std::string& error);

// A decimal number of seconds with at most six decimals ("0.01", "5") in
// whole microseconds, above 0; false for anything else.
bool parseSecondsAsMicroseconds(const std::string& text, int64_t& microseconds);

#endif
