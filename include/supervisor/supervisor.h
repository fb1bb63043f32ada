// The supervisor's process-wide variables (defined in supervisorState.cpp).
#ifndef FRIGEL_SUPERVISOR_H
#define FRIGEL_SUPERVISOR_H

#include <signal.h>

// Cleared by SIGINT or SIGTERM; the loop ends after the current pass.
extern volatile sig_atomic_t running;
// Inner-wait iterations of the current pass, 0 to 100; 100 once a pass's
// wait has ended.
extern int timercounter;

#endif
