// Stands in for the flat actuation calls that the controller makes
// (switchAircon, setFan): it keeps what the real ones keep in the
// controller's records, and passes each switch through the bridge's real
// air conditioner outputs (minimum off time, start stagger), on a clock
// passed in (passes in the tests, simulated microseconds in the replay),
// with a server that takes every send. What left the controller is recorded
// per pass: the switches as events (the state explorer, the replay), and,
// when asked, every call as a line (the controller tests).
#ifndef FRIGEL_TESTS_FLATCALLRECORDER_H
#define FRIGEL_TESTS_FLATCALLRECORDER_H

#include <cstdint>
#include <string>
#include <vector>

#include "airconOutputs.h"

struct FlatCallRecorder {
  // One switchAircon call of unit 1 or 2, or a held start going out.
  struct Switch {
    int unit = 0;              // 1 or 2
    bool on = false;           // asked for (or released) on
    bool recordWasOn = false;  // the controller's record before the call
    bool sent = false;         // the output changed
    bool released = false;     // a held start going out after the step
    int64_t restPasses = -1;   // for a start sent: how long it rested (clock units); -1 never off
    bool held = false;         // a start that waits (minimum off time, start stagger)
  };
  static constexpr int kMaxSwitches = 8;

  // The bridge's outputs, kept across passes.
  AirconOutputs outputs;
  int64_t now = 0;  // the clock, in the unit of the outputs' timing
  // False: no output is set up, every switch is absent and the fan is not
  // written (long runs that watch the controller's variables only).
  bool attached = true;
  // When not null, every call adds a line, in order:
  //   "ac1 on", "ac2 off"  the unit was switched and the send went out
  //   "ac1 held"           a start waits (minimum off time, stagger)
  //   "ac1 refused"        the output is in that state already
  //   "ac3 absent"         no such unit, or the outputs are not attached
  //   "fan 100"            a fan write, the value printed with %g
  std::vector<std::string>* lines = nullptr;

  // What the pass did.
  Switch switches[kMaxSwitches];
  int switchCount = 0;
  int fanWrites = 0;
  float fanWritten = 0.0f;

  void startPass(int64_t passClock);
  // Both units set up, off and rested, nothing decided; attached.
  void resetOutputs();
  // Unit 1 or 2 runs, decided and confirmed on, as if switched on earlier.
  void markOn(int unit);
  // After the controller's step, as the bridge reconciles its outputs:
  // held starts whose wait is over go out.
  void reconcile();
};

extern FlatCallRecorder recorder;

#endif
