#include "ParameterUse.h"

#include <set>

namespace {

unsigned storedOption(const SeenConfiguration& seen, const char* name) {
  const EffectiveValue* value = seen.find(name);
  return value ? static_cast<unsigned>(value->value) : 0;
}

bool isOneOf(const std::string& name, const std::set<std::string>& names) {
  return names.count(name) > 0;
}

}  // namespace

ControllerFeatures controllerFeatures(const SeenConfiguration& seen) {
  ControllerFeatures features;
  features.numberOfAircons = storedOption(seen, "numberOfAircons");
  features.freeAir = storedOption(seen, "useFreeAir") == 1;
  features.emergencyFanBand = storedOption(seen, "useFanInHiTemp") == 1 && features.freeAir &&
                              features.numberOfAircons != 0;
  return features;
}

std::optional<std::string> unusedBecause(const std::string& name,
                                         const ControllerFeatures& features) {
  static const std::string kNoFreeAir = "free-air cooling is off: useFreeAir is not 1";
  static const std::string kNoAircon = "no air conditioner: numberOfAircons is 0";
  if (name == "airconFailRetryPeriod") {
    return std::string("the controller reads it but nothing uses it");
  }
  if (isOneOf(name, {"coolingPullIn", "goalTemperature", "maximumExtAboveIntTemperature",
                     "fanMinimumRunTimePreCoolingValue", "fanMinimumRunTimePreAirconValue",
                     "fanSpeedIncreaseTimeOutValue", "fanSpeedDecreaseTimeOutValue",
                     "fanSpeedStepUpSize", "fanSpeedStepDownSize"}) &&
      !features.freeAir) {
    return kNoFreeAir;
  }
  // Free-air cooling compares with aircon1PullIn even without an air
  // conditioner: it decides when the fan runs flat out.
  if (name == "aircon1PullIn" && features.numberOfAircons == 0 && !features.freeAir) {
    return "no air conditioner and free-air cooling is off";
  }
  if (isOneOf(name, {"aircon1DropOut", "aircon1MinimumRunTimeValue", "fanRampDownTimeValue"}) &&
      features.numberOfAircons == 0) {
    return kNoAircon;
  }
  if (isOneOf(name, {"aircon2PullIn", "aircon2DropOut", "aircon2MinimumRunTimeValue"}) &&
      features.numberOfAircons < 2) {
    return "no second air conditioner: numberOfAircons is below 2";
  }
  if (name == "airconRunTimeAfterDropOutValue" &&
      (features.numberOfAircons == 0 || !features.freeAir)) {
    return features.freeAir ? kNoAircon : kNoFreeAir;
  }
  if (isOneOf(name, {"hiTempFanPullIn", "fanRampUpTimeValue"}) && !features.emergencyFanBand) {
    return "the emergency fan band is off: it needs useFanInHiTemp 1, useFreeAir 1 and an air "
           "conditioner";
  }
  return std::nullopt;
}
