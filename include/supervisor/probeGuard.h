// What the controller is given of the two probes. A value outside the
// plausible range, or not a number (a broken wire, a failed converter),
// never reaches it: the probe counts as having no new value. A probe that
// has had no new plausible value for a while is lost, and the controller is
// then given what the site chose: the last value (hold), or values that run
// the site safe (cool: one unit runs; free air is kept out). A plausible
// value that arrives again goes to the controller at once. One line is
// logged at each change. The clock is passed in (monotonic nanoseconds in
// the daemon), so the logic runs without waiting; main thread only.
#ifndef FRIGEL_PROBEGUARD_H
#define FRIGEL_PROBEGUARD_H

#include <cstdint>

#include <cQlog.h>

#include "daemonKeys.h"
#include "lostProbeValues.h"

struct ProbeGuardSettings {
  float minimumCelsius = static_cast<float>(kDefaultProbeMinimumCelsius);
  float maximumCelsius = static_cast<float>(kDefaultProbeMaximumCelsius);
  int64_t lostAfter = 0;  // clock units without a new plausible value; 0: never lost
  ProbeLostAction action = ProbeLostAction::Hold;
  float lostInternalCelsius = 0.0f;  // given while the internal probe is lost (cool)
  float lostExternalCelsius = 0.0f;  // given while the outside probe is lost (cool)
};

class ProbeGuard {
 public:
  enum Probe { kInternal = 0, kExternal = 1 };

  // The probes count from `now`: a probe with no value by `lostAfter` from
  // then is lost. `log` (may be null) gets the lines.
  ProbeGuard(const ProbeGuardSettings& settings, int64_t now, cQlog* log);

  // `probe` reads `celsius`; `trendAt` is the time of its last trend event
  // (0: none yet). The value is new when a trend event came since the last
  // report; a read of the port (start-up, re-poll) is not new, so it never
  // ends a loss.
  void reported(Probe probe, float celsius, int64_t trendAt, int64_t now);
  // Once a pass: a probe with no new plausible value for `lostAfter` is lost.
  void tick(int64_t now);
  // Gives the controller what it is to work with now (its temperature
  // setters); a probe with nothing to give (no plausible value yet, and not
  // lost) leaves the controller's value as it is.
  void giveToController() const;

  bool lost(Probe probe) const { return mProbes[probe].lost; }
  // The probe's last plausible value while it is neither lost nor
  // implausible; NaN otherwise (nothing to judge the room by).
  float trusted(Probe probe) const;
  bool implausible(Probe probe) const { return mProbes[probe].implausible; }

 private:
  struct State {
    bool havePlausible = false;
    float plausible = 0.0f;  // the last plausible value
    int64_t lastNewAt = 0;   // when the last new plausible value arrived
    int64_t trendSeen = 0;   // the trend event time of the last report
    bool implausible = false;
    bool lost = false;
  };
  bool isPlausible(float celsius) const;
  // The value the controller is given while the probe is lost.
  float substitute(Probe probe) const;

  ProbeGuardSettings mSettings;
  cQlog* mLog;
  State mProbes[2];
};

#endif
