#include "supervisorLog.h"

#include <cstdint>
#include <cstring>

#include "parameterFiles.h"

namespace {

void logParameter(cQlog& log, const ParameterDefinition& definition, int passPeriodMicroseconds) {
  switch (definition.conversion) {
    case ParameterConversion::Byte:
      log.info("parameter %s = %u", definition.name,
               static_cast<unsigned>(*static_cast<const uint8_t*>(definition.target)));
      break;
    case ParameterConversion::Unsigned: {
      uint32_t passes = *static_cast<const uint32_t*>(definition.target);
      if (passPeriodMicroseconds > 0) {
        log.info("parameter %s = %lu %s (%.1f s)", definition.name,
                 static_cast<unsigned long>(passes), definition.unit,
                 static_cast<double>(passes) * passPeriodMicroseconds / 1e6);
      } else {
        log.info("parameter %s = %lu %s", definition.name, static_cast<unsigned long>(passes),
                 definition.unit);
      }
      break;
    }
    case ParameterConversion::Float:
      log.info("parameter %s = %g %s", definition.name,
               static_cast<double>(*static_cast<const float*>(definition.target)), definition.unit);
      break;
  }
}

}  // namespace

void logEffectiveParameters(cQlog& log, int passPeriodMicroseconds) {
  for (const auto* table : {&settingsParameters(), &constantsParameters()}) {
    for (const ParameterDefinition& definition : *table) {
      logParameter(log, definition, passPeriodMicroseconds);
    }
  }
}

void logModeChange(cQlog& log, eCoolingModeState before, eCoolingModeState after,
                   float internalTemperature, float externalTemperature) {
  log.info("mode %s -> %s (internal %.1f, external %.1f)", coolingModeName(before),
           coolingModeName(after), static_cast<double>(internalTemperature),
           static_cast<double>(externalTemperature));
}
