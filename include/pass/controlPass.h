// One control pass after its wait: the same sequence for the daemon and for
// every tool that runs the controller (the state explorer, the controller
// tests, the whole-year replay), so that what they prove holds for the
// daemon.
#ifndef FRIGEL_CONTROLPASS_H
#define FRIGEL_CONTROLPASS_H

#include "Globals.h"
#include "frigel.h"

// Both probes' values, in degrees Celsius.
struct ProbeReadings {
  float internalCelsius = 0.0f;
  float externalCelsius = 0.0f;
};

// The cooling mode before and after a pass.
struct PassModes {
  eCoolingModeState before;
  eCoolingModeState after;
  bool changed() const { return before != after; }
};

// `readings`, when given, go to the controller first (the daemon hands them
// over during the wait instead, as they arrive). Then every timer advances
// by one pass, the controller makes its step, and `reconcileOutputs()`
// brings the air conditioners' outputs in line with its decisions: after
// the step, so that a start the step took back is never sent.
template <typename ReconcileOutputs>
PassModes runControlPass(const ProbeReadings* readings, ReconcileOutputs&& reconcileOutputs) {
  if (readings != nullptr) {
    setInternalTemperatureAveraging(readings->internalCelsius);
    setExternalTemperatureAveraging(readings->externalCelsius);
  }
  const eCoolingModeState before = coolState;
  flagChecker();
  whichCooloingMode();
  reconcileOutputs();
  return PassModes{before, coolState};
}

#endif
