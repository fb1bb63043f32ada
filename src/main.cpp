// The supervisor: start-up order, stop signals and the control loop that
// paces the controller, one pass after another.
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

#include "Globals.h"
#include "etcPaths.h"
#include "frigel.h"
#include "iostub.h"
#include "properties.h"

// Cleared by the stop signals; the loop ends after the current pass.
volatile sig_atomic_t running = 1;
// Inner-wait iterations of the current pass; 100 once a pass has ended.
int timercounter = 0;
// The daemon's properties, constructed before the translator.
cProperties props __attribute__((init_priority(1000)));

void sigint_handler(int /*sig*/) { running = 0; }

bool setup_sigint() {
  struct sigaction action = {};
  action.sa_handler = sigint_handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a signal cuts a sleep short
  if (sigaction(SIGINT, &action, nullptr) == -1 || sigaction(SIGTERM, &action, nullptr) == -1) {
    perror("sigaction");
    return false;
  }
  return true;
}

namespace {

constexpr int kInnerIterationsPerPass = 100;
constexpr useconds_t kInnerSleepMicroseconds = 10;
constexpr unsigned kIdleSleepSeconds = 2;
constexpr int kDefaultSyncTimeSeconds = 300;

uint64_t monotonicSeconds() {
  timespec now = {};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec);
}

// Hands the probe values the bridge has reported to the controller. The
// flag is lowered before the copy: a value stored during the copy raises it
// again and is taken at the next look instead of being lost.
void takeReportedProbeValues() {
  if (translator.getSomethingChanged()) {
    translator.setSomethingChanged(false);
    setInternalTemperatureAveraging(translator.getInternalProbe()->getCalculatedValue());
    setExternalTemperatureAveraging(translator.getExternalProbe()->getCalculatedValue());
  }
}

// Re-reads the probes and re-sends every output's cached state every
// SyncTime seconds, so that an output is re-asserted after the object
// server restarts or a command is lost. A period of 0 or less turns it off.
class Repoll {
 public:
  explicit Repoll(int periodSeconds)
      : mPeriodSeconds(periodSeconds > 0 ? static_cast<uint64_t>(periodSeconds) : 0),
        mLastPollSeconds(monotonicSeconds()) {}

  void runIfDue() {
    if (mPeriodSeconds == 0) {
      return;
    }
    uint64_t now = monotonicSeconds();
    if (now - mLastPollSeconds >= mPeriodSeconds) {
      mLastPollSeconds = now;
      translator.updateValues();
      translator.setSomethingChanged(true);
    }
  }

 private:
  uint64_t mPeriodSeconds;
  uint64_t mLastPollSeconds;
};

void runPass() {
  for (timercounter = 0; timercounter < kInnerIterationsPerPass; ++timercounter) {
    takeReportedProbeValues();
    usleep(kInnerSleepMicroseconds);
  }
  flagChecker();
  whichCooloingMode();
}

}  // namespace

int main(int /*argc*/, char** /*argv*/) {
  props.load(propertiesFilePath().c_str());
  if (!setup_sigint()) {
    return 1;
  }
  getParametersFromFile();
  translator.setSomethingChanged(true);
  if (!translator.updateValues()) {
    // Set-up incomplete: no control at all, only wait to be stopped.
    while (running) {
      sleep(kIdleSleepSeconds);
    }
    return 0;
  }
  Repoll repoll(props.getInt("SyncTime", kDefaultSyncTimeSeconds));
  while (running) {
    repoll.runIfDue();
    runPass();
  }
  return 0;
}
