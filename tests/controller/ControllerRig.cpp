#include "ControllerRig.h"

#include <string>

#include "FlatCallRecorder.h"
#include "controlPass.h"
#include "controllerSnapshot.h"
#include "frigel.h"

namespace {

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

ControllerSettings::ControllerSettings() {
  numberOfAircons = 2;
  useFreeAir = 1;
  goalTemperature = 24.0f;
  maximumExtAboveIntTemperature = 2.0f;
  coolingPullIn = 22.0f;
  aircon1PullIn = 28.0f;
  aircon1DropOut = 25.0f;
  aircon2PullIn = 32.0f;
  aircon2DropOut = 29.0f;
  hiTemperaturePullIn = 40.0f;
  hiTemperatureDropOut = 36.0f;
  hiTempFanPullIn = 45.0f;
  fanSpeedStepUpSize = fanSpeedStepDownSize = 10.0f;
  aircon1MinimumRunTimeValue = aircon2MinimumRunTimeValue = 20;
  airconRunTimeAfterDropOutValue = 10;
  fanMinimumRunTimePreCoolingValue = fanMinimumRunTimePreAirconValue = 10;
  fanSpeedIncreaseTimeOutValue = fanSpeedDecreaseTimeOutValue = 5;
  fanRampDownTimeValue = fanRampUpTimeValue = 30;  // one ramp step every 3 passes
}

void ControllerSettings::apply(const Units& units) {
  numberOfAircons = units.numberOfAircons;
  useFreeAir = units.useFreeAir;
  apply();
}

ControllerRig& ControllerRig::instance() {
  static ControllerRig rig;
  return rig;
}

ControllerRig::ControllerRig() {
  recorder.lines = &mActuations;
}

void ControllerRig::startFresh() {
  ControllerSettingValues().apply();  // every setting 0
  restoreControllerState(ControllerSnapshot());
  recorder.resetOutputs();
  mActuations.clear();
}

void ControllerRig::startIn(eCoolingModeState mode) {
  startFresh();
  ControllerSnapshot afterFirstPass;
  afterFirstPass.first = 0;
  restoreControllerState(afterFirstPass);
  coolState = mode;
}

void ControllerRig::setTemperatures(float internalCelsius, float externalCelsius) {
  setInternalTemperatureAveraging(internalCelsius);
  setExternalTemperatureAveraging(externalCelsius);
}

Actuations ControllerRig::pass() {
  runControlPass(nullptr, [] { recorder.reconcile(); });
  return takeActuations();
}

std::vector<Actuations> ControllerRig::passes(int count) {
  std::vector<Actuations> all;
  for (int i = 0; i < count; ++i) {
    all.push_back(pass());
  }
  return all;
}

Actuations ControllerRig::takeActuations() {
  Actuations out;
  out.swap(mActuations);
  return out;
}

void ControllerRig::detachOutputs() {
  recorder.attached = false;
}

void ControllerRig::runningPastFirstStep(eCoolingModeState mode) {
  (mode == aircon1CoolingModeState   ? AirCon1timerLoop
   : mode == aircon2CoolingModeState ? AirCon2timerLoop
                                     : emergencytimerLoop) = 1;
  markUnitOn(1);
  if (mode != aircon1CoolingModeState) {
    markUnitOn(2);
  }
}

void ControllerRig::markUnitOn(int unit) {
  if (unit == 1) {
    aircon1 = 1;
  } else if (unit == 2) {
    aircon2 = 1;
  }
  recorder.markOn(unit);
}

std::string fanEntry(float percent) {
  char text[64];
  std::snprintf(text, sizeof text, "fan %g", static_cast<double>(percent));
  return text;
}

Actuations switchesOnly(const Actuations& all) {
  Actuations out;
  for (const std::string& entry : all) {
    if (!startsWith(entry, "fan ")) {
      out.push_back(entry);
    }
  }
  return out;
}

std::vector<std::string> lastFanWrites(const std::vector<Actuations>& passes) {
  std::vector<std::string> out;
  for (const Actuations& one : passes) {
    std::string fan;
    for (const std::string& entry : one) {
      if (startsWith(entry, "fan ")) {
        fan = entry;
      }
    }
    out.push_back(fan);
  }
  return out;
}

void PrintTo(eCoolingModeState mode, std::ostream* out) {
  *out << coolingModeName(mode);
}
