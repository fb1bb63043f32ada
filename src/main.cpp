// The supervisor: start-up order, stop signals and the control loop that
// paces the controller, one pass after another.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include <cQlog.h>

#include "CqTranslator.h"
#include "Globals.h"
#include "controlPass.h"
#include "daemonKeys.h"
#include "etcPaths.h"
#include "frigel.h"
#include "iostub.h"
#include "monotonicClock.h"
#include "noCoolingWatch.h"
#include "probeGuard.h"
#include "operatorStatus.h"
#include "passPacing.h"
#include "properties.h"
#include "repoll.h"
#include "restRecordKeeper.h"
#include "serviceNotifier.h"
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

// One of the air conditioners' protection times from the properties, in
// seconds, with a line for a value that is not a number or too long.
double airconHoldProperty(cQlog& log, const char* key) {
  const char* text = props.getString(key, nullptr);
  bool notANumber = false;
  bool capped = false;
  const double seconds = airconHoldSeconds(text, &notANumber, &capped);
  if (notANumber) {
    log.info("%s '%s' is not a number of seconds; taken as 0", key, text);
  }
  if (capped) {
    log.warn("%s '%s' is longer than one day; taken as %g s", key, text, kLongestAirconHoldSeconds);
  }
  return seconds;
}

// Gives the bridge the air conditioners' minimum off time and start
// stagger from the properties, and says what they are.
void applyAirconTiming(cQlog& log) {
  const double minimumOff = airconHoldProperty(log, kAirconMinimumOffKey);
  const double stagger = airconHoldProperty(log, kAirconStartStaggerKey);
  const double nanosecondsPerSecond = static_cast<double>(kNanosecondsPerSecond);
  translator.setAirconTiming(static_cast<int64_t>(minimumOff * nanosecondsPerSecond),
                             static_cast<int64_t>(stagger * nanosecondsPerSecond));
  if (minimumOff > 0.0) {
    log.info("air conditioners rest at least %g s between runs (%s)", minimumOff,
             kAirconMinimumOffKey);
  } else {
    log.info("no minimum off time for the air conditioners (%s)", kAirconMinimumOffKey);
  }
  if (stagger > 0.0) {
    log.info("the two air conditioners start at least %g s apart (%s)", stagger,
             kAirconStartStaggerKey);
  }
}

// A decimal property, with a line when it is there but not a number.
double decimal(cQlog& log, const char* key, double defaultValue) {
  bool notANumber = false;
  const char* text = props.getString(key, nullptr);
  const double value = decimalProperty(text, defaultValue, &notANumber);
  if (notANumber) {
    log.info("%s '%s' is not a number; using %g", key, text, defaultValue);
  }
  return value;
}

// What the controller is given of the probes, from the properties.
ProbeGuardSettings probeGuardSettings(cQlog& log) {
  ProbeGuardSettings settings;
  auto decimal = [&](const char* key, double defaultValue) {
    return static_cast<float>(::decimal(log, key, defaultValue));
  };
  settings.minimumCelsius = decimal(kProbeMinimumKey, kDefaultProbeMinimumCelsius);
  settings.maximumCelsius = decimal(kProbeMaximumKey, kDefaultProbeMaximumCelsius);
  const int staleSeconds = props.getInt(kProbeStaleKey, kDefaultProbeStaleSeconds);
  settings.lostAfter = staleSeconds > 0 ? staleSeconds * kNanosecondsPerSecond : 0;
  bool unknown = false;
  settings.action = probeLostAction(props.getString(kProbeLostActionKey, nullptr), &unknown);
  if (unknown) {
    log.info("%s '%s' is neither hold nor cool; using hold", kProbeLostActionKey,
             props.getString(kProbeLostActionKey, ""));
  }
  settings.lostInternalCelsius = decimal(kProbeLostInternalKey, aircon1PullIn);
  settings.lostExternalCelsius =
      freeAirBlockingOutsideCelsius(std::max(settings.maximumCelsius, settings.lostInternalCelsius),
                                    maximumExtAboveIntTemperature);
  log.info("probes are plausible from %g to %g degC; lost after %d s without a new value",
           static_cast<double>(settings.minimumCelsius),
           static_cast<double>(settings.maximumCelsius), staleSeconds);
  if (settings.action == ProbeLostAction::Cool) {
    log.info(
        "while a probe is lost the controller is given: inside %g degC, outside %g degC (%s=cool)",
        static_cast<double>(settings.lostInternalCelsius),
        static_cast<double>(settings.lostExternalCelsius), kProbeLostActionKey);
  } else {
    log.info("while a probe is lost the controller keeps its last value (%s=hold)",
             kProbeLostActionKey);
  }
  return settings;
}

// The no-cooling alarm, from the properties.
NoCoolingWatch noCoolingWatch(cQlog& log) {
  const double minutes = decimal(log, kAirconNoCoolingMinutesKey, kDefaultAirconNoCoolingMinutes);
  const double kelvin = decimal(log, kAirconNoCoolingKelvinKey, kDefaultAirconNoCoolingKelvin);
  // At most a day, so that the nanoseconds stay in range.
  const double boundedMinutes = std::min(minutes, 1440.0);
  if (boundedMinutes > 0) {
    log.info("a unit that runs alone %g min without the room falling %g K is called out",
             boundedMinutes, kelvin);
  }
  return NoCoolingWatch(boundedMinutes > 0 ? static_cast<int64_t>(boundedMinutes * 60.0 * 1e9) : 0,
                        static_cast<float>(kelvin), &log);
}

// What each air conditioner's output is, as the bridge knows it, for the
// operator.
AirconStates airconStates() {
  const AirconOutputs& outputs = translator.getAirconOutputs();
  const int64_t now = monotonicNanoseconds();
  AirconStates states;
  for (int unit = 0; unit < 2; ++unit) {
    states.decidedOn[unit] = outputs.decidedOn(unit + 1);
    states.on[unit] = outputs.confirmedOn(unit + 1);
    states.startHeld[unit] = outputs.startHold(unit + 1, now) != AirconOutputs::Hold::None;
    states.restLeftSeconds[unit] = static_cast<double>(outputs.restLeft(unit + 1, now)) /
                                   static_cast<double>(kNanosecondsPerSecond);
    states.sendFailures[unit] = translator.getSendFailures(unit);
  }
  return states;
}

// The fan as sent, the link to the server and the pacing, for the operator.
PassContext passContext(const PassPacing& pacing) {
  PassContext context;
  context.fanPercentSent = translator.getFanPercentSent();
  context.fanSendFailures = translator.getSendFailures(CqTranslator::kFanOutput);
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
  applyAirconTiming(log);
  RestRecordKeeper restRecord(log, statusDirectory() + "/aircon-rests");
  restRecord.applyAtStart(translator, monotonicNanoseconds());
  OperatorStatus status(log, statusDirectory(), props.getString(kMetricsTextfileKey, ""),
                        exactPassPeriodNanoseconds(passPeriodMicroseconds));
  ServiceNotifier notifier;
  if (!translator.updateValues()) {
    // Set-up incomplete: no control at all, only wait to be stopped. The
    // status file keeps saying so until the stop.
    status.idle();
    notifier.ready("idle: set-up incomplete");
    for (uint64_t idleSteps = 1; running; ++idleSteps) {
      sleep(kIdleSleepSeconds);
      notifier.loopAlive(monotonicNanoseconds(), idleSteps);
    }
    notifier.stopping();
    status.stopped();
    translator.stopClient();
    return 0;
  }
  ProbeGuard probes(probeGuardSettings(log), monotonicNanoseconds(), &log);
  NoCoolingWatch noCooling = noCoolingWatch(log);
  std::unique_ptr<PassPacing> pacing = makePassPacing(passPeriodMicroseconds, log, &probes);
  Repoll repoll(translator, props.getInt(kSyncTimeKey, kDefaultSyncTimeSeconds), log);
  status.found(airconStates());
  notifier.ready(std::string("controlling: ") + coolingModeName(coolState));
  for (uint64_t passes = 1; running; ++passes) {
    repoll.resendIfDue();
    pacing->waitForPassEnd();
    const int64_t passEnd = monotonicNanoseconds();
    probes.tick(passEnd);
    probes.giveToController();
    const PassModes modes = runControlPass(nullptr, [] { translator.reconcileOutputs(); });
    restRecord.afterPass(translator.getAirconOutputs());
    if (modes.changed()) {
      logModeChange(log, modes.before, modes.after, internalTemperatureAveraging,
                    externalTemperatureAveraging);
      notifier.status(std::string("controlling: ") + coolingModeName(modes.after));
    }
    AirconStates outputs = airconStates();
    noCooling.update(outputs.on, probes.trusted(ProbeGuard::kInternal), passEnd);
    for (int unit = 0; unit < 2; ++unit) {
      outputs.noCooling[unit] = noCooling.alarm(unit + 1);
    }
    PassContext context = passContext(*pacing);
    for (int probe = 0; probe < 2; ++probe) {
      context.probeLost[probe] = probes.lost(static_cast<ProbeGuard::Probe>(probe));
      context.probeImplausible[probe] = probes.implausible(static_cast<ProbeGuard::Probe>(probe));
    }
    status.afterPass(outputs, context);
    notifier.loopAlive(passEnd, passes);
  }
  // A clean stop, in order: the last status says so; the re-poll ends (a
  // read in flight is cut short by the client's stop); the client's threads
  // end before anything they use (the change signal, the logging) is torn
  // down after main returns. The re-poll and status threads are joined as
  // their objects go out of scope.
  notifier.stopping();
  status.stopped();
  repoll.requestStop();
  translator.stopClient();
  return 0;
}
