// The benchmark's one table: every figure of the daemon beside its bare
// reference, the goal it is held to and whether it was met, as Markdown.
#ifndef FRIGEL_BENCH_REPORT_H
#define FRIGEL_BENCH_REPORT_H

#include <optional>
#include <string>

#include "BareLoops.h"
#include "DaemonBench.h"

struct BenchResults {
  DaemonFigures literal;
  std::optional<BareLoopResult> bareLiteral;
  DaemonFigures exact1ms;
  std::optional<BareLoopResult> bareDeadline1ms;  // the daemon's timer slack
  // The timer slack compared: two bare 1 ms deadline loops run side by side,
  // half a period apart, one with the daemon's slack and one with the default.
  std::optional<BareLoopResult> bareSlackDaemon;
  std::optional<BareLoopResult> bareSlackDefault;
  std::optional<BareLoopResult> bareDeadlineSet1ms;  // plus a fan set per pass
  Summary bareDeadlineSet1msAtServerUs;              // its passes as the server saw them
  std::optional<BareLoopResult> bareHandedSet1ms;    // the set written by a second thread
  Summary bareHandedSet1msAtServerUs;
  DaemonFigures exact10ms;
  std::optional<BareLoopResult> bareDeadline10ms;
  std::optional<BareLoopResult> bareDeadlineSet10ms;  // plus a fan set per pass
  Summary bareDeadlineSet10msAtServerUs;
  long daemonTimerSlackNs = -1;  // what the bare deadline loops used
};

// The table, one Markdown row per figure.
std::string formatReport(const BenchResults& results);

#endif
