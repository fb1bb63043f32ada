// Checks of the values the controller ends up with, taken together: option
// bytes, the number of air conditioners against the ports set up, the order
// of the thresholds, timers that never run out, fan steps, parameters left
// at 0, set-ups that leave the daemon idle, and what protects the
// compressors (a minimum off time, a run-on that outlasts pre-cooling).
// Only parameters that play a part with the options chosen are judged.
#ifndef FRIGEL_CHECK_VALUECHECKS_H
#define FRIGEL_CHECK_VALUECHECKS_H

#include "Findings.h"
#include "ParameterReading.h"
#include "PropertiesReview.h"

// Adds a warning for each problem. Needs both files read; a file that was
// not read has already been reported, and its zeros would only add noise.
// `properties` gives the pass length (for durations in seconds) and the
// minimum off time, which is judged only when its file was read.
void checkValues(const SeenConfiguration& seen, const PropertiesReview& properties,
                 Findings& findings);

#endif
