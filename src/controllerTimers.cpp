// The controller's inputs and its time base: the temperature setters, which
// the main loop calls with the probe values, and the timer tick, once a pass.
#include "Globals.h"
#include "frigel.h"

void setInternalTemperatureAveraging(float value) {
  internalTemperatureAveraging = value;
}

void setExternalTemperatureAveraging(float value) {
  externalTemperatureAveraging = value;
}

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
