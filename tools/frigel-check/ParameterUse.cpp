#include "ParameterUse.h"

#include "Globals.h"

namespace {

unsigned storedOption(const SeenConfiguration& seen, const uint8_t* variable) {
  const EffectiveValue* value = seen.findByVariable(variable);
  return value ? static_cast<unsigned>(value->value) : 0;
}

}  // namespace

ControllerFeatures controllerFeatures(const SeenConfiguration& seen) {
  ControllerFeatures features;
  features.numberOfAircons = storedOption(seen, &::numberOfAircons);
  features.useFreeAir = storedOption(seen, &::useFreeAir);
  features.useFanInHiTemp = storedOption(seen, &::useFanInHiTemp);
  return features;
}

std::optional<std::string> unusedBecause(const ParameterDefinition& definition,
                                         const ControllerFeatures& features) {
  if (parameterInUse(definition.use, features.numberOfAircons, features.useFreeAir,
                     features.useFanInHiTemp)) {
    return std::nullopt;
  }
  const bool freeAir = features.useFreeAir == 1;
  static const std::string kNoFreeAir = "free-air cooling is off: useFreeAir is not 1";
  static const std::string kNoAircon = "no air conditioner: numberOfAircons is 0";
  switch (definition.use) {
    case ParameterUse::FreeAir:
      return kNoFreeAir;
    case ParameterUse::FreeAirOrAircon:
      return std::string("no air conditioner and free-air cooling is off");
    case ParameterUse::Aircon:
      return kNoAircon;
    case ParameterUse::SecondAircon:
      return std::string("no second air conditioner: numberOfAircons is below 2");
    case ParameterUse::FreeAirAndAircon:
      return freeAir ? kNoAircon : kNoFreeAir;
    case ParameterUse::EmergencyFanBand:
      return std::string(
          "the emergency fan band is off: it needs useFanInHiTemp 1, useFreeAir 1 and an air "
          "conditioner");
    case ParameterUse::Never:
      return std::string("the controller reads it but nothing uses it");
    case ParameterUse::Always:
      break;
  }
  return std::nullopt;
}
