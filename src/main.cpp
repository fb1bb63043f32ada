// The supervisor: start-up order, stop signals and the control loop that
// paces the controller, one pass after another.
#include <signal.h>
#include <unistd.h>

#include <cstdio>

#include <cQlog.h>

#include "CqTranslator.h"
#include "Globals.h"
#include "daemonKeys.h"
#include "etcPaths.h"
#include "frigel.h"
#include "iostub.h"
#include "operatorStatus.h"
#include "passPacing.h"
#include "properties.h"
#include "repoll.h"
#include "supervisor.h"
#include "supervisorLog.h"

// The daemon's properties, constructed before the translator.
cProperties props __attribute__((init_priority(1000)));

namespace {

// Standard output goes to the journal or a pipe, where it would be fully
// buffered: make it line-buffered before anything (the translator's start,
// which already logs) writes to it, so every message arrives when it is made.
struct LineBufferedStdout {
  LineBufferedStdout() { std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ); }
} lineBufferedStdout __attribute__((init_priority(999)));

}  // namespace

void sigint_handler(int /*sig*/) {
  running = 0;
}

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

constexpr unsigned kIdleSleepSeconds = 2;

// Gives the bridge the air conditioners' minimum off time from the
// properties, and says what it is.
void applyAirconMinimumOffTime(cQlog& log) {
  const char* text = props.getString(kAirconMinimumOffKey, nullptr);
  bool notANumber = false;
  const double seconds = airconMinimumOffSeconds(text, &notANumber);
  if (notANumber) {
    log.info("%s '%s' is not a number of seconds; no minimum off time", kAirconMinimumOffKey, text);
  }
  translator.setAirconMinimumOffNanoseconds(static_cast<int64_t>(seconds * 1e9));
  if (seconds > 0.0) {
    log.info("air conditioners rest at least %g s between runs (%s)", seconds,
             kAirconMinimumOffKey);
  } else {
    log.info("no minimum off time for the air conditioners (%s)", kAirconMinimumOffKey);
  }
}

// What each air conditioner's output really does, for the operator.
AirconOutputs airconOutputs() {
  AirconOutputs outputs;
  for (int unit = 0; unit < 2; ++unit) {
    outputs.on[unit] = translator.isAirconOutputOn(unit + 1);
    outputs.startHeld[unit] = translator.isAirconStartHeld(unit + 1);
  }
  return outputs;
}

// The fan as sent, the link to the server and the pacing, for the operator.
PassContext passContext(const PassPacing& pacing) {
  PassContext context;
  context.fanPercentSent = translator.getFanPercentSent();
  context.serverConnected = translator.isServerConnected();
  context.passOverruns = pacing.overruns();
  return context;
}

}  // namespace

int main(int /*argc*/, char** /*argv*/) {
  props.load(propertiesFilePath().c_str());
  if (!setup_sigint()) {
    return 1;
  }
  getParametersFromFile();
  translator.setSomethingChanged(true);
  cQlog log("Supervisor");
  const int passPeriodMicroseconds = props.getInt(kPassPeriodKey, kDefaultPassPeriodMicroseconds);
  logEffectiveParameters(log, passPeriodMicroseconds);
  applyAirconMinimumOffTime(log);
  OperatorStatus status(log, statusDirectory(),
                        props.getInt(kProbeStaleKey, kDefaultProbeStaleSeconds),
                        props.getString(kMetricsTextfileKey, ""));
  if (!translator.updateValues()) {
    // Set-up incomplete: no control at all, only wait to be stopped. The
    // status file keeps saying so.
    status.idle();
    while (running) {
      sleep(kIdleSleepSeconds);
    }
    translator.stopClient();
    return 0;
  }
  std::unique_ptr<PassPacing> pacing = makePassPacing(passPeriodMicroseconds, log);
  Repoll repoll(translator, props.getInt(kSyncTimeKey, kDefaultSyncTimeSeconds), log);
  while (running) {
    repoll.resendIfDue();
    pacing->waitForPassEnd();
    flagChecker();
    // Mode changes are seen from outside the controller, around its step.
    const eCoolingModeState modeBefore = coolState;
    whichCooloingMode();
    // After the step, so that a start the step took back is never sent.
    translator.releaseHeldStarts();
    if (coolState != modeBefore) {
      logModeChange(log, modeBefore, coolState, internalTemperatureAveraging,
                    externalTemperatureAveraging);
    }
    status.afterPass(airconOutputs(), passContext(*pacing));
  }
  // A clean stop, in order: the last status says so; the re-poll ends (a
  // read in flight is cut short by the client's stop); the client's threads
  // end before anything they use (the change signal, the logging) is torn
  // down after main returns. The re-poll and status threads are joined as
  // their objects go out of scope.
  status.stopped();
  repoll.requestStop();
  translator.stopClient();
  return 0;
}
