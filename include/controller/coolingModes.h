// The cooling modes by name, for whoever reports them: the log, the status
// file, the state explorer.
#ifndef FRIGEL_COOLINGMODES_H
#define FRIGEL_COOLINGMODES_H

#include "Globals.h"

// "no cooling", "free air", "single aircon", "two aircon", "emergency", or
// "unknown" for a value outside the five modes.
const char* coolingModeName(eCoolingModeState mode);

#endif
