#include "probeGuard.h"

#include <algorithm>
#include <cmath>

#include "Globals.h"
#include "frigel.h"
#include "monotonicClock.h"

namespace {

const char* const kProbeNames[2] = {"internal", "external"};

double secondsOf(int64_t nanoseconds) {
  return static_cast<double>(nanoseconds) / static_cast<double>(kNanosecondsPerSecond);
}

}  // namespace

ProbeGuard::ProbeGuard(const ProbeGuardSettings& settings, int64_t now, cQlog* log)
    : mSettings(settings), mLog(log) {
  for (State& state : mProbes) {
    state.lastNewAt = now;
  }
}

bool ProbeGuard::isPlausible(float celsius) const {
  return celsius >= mSettings.minimumCelsius && celsius <= mSettings.maximumCelsius;
}

float ProbeGuard::substitute(Probe probe) const {
  return probe == kInternal ? mSettings.lostInternalCelsius : mSettings.lostExternalCelsius;
}

void ProbeGuard::reported(Probe probe, float celsius, int64_t trendAt, int64_t now) {
  State& state = mProbes[probe];
  const bool fromTrendEvent = trendAt != state.trendSeen;
  state.trendSeen = trendAt;
  if (!isPlausible(celsius)) {
    if (!state.implausible && mLog != nullptr) {
      mLog->warn(
          "%s probe implausible: %g degC is outside %g to %g; the controller does not get it",
          kProbeNames[probe], static_cast<double>(celsius),
          static_cast<double>(mSettings.minimumCelsius),
          static_cast<double>(mSettings.maximumCelsius));
    }
    state.implausible = true;
    return;
  }
  if (state.implausible && mLog != nullptr) {
    mLog->info("%s probe plausible again: %g degC", kProbeNames[probe],
               static_cast<double>(celsius));
  }
  state.implausible = false;
  state.havePlausible = true;
  state.plausible = celsius;
  if (fromTrendEvent) {
    state.lastNewAt = now;
    if (state.lost && mLog != nullptr) {
      mLog->info("%s probe back: %g degC goes to the controller", kProbeNames[probe],
                 static_cast<double>(celsius));
    }
    state.lost = false;
  }
}

void ProbeGuard::tick(int64_t now) {
  if (mSettings.lostAfter <= 0) {
    return;
  }
  for (int probe = kInternal; probe <= kExternal; ++probe) {
    State& state = mProbes[probe];
    if (state.lost || now - state.lastNewAt <= mSettings.lostAfter) {
      continue;
    }
    state.lost = true;
    if (mLog == nullptr) {
      continue;
    }
    if (mSettings.action == ProbeLostAction::Cool) {
      mLog->warn(
          "%s probe lost: no new value for %.0f s; the controller is given %g degC (%s=cool)",
          kProbeNames[probe], secondsOf(now - state.lastNewAt),
          static_cast<double>(substitute(static_cast<Probe>(probe))), kProbeLostActionKey);
    } else {
      mLog->warn(
          "%s probe lost: no new value for %.0f s; the controller keeps the last one (%s=hold)",
          kProbeNames[probe], secondsOf(now - state.lastNewAt), kProbeLostActionKey);
    }
  }
}

float ProbeGuard::trusted(Probe probe) const {
  const State& state = mProbes[probe];
  return state.havePlausible && !state.lost && !state.implausible ? state.plausible : NAN;
}

void ProbeGuard::giveToController() const {
  float values[2] = {internalTemperatureAveraging, externalTemperatureAveraging};
  for (int probe = kInternal; probe <= kExternal; ++probe) {
    const State& state = mProbes[probe];
    if (state.lost && mSettings.action == ProbeLostAction::Cool) {
      values[probe] = substitute(static_cast<Probe>(probe));
    } else if (state.havePlausible) {
      values[probe] = state.plausible;
    }
  }
  setInternalTemperatureAveraging(values[kInternal]);
  setExternalTemperatureAveraging(values[kExternal]);
}
