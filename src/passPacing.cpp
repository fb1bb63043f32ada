#include "passPacing.h"

#include <sys/prctl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

#include "changeSignal.h"
#include "CqTranslator.h"
#include "frigel.h"
#include "iostub.h"
#include "monotonicClock.h"
#include "probeActivity.h"
#include "supervisor.h"

namespace {

constexpr int kInnerIterationsPerPass = 100;
constexpr useconds_t kInnerSleepMicroseconds = 10;
// Wake-ups may come this late at most, so a deadline holds to within it.
constexpr unsigned long kTimerSlackNanoseconds = 10000;
// A loop further behind than this (the process was stopped, the clock
// jumped) starts counting from now instead of racing through the missed
// passes.
constexpr int64_t kMaximumLagNanoseconds = kNanosecondsPerSecond;

// 100 iterations of a look at the change flag and usleep(10).
class LiteralPacing : public PassPacing {
 public:
  explicit LiteralPacing(ProbeGuard* guard) : mGuard(guard) {}
  void waitForPassEnd() override {
    for (timercounter = 0; timercounter < kInnerIterationsPerPass; ++timercounter) {
      takeReportedProbeValues(mGuard);
      usleep(kInnerSleepMicroseconds);
    }
  }

 private:
  ProbeGuard* const mGuard;
};

// One wake-up per pass at an absolute deadline, or earlier when the bridge
// reports a change, whose values are then taken at once.
class ExactPacing : public PassPacing {
 public:
  ExactPacing(int64_t periodNanoseconds, cQlog& log, ProbeGuard* guard)
      : mPeriodNanoseconds(periodNanoseconds),
        mDeadlineNanoseconds(monotonicNanoseconds()),
        mLog(log),
        mGuard(guard) {
    if (!probeChangeSignal.open()) {
      mLog.info("no eventfd: probe changes are taken at the end of each pass");
    }
    prctl(PR_SET_TIMERSLACK, kTimerSlackNanoseconds, 0, 0, 0);
  }

  void waitForPassEnd() override {
    // The next deadline follows the previous one, not the time the pass
    // ended: a late pass shortens the next one, and there is no drift.
    mDeadlineNanoseconds += mPeriodNanoseconds;
    int64_t lag = monotonicNanoseconds() - mDeadlineNanoseconds;
    // The pass that just ended had until one period after its deadline.
    if (lag > 0) {
      ++mOverruns;
    }
    if (lag > kMaximumLagNanoseconds) {
      mLog.info("control loop %lld ms behind; pacing restarts from now",
                static_cast<long long>(lag / 1000000));
      mDeadlineNanoseconds += lag;
    }
    const timespec deadline = timespecOf(mDeadlineNanoseconds);
    for (;;) {
      takeReportedProbeValues(mGuard);
      if (!running || monotonicNanoseconds() >= mDeadlineNanoseconds) {
        break;
      }
      probeChangeSignal.waitUntil(deadline);
    }
    timercounter = kInnerIterationsPerPass;
  }

  uint64_t overruns() const override { return mOverruns; }

 private:
  const int64_t mPeriodNanoseconds;
  uint64_t mOverruns = 0;
  int64_t mDeadlineNanoseconds;
  cQlog& mLog;
  ProbeGuard* const mGuard;
};

}  // namespace

void takeReportedProbeValues(ProbeGuard* guard) {
  if (!translator.getSomethingChanged()) {
    return;
  }
  translator.setSomethingChanged(false);
  const float internal = translator.getInternalProbe()->getCalculatedValue();
  const float external = translator.getExternalProbe()->getCalculatedValue();
  if (guard == nullptr) {
    setInternalTemperatureAveraging(internal);
    setExternalTemperatureAveraging(external);
    return;
  }
  const int64_t now = monotonicNanoseconds();
  guard->reported(ProbeGuard::kInternal, internal,
                  probeActivity.internalTrendNanoseconds.load(std::memory_order_relaxed), now);
  guard->reported(ProbeGuard::kExternal, external,
                  probeActivity.externalTrendNanoseconds.load(std::memory_order_relaxed), now);
  guard->giveToController();
}

std::unique_ptr<PassPacing> makePassPacing(int periodMicroseconds, cQlog& log, ProbeGuard* guard) {
  if (periodMicroseconds <= 0) {
    if (periodMicroseconds < 0) {
      log.info("PassPeriodMicroseconds %d is not a period; passes follow the literal loop",
               periodMicroseconds);
    }
    return std::make_unique<LiteralPacing>(guard);
  }
  if (periodMicroseconds < kMinimumPassPeriodMicroseconds) {
    log.info("PassPeriodMicroseconds %d is below %d; using %d", periodMicroseconds,
             kMinimumPassPeriodMicroseconds, kMinimumPassPeriodMicroseconds);
    periodMicroseconds = kMinimumPassPeriodMicroseconds;
  }
  log.info("exact pacing: one pass every %d microseconds", periodMicroseconds);
  return std::make_unique<ExactPacing>(exactPassPeriodNanoseconds(periodMicroseconds), log, guard);
}

int64_t exactPassPeriodNanoseconds(int periodMicroseconds) {
  if (periodMicroseconds <= 0) {
    return 0;
  }
  return static_cast<int64_t>(std::max(periodMicroseconds, kMinimumPassPeriodMicroseconds)) * 1000;
}
