// What the daemon tells its service manager through systemd's notify
// protocol: that it is up (READY=1), that its control loop still makes
// passes (WATCHDOG=1), what it is doing (STATUS=) and that it stops
// (STOPPING=1). With WatchdogSec= in the unit, a loop that stops making
// passes is killed and restarted. Without NOTIFY_SOCKET (not started by
// systemd, or Type=simple) every call does nothing.
#ifndef FRIGEL_SERVICENOTIFIER_H
#define FRIGEL_SERVICENOTIFIER_H

#include <cstdint>
#include <string>

class ServiceNotifier {
 public:
  // Reads the watchdog period the service manager asks for (WATCHDOG_USEC),
  // if any.
  ServiceNotifier();

  // Set-up is done: the daemon controls, or idles with an incomplete set-up.
  void ready(const std::string& status);
  // What the daemon does now, in words ("controlling: single aircon").
  void status(const std::string& status);
  // Called by the loop that does the work, never by a helper thread: after
  // each control pass (or each idle step), with the monotonic time and the
  // passes made so far. Sends WATCHDOG=1 when a quarter of the watchdog
  // period has passed since the last one and the passes moved on since: a
  // loop that is stuck sends nothing, and is restarted.
  void loopAlive(int64_t nowNanoseconds, uint64_t passes);
  // The daemon stops.
  void stopping();

  // The watchdog period asked for, in nanoseconds; 0 without a watchdog.
  int64_t watchdogNanoseconds() const { return mWatchdogNanoseconds; }

 private:
  int64_t mWatchdogNanoseconds = 0;
  int64_t mLastPingNanoseconds = 0;
  uint64_t mPassesAtLastPing = 0;
  bool mPinged = false;
};

#endif
