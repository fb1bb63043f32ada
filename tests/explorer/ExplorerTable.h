// The configurations the explorer's test runs: one and two units, rotation
// on and off, free air on and off, the emergency fan band on and off, with
// timers of 1 to 3 passes set so that both orders of each pair that matters
// occur (the run-on shorter and longer than free air's pre-cooling run, ramp
// Values below and above 10).
#ifndef FRIGEL_TESTS_EXPLORERTABLE_H
#define FRIGEL_TESTS_EXPLORERTABLE_H

#include <vector>

#include "Explorer.h"

// A plausible site with every timer at 1 pass and no hold; the table's rows
// change what they are about.
ControllerSettingValues baseExplorerSettings();

// The whole table; `quick`: the smaller part that sanitizer builds run.
std::vector<ExplorerConfig> explorerTable(bool quick);

#endif
