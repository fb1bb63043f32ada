// The effective configuration as the daemon would run with it: one line per
// setting, with its unit and where it came from.
#ifndef FRIGEL_CHECK_LISTING_H
#define FRIGEL_CHECK_LISTING_H

#include <string>
#include <vector>

#include "ParameterReading.h"
#include "PropertiesReview.h"

// The daemon's own properties keys and the number of logging keys.
std::vector<std::string> propertiesListing(const PropertiesReview& review);

// The ports the settings file sets up and the scalar parameters of `which`.
// With passPeriodMicroseconds above 0 durations are given in seconds too.
std::vector<std::string> parameterListing(const SeenConfiguration& seen, ParameterFile which,
                                          int passPeriodMicroseconds);

#endif
