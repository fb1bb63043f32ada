#include "coolingModes.h"

const char* coolingModeName(eCoolingModeState mode) {
  switch (mode) {
    case noCoolingModeState:
      return "no cooling";
    case freeAirCoolingModeState:
      return "free air";
    case aircon1CoolingModeState:
      return "single aircon";
    case aircon2CoolingModeState:
      return "two aircon";
    case emergencyCoolingModeState:
      return "emergency";
  }
  return "unknown";
}
