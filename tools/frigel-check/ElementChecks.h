// Checks of each element of the parameter files on its own: names the
// daemon does not know, repeated elements, number texts with something the
// daemon drops, labels, and the children of <aircon> and <fan>.
#ifndef FRIGEL_CHECK_ELEMENTCHECKS_H
#define FRIGEL_CHECK_ELEMENTCHECKS_H

#include <string>
#include <vector>

#include "Findings.h"
#include "ParameterReading.h"

// The element names the daemon reads from the file: its scalar parameters,
// and for the settings file the port elements too.
std::vector<std::string> knownElementNames(ParameterFile which);

// Adds a warning for each problem in a file that was read.
void checkElements(const SeenConfiguration& seen, Findings& findings);

#endif
