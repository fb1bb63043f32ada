// Which parameters play a part in the controller with the options chosen:
// a threshold or timer of a feature that is off is not worth a warning.
#ifndef FRIGEL_CHECK_PARAMETERUSE_H
#define FRIGEL_CHECK_PARAMETERUSE_H

#include <optional>
#include <string>

#include "ParameterReading.h"

// The features the controller runs with, as the options were read.
struct ControllerFeatures {
  unsigned numberOfAircons = 0;  // as stored (0 to 255)
  bool freeAir = false;          // useFreeAir is exactly 1
  // The emergency fan band: useFanInHiTemp 1, useFreeAir 1 and an air conditioner.
  bool emergencyFanBand = false;
};

ControllerFeatures controllerFeatures(const SeenConfiguration& seen);

// Why the parameter `name` drives nothing with these features ("free-air
// cooling is off"), or nothing when it is in use.
std::optional<std::string> unusedBecause(const std::string& name,
                                         const ControllerFeatures& features);

#endif
