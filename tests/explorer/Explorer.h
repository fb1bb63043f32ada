// Exhaustive exploration of the cooling controller's reachable states.
//
// The controller is plain functions over a few dozen process-wide
// variables. With the temperatures drawn from a finite set of
// representative values and short timers, the states it can reach are
// finitely many, and a breadth-first search from start-up visits every one
// of them, running the real mode logic (whichCooloingMode, flagChecker) for
// every input of every state. The flat actuation calls are replaced by a
// recorder (FlatCallRecorder.cpp) that keeps what the real ones keep in the
// controller's records and drives the bridge's real minimum-off-time hold
// with a clock of passes. Invariants are checked on every transition; for
// each one that fails, the shortest input trace from start-up that breaks
// it is kept.
#ifndef FRIGEL_TESTS_EXPLORER_H
#define FRIGEL_TESTS_EXPLORER_H

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "controllerSnapshot.h"
#include "controllerVariables.h"

struct ExplorerConfig {
  std::string name;
  // The controller's settings, as the parameter files set them.
  ControllerSettingValues settings;
  // The bridge's minimum off time in passes; 0: no hold.
  uint32_t minimumOffPasses = 0;
  // No output may rest less than this many passes (0: the rest is not
  // checked). Usually the minimum off time.
  uint32_t requiredRestPasses = 0;
  // Only inside temperatures below the emergency pull-in: the controller in
  // its everyday modes.
  bool belowEmergency = false;
  // The outside probe lost: every pass gives the controller this outside
  // temperature (the one the daemon gives to keep outside air out), and the
  // free-air step must then never draw outside air in. NaN: the outside
  // temperature ranges as the inside one does.
  float lostOutsideCelsius = std::numeric_limits<float>::quiet_NaN();
  // The search stops, incomplete, after this many states.
  uint64_t maxStates = 4000000;
};

// A rule broken on some transition, with the shortest trace that breaks it.
struct Violation {
  std::string rule;
  std::string detail;
  std::vector<std::string> trace;  // one line per pass, from start-up
};

struct ExplorerResult {
  uint64_t states = 0;
  uint64_t transitions = 0;
  std::size_t inputsPerState = 0;  // distinct temperature pairs
  double seconds = 0.0;
  bool complete = true;               // false when maxStates was reached
  std::vector<Violation> violations;  // the first of each rule broken
};

ExplorerResult explore(const ExplorerConfig& config);

// "name: S states, T transitions, I inputs, 1.23 s" then each violation
// with its trace.
std::string describeResult(const ExplorerConfig& config, const ExplorerResult& result);

#endif
