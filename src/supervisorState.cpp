// The supervisor's process-wide variables (see supervisor.h), apart from
// main() so that tests can run the pass functions that use them.
#include "supervisor.h"

volatile sig_atomic_t running = 1;
int timercounter = 0;
