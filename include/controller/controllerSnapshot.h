// A copy of the controller's whole state that can be put back: every live
// variable and timer of Globals.h and the first-pass marker, which only the
// controller's own unit can reach. The settings are not part of it: they
// are written once at start and never change while the controller runs.
// Tools that walk the controller's states (the state explorer, the test
// rig) save and restore it between passes; the mode logic never sees it.
#ifndef FRIGEL_CONTROLLERSNAPSHOT_H
#define FRIGEL_CONTROLLERSNAPSHOT_H

#include <cstdint>

#include "Globals.h"
#include "controllerVariables.h"

struct ControllerSnapshot {
#define FRIGEL_SNAPSHOT_FIELD(type, name) type name{};
  FRIGEL_CONTROLLER_LIVE_STATE(FRIGEL_SNAPSHOT_FIELD)
#undef FRIGEL_SNAPSHOT_FIELD
  // 1 until the first pass has chosen the starting mode.
  uint8_t first = 1;
};

// The state now. A default ControllerSnapshot is the state at start.
ControllerSnapshot saveControllerState();
// Puts every variable of `snapshot` back, the first-pass marker included.
void restoreControllerState(const ControllerSnapshot& snapshot);

#endif
