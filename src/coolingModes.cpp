#include "coolingModes.h"

const char* coolingModeName(eCoolingModeState mode) {
  // By value: noCoolingModeState is 0, emergencyCoolingModeState 4.
  static const char* const kNames[] = {"no cooling", "free air", "single aircon", "two aircon",
                                       "emergency"};
  return mode <= emergencyCoolingModeState ? kNames[mode] : "unknown";
}
