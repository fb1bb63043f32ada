// What the controller is given for a lost outside probe, so that free-air
// cooling draws no outside air in: shared by the daemon's probe guard and
// the state explorer that proves it.
#ifndef FRIGEL_LOSTPROBEVALUES_H
#define FRIGEL_LOSTPROBEVALUES_H

#include <algorithm>

// The outside temperature that keeps free-air cooling from drawing outside
// air in, for inside temperatures up to `highestInsideCelsius`: free air
// draws air in only while inside > outside - maximumExtAboveInt, so this
// lies a degree above that for every inside temperature. Free air then
// finds the outside air too warm: its fan stays at its lowest speed and it
// hands back to no cooling.
inline float freeAirBlockingOutsideCelsius(float highestInsideCelsius, float maximumExtAboveInt) {
  return highestInsideCelsius + std::max(maximumExtAboveInt, 0.0f) + 1.0f;
}

#endif
