// The process-wide translator and the flat call interface through which the
// controller and the parameter reader reach it. The controller's variables
// are defined in controllerState.cpp, its temperature setters and its timer
// tick in controllerTimers.cpp, so that tools which only read the parameter
// files, and the state explorer, can link them without the translator and
// its connection.
#include "iostub.h"

#include "CqTranslator.h"
#include "Globals.h"
#include "etcPaths.h"
#include "parameterFiles.h"

// The bridge is constructed before main runs, after the supervisor's
// properties object (lower priorities are constructed first).
CqTranslator translator __attribute__((init_priority(1001)));

bool setupAircon(const char* portLabel, int airconNumber) {
  switch (airconNumber) {
    case 1:
      return translator.setupFirstAircon(portLabel);
    case 2:
      return translator.setupSecondAircon(portLabel);
    default:
      return false;
  }
}

bool setupFan(const char* portLabel) {
  return translator.setupFan(portLabel);
}

bool setupIntProbe(const char* portLabel) {
  return translator.setupInternalProbe(portLabel);
}

bool setupExProbe(const char* portLabel) {
  return translator.setupExternalProbe(portLabel);
}

void switchAircon(uint8_t ac_num, uint8_t state, uint8_t dunno) {
  if (state == 0 || state == 1) {
    if (ac_num == 1) {
      aircon1 = state;
    } else if (ac_num == 2) {
      aircon2 = state;
    }
  }
  translator.switchAirconNoncurrentStateBased(ac_num, state, dunno);
}

namespace {

bool fanIsDrivable() {
  Fan* fan = translator.getFan();
  return fan != nullptr && fan->getControlPort() != nullptr;
}

}  // namespace

void setFan(float /*speed: the controller's fanSpeedPercent is sent*/) {
  if (fanIsDrivable()) {
    translator.setFanValue(fanSpeedPercent);
  }
}

void setFanInverted(float speed) {
  if (fanIsDrivable()) {
    translator.setFanValue(100 - speed);
  }
}

void getParametersFromFile() {
  const PortSetupCalls flatSetupCalls = {setupIntProbe, setupExProbe, setupAircon, setupFan};
  readParameterFiles(settingsFilePath().c_str(), constantsFilePath().c_str(), flatSetupCalls);
}
