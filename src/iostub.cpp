// The temperature setters, the timer tick, the process-wide translator and
// the flat call interface through which the controller and the parameter
// reader reach it. The controller's variables themselves are defined in
// controllerState.cpp, so that tools which only read the parameter files
// can link them without the translator and its connection.
#include "iostub.h"

#include "Globals.h"
#include "etcPaths.h"
#include "frigel.h"
#include "parameterFiles.h"

void setInternalTemperatureAveraging(float value) { internalTemperatureAveraging = value; }

void setExternalTemperatureAveraging(float value) { externalTemperatureAveraging = value; }

namespace {

// One pass of one count-down: a running Register counts down and raises
// its Flag when it reaches 0. A Flag is never cleared here.
void tick(uint32_t& timerRegister, uint8_t& timerFlag) {
  if (timerRegister != 0) {
    --timerRegister;
    if (timerRegister == 0) {
      timerFlag = set;
    }
  }
}

}  // namespace

void flagChecker() {
  tick(airconRunTimeAfterDropOutRegister, airconRunTimeAfterDropOutFlag);
  tick(fanMinimumRunTimePreCoolingRegister, fanMinimumRunTimePreCoolingFlag);
  tick(fanSpeedDecreaseTimeOutRegister, fanSpeedDecreaseTimeOutFlag);
  tick(fanSpeedIncreaseTimeOutRegister, fanSpeedIncreaseTimeOutFlag);
  tick(fanMinimumRunTimePreAirconRegister, fanMinimumRunTimePreAirconFlag);
  tick(aircon2RunTimeRegister, aircon2MinimumTimeOutFlag);
  tick(aircon1RunTimeRegister, aircon1MinimumTimeOutFlag);
  tick(fanRampDownTimeRegister, fanRampDownTimeFlag);
  tick(fanRampUpTimeRegister, fanRampUpTimeFlag);
}

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

bool setupFan(const char* portLabel) { return translator.setupFan(portLabel); }

bool setupIntProbe(const char* portLabel) { return translator.setupInternalProbe(portLabel); }

bool setupExProbe(const char* portLabel) { return translator.setupExternalProbe(portLabel); }

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
