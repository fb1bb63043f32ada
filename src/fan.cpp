#include "fan.h"

Fan::Fan() : cQlog("Fan"), mControlPort(nullptr) {}

// The port object belongs to the translator's set-up and lives until the
// process ends, so the record leaves it alone.
Fan::~Fan() = default;

cObjectAOutput* Fan::getControlPort() {
  return mControlPort;
}

void Fan::setControlPort(cObjectAOutput* port) {
  mControlPort = port;
}
