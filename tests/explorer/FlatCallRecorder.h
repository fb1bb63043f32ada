// Stands in for the flat actuation calls that the controller makes
// (switchAircon, setFan): it keeps what the real ones keep in the
// controller's records, and passes each switch through the bridge's real
// minimum-off-time hold, on the explorer's clock of passes.
#ifndef FRIGEL_TESTS_FLATCALLRECORDER_H
#define FRIGEL_TESTS_FLATCALLRECORDER_H

#include <cstdint>

#include "minimumOffTime.h"

struct FlatCallRecorder {
  // One switchAircon call of unit 1 or 2, or a held start going out.
  struct Switch {
    int unit = 0;              // 1 or 2
    bool on = false;           // asked for (or released) on
    bool recordWasOn = false;  // the controller's record before the call
    bool sent = false;         // the output changed
    bool released = false;     // a held start going out after the step
    int64_t restPasses = -1;   // for a start sent: how long it rested; -1 never off
  };
  static constexpr int kMaxSwitches = 8;

  // The bridge's outputs, kept across passes.
  MinimumOffTime holds[2];
  bool sentOn[2] = {false, false};
  int64_t now = 0;

  // What the pass did.
  Switch switches[kMaxSwitches];
  int switchCount = 0;
  int fanWrites = 0;
  float fanWritten = 0.0f;

  void startPass(int64_t passClock);
  // After the controller's step: held starts whose rest is over go out.
  void releaseHeldStarts();
};

extern FlatCallRecorder recorder;

#endif
