// One controller pass in each of the five modes, in its steady state: the
// probe values keep the controller in the mode, so every iteration is the
// pass the daemon runs over and over. No device records are set up, so the
// outputs go nowhere (switching and setFan return at once).
#include <string>

#include "Globals.h"
#include "MicroBenchmarks.h"
#include "frigel.h"

namespace {

struct ModeSetting {
  const char* name;
  eCoolingModeState mode;
  float internalTemperature;
  float externalTemperature;
  uint8_t useFreeAirOption;
};

// Temperatures that hold each mode with the thresholds of prepareSite().
const ModeSetting kModes[] = {
    {"noCooling", noCoolingModeState, 20.0f, 15.0f, 0},
    {"freeAir", freeAirCoolingModeState, 27.0f, 15.0f, 1},
    {"aircon1", aircon1CoolingModeState, 31.0f, 15.0f, 0},
    {"aircon2", aircon2CoolingModeState, 34.0f, 15.0f, 0},
    {"emergency", emergencyCoolingModeState, 45.0f, 15.0f, 0},
};

// A shelter with two air conditioners and timers of tens of passes, and
// every piece of live state back to its start.
void prepareSite(const ModeSetting& setting) {
  numberOfAircons = 2;
  airconRotation = 0;
  useFreeAir = setting.useFreeAirOption;
  useFanInHiTemp = 1;
  goalTemperature = 24.0f;
  maximumExtAboveIntTemperature = -2.0f;
  coolingPullIn = 25.0f;
  aircon1PullIn = 30.0f;
  aircon1DropOut = 26.0f;
  aircon2PullIn = 33.0f;
  aircon2DropOut = 29.0f;
  hiTemperaturePullIn = 40.0f;
  hiTemperatureDropOut = 36.0f;
  hiTempFanPullIn = 42.0f;
  fanSpeedStepUpSize = 10.0f;
  fanSpeedStepDownSize = 5.0f;
  for (uint32_t* value :
       {&airconRunTimeAfterDropOutValue, &fanMinimumRunTimePreCoolingValue,
        &fanSpeedDecreaseTimeOutValue, &fanSpeedIncreaseTimeOutValue,
        &fanMinimumRunTimePreAirconValue, &aircon1MinimumRunTimeValue, &aircon2MinimumRunTimeValue,
        &fanRampDownTimeValue, &fanRampUpTimeValue}) {
    *value = 50;
  }
  for (uint32_t* timerRegister :
       {&airconRunTimeAfterDropOutRegister, &fanMinimumRunTimePreCoolingRegister,
        &fanSpeedDecreaseTimeOutRegister, &fanSpeedIncreaseTimeOutRegister,
        &fanMinimumRunTimePreAirconRegister, &aircon1RunTimeRegister, &aircon2RunTimeRegister,
        &fanRampDownTimeRegister, &fanRampUpTimeRegister}) {
    *timerRegister = 0;
  }
  for (uint8_t* flag : {&airconRunTimeAfterDropOutFlag, &fanMinimumRunTimePreCoolingFlag,
                        &fanSpeedDecreaseTimeOutFlag, &fanSpeedIncreaseTimeOutFlag,
                        &fanMinimumRunTimePreAirconFlag, &aircon1MinimumTimeOutFlag,
                        &aircon2MinimumTimeOutFlag, &fanRampDownTimeFlag, &fanRampUpTimeFlag}) {
    *flag = 0;
  }
  freeAirTimerLoop = 0;
  AirCon1timerLoop = 0;
  AirCon2timerLoop = 0;
  emergencytimerLoop = 0;
  extraHighTempFanMode = 0;
  fanSpeedPercent = 0.0f;
  aircon1 = 0;
  aircon2 = 0;
  lastAirconOff = 0;
  coolState = setting.mode;
  setInternalTemperatureAveraging(setting.internalTemperature);
  setExternalTemperatureAveraging(setting.externalTemperature);
}

void controllerPass(benchmark::State& state, const ModeSetting& setting) {
  prepareSite(setting);
  for (auto _ : state) {
    flagChecker();
    whichCooloingMode();
  }
  if (coolState != setting.mode) {
    state.SkipWithError("the controller left the mode under test");
  }
}

}  // namespace

BenchmarkList registerControllerBenchmarks() {
  // The very first pass chooses the starting mode; take it here so that
  // every benchmark runs the mode it sets up.
  prepareSite(kModes[0]);
  whichCooloingMode();
  BenchmarkList list;
  for (const ModeSetting& setting : kModes) {
    std::string name = std::string("ControllerPass/") + setting.name;
    list.push_back(benchmark::RegisterBenchmark(name.c_str(), controllerPass, setting));
  }
  return list;
}
