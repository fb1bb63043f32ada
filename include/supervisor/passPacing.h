// How the control loop spaces its passes. Each pass first waits here,
// handing the probe values the bridge reports to the controller as they
// arrive; then the controller runs its step.
#ifndef FRIGEL_PASSPACING_H
#define FRIGEL_PASSPACING_H

#include <cstdint>
#include <memory>

#include <cQlog.h>

#include "daemonKeys.h"
#include "probeGuard.h"

class PassPacing {
 public:
  virtual ~PassPacing() = default;
  // Waits for the end of the current pass's wait, copying reported probe
  // values into the controller meanwhile. Leaves timercounter at 100.
  virtual void waitForPassEnd() = 0;
  // Passes so far that ended later than one period after their deadline
  // (exact pacing; the literal loop has no deadline and counts none).
  virtual uint64_t overruns() const { return 0; }
};

// periodMicroseconds 0 (or less): the literal loop, 100 waits of
// usleep(10), whose pass length is whatever the kernel makes of them.
// Otherwise exact pacing: each pass ends at an absolute deadline on the
// monotonic clock, one period after the previous one; a period below
// kMinimumPassPeriodMicroseconds is raised to it. `log` tells the choice.
// `guard`, when given, decides what of the reported values reaches the
// controller (see takeReportedProbeValues).
std::unique_ptr<PassPacing> makePassPacing(int periodMicroseconds, cQlog& log,
                                           ProbeGuard* guard = nullptr);

// The length of a pass that makePassPacing(periodMicroseconds) paces, in
// nanoseconds; 0 for the literal loop, whose passes have no fixed length.
int64_t exactPassPeriodNanoseconds(int periodMicroseconds);

// Copies both probe values into the controller if the bridge has reported
// a change. The flag is lowered before the copy: a value stored during the
// copy raises it again and is taken at the next look instead of being lost.
// With a `guard`, the values go through it: only plausible ones reach the
// controller, and a lost probe gives what the guard says.
void takeReportedProbeValues(ProbeGuard* guard = nullptr);

#endif
