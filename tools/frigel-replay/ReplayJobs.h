// A replay command's work: each run (the site's settings, and what it is
// compared with) over each span of the weather, spread over processes.
//
// A run is cut into calendar years, and every year starts afresh (the
// controller at start-up, the outputs off and resting as at the daemon's
// start-up, the room at the model's initial temperature), so no year
// depends on another: the results
// are the same whatever the number of processes. The controller's variables
// are process-wide, so each process replays one span at a time; a span's
// figures come back to the parent through a pipe, exactly.
#ifndef FRIGEL_REPLAY_REPLAYJOBS_H
#define FRIGEL_REPLAY_REPLAYJOBS_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ReplayFigures.h"
#include "SpanReplay.h"
#include "WeatherSeries.h"

struct ReplayRunPlan {
  std::string name;  // "settings", "no-free-air", or the compared folder
  std::string etc;   // the settings folder it was read from
  ReplaySetup setup;
};

struct TimeSpan {
  int64_t beginUnixSeconds = 0;
  int64_t endUnixSeconds = 0;
};

// [begin, end) cut at every January 1st, 00:00, in between.
std::vector<TimeSpan> calendarYearSpans(int64_t beginUnixSeconds, int64_t endUnixSeconds);

// Every run over every span, in up to `processes` processes (1: in this
// process). The figures of each run, its spans appended in order. Nothing,
// with `error`, when a process could not be started or did not deliver.
std::optional<std::vector<RunFigures>> replayRuns(const std::vector<ReplayRunPlan>& runs,
                                                  const WeatherSeries& weather,
                                                  const std::vector<TimeSpan>& spans, int processes,
                                                  std::string& error);

#endif
