// The cooling controller: named constants and entry points. All functions
// work on the process-wide state of Globals.h, on the main thread only.
#ifndef FRIGEL_FRIGEL_H
#define FRIGEL_FRIGEL_H

#include <cstdint>

#include "Globals.h"

const int set = 1;    // a timer flag that has risen
const int clear = 0;  // a timer flag that is down
const int on = 1;     // an output that is on
const int off = 0;    // an output that is off
const int yes = 1;    // an option that is enabled
const int no = 0;     // an option that is disabled

// One controller pass: choose the first mode, force emergency at the
// high-temperature threshold, run one mode step, send the fan speed.
void whichCooloingMode();

// Mode steps, one per pass while their mode is current.
void noCooling();
void freeAirCoolMode();
void aircon1CoolingMode();
void aircon2CoolingMode();
void emergencyCoolingMode();

// The physical unit (1 or 2) that holds the first role now: with rotation
// on and other than exactly one unit, unit 2 until the first role last
// switched unit 2 off. The role operations and the operator's status both
// read it.
uint8_t firstAirconUnit();

// Air conditioners by role; each switches its unit only on a change.
void turnOnFirstAircon();
void turnOnSecondAircon();
void turnOffFirstAircon();
void turnOffSecondAircon();

// Copy a probe value in, unchanged.
void setInternalTemperatureAveraging(float value);
void setExternalTemperatureAveraging(float value);

// Advances the nine count-down timers by one pass.
void flagChecker();

#endif
