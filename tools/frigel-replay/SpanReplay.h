// One span of a replay, from a fresh start: the real controller, pass by
// pass, in the room model, through the weather.
//
// Each pass hands the probes' last readings to the controller through the
// daemon's pass function (runControlPass), and the controller's switch and
// fan calls go through the bridge's output logic (AirconOutputs, with the
// minimum off time and the start stagger on the simulated clock, by way of
// the flat call recorder). The room model steps at its own step: a step
// from time s takes the outputs as the passes before s left them, and its
// readings at its end reach the passes from s + step on. The controller's
// variables are process-wide, so one process replays one span at a time.
#ifndef FRIGEL_REPLAY_SPANREPLAY_H
#define FRIGEL_REPLAY_SPANREPLAY_H

#include <cstdint>

#include "ModelFile.h"
#include "PassRescale.h"
#include "ReplayFigures.h"
#include "WeatherSeries.h"

// What every span of one run shares.
struct ReplaySetup {
  // The controller's settings, pass counts in replay passes.
  ControllerSettingValues settings;
  int64_t passMicroseconds = 1000000;
  // The bridge's holds on the simulated clock; 0: off.
  int64_t minimumOffMicroseconds = 0;
  int64_t startStaggerMicroseconds = 0;
  // The no-cooling alarm on the simulated clock; 0: off.
  int64_t noCoolingAfterMicroseconds = 0;
  float noCoolingKelvin = 0.3f;
  // The outputs the settings file sets up; the others are never driven.
  bool airconSetUp[2] = {true, true};
  // The room; its `outside` is not used (the weather replaces it) and its
  // step must be a whole number of microseconds.
  ModelSpec model;
  // Seconds between CSV rows; 0: none.
  int64_t csvIntervalSeconds = 0;
};

// The step of `model` in whole microseconds; 0 when it is not a whole
// number of them.
int64_t modelStepMicroseconds(const ModelSpec& model);

// Replays `setup` through `weather` from `beginUnixSeconds` to
// `endUnixSeconds` (> begin), starting from the controller's state at
// start-up, the outputs off and resting their minimum off time from the
// start (as the daemon's at start-up), and the room at the model's initial
// temperature (the outside temperature when the model gives none).
RunFigures replaySpan(const ReplaySetup& setup, const WeatherSeries& weather,
                      int64_t beginUnixSeconds, int64_t endUnixSeconds);

// "2001-07-01 13:05,27.31,24.10,1,0,0.0,single aircon": the CSV's header
// names the columns.
extern const char* const kReplayCsvHeader;

#endif
