#include "aircon.h"

aircon::aircon() : _airconControlPort(nullptr), mAirConnumber(0), OPStatus(OFF) {}

// The port object belongs to the translator's set-up and lives until the
// process ends, so the record leaves it alone.
aircon::~aircon() = default;

cObjectDOutput* aircon::getControlPort() {
  return _airconControlPort;
}

void aircon::setControlPort(cObjectDOutput* port) {
  _airconControlPort = port;
}

int aircon::getAirconNumber() {
  return mAirConnumber;
}

void aircon::setAirconNumber(int number) {
  mAirConnumber = number;
}

aircon::OnOffStatus aircon::getOnOffStatus() {
  return OPStatus;
}

void aircon::setOnOffStatus(OnOffStatus status) {
  OPStatus = status;
}
