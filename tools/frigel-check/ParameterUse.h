// Which parameters play a part in the controller with the options chosen:
// a threshold or timer of a feature that is off is not worth a warning.
// When each parameter is used is stated once, in the daemon's parameter
// table (ParameterDefinition::use); this says why in the operator's words.
#ifndef FRIGEL_CHECK_PARAMETERUSE_H
#define FRIGEL_CHECK_PARAMETERUSE_H

#include <optional>
#include <string>

#include "ParameterReading.h"

// The options the controller runs with, as stored (0 to 255 each).
struct ControllerFeatures {
  unsigned numberOfAircons = 0;
  unsigned useFreeAir = 0;
  unsigned useFanInHiTemp = 0;
};

ControllerFeatures controllerFeatures(const SeenConfiguration& seen);

// Why the parameter drives nothing with these options ("free-air cooling is
// off: useFreeAir is not 1"), or nothing when it is in use.
std::optional<std::string> unusedBecause(const ParameterDefinition& definition,
                                         const ControllerFeatures& features);

#endif
