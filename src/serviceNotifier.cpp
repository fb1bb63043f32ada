#include "serviceNotifier.h"

#include <systemd/sd-daemon.h>

namespace {

// A ping every quarter of the period: the service manager's timer never
// gets within half a period of running out while the loop runs.
constexpr int64_t kPingsPerPeriod = 4;

void notify(const std::string& message) {
  // Nothing happens without NOTIFY_SOCKET; a failed send changes nothing for
  // the control, so its result is not needed.
  (void)sd_notify(0, message.c_str());
}

}  // namespace

ServiceNotifier::ServiceNotifier() {
  uint64_t microseconds = 0;
  if (sd_watchdog_enabled(0, &microseconds) > 0) {
    mWatchdogNanoseconds = static_cast<int64_t>(microseconds) * 1000;
  }
}

void ServiceNotifier::ready(const std::string& status) {
  notify("READY=1\nSTATUS=" + status);
}

void ServiceNotifier::status(const std::string& status) {
  notify("STATUS=" + status);
}

void ServiceNotifier::loopAlive(int64_t nowNanoseconds, uint64_t passes) {
  if (mWatchdogNanoseconds == 0) {
    return;
  }
  if (mPinged && (passes == mPassesAtLastPing ||
                  nowNanoseconds - mLastPingNanoseconds < mWatchdogNanoseconds / kPingsPerPeriod)) {
    return;
  }
  notify("WATCHDOG=1");
  mPinged = true;
  mLastPingNanoseconds = nowNanoseconds;
  mPassesAtLastPing = passes;
}

void ServiceNotifier::stopping() {
  notify("STOPPING=1\nSTATUS=stopping");
}
