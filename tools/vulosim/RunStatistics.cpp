#include "RunStatistics.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace {

constexpr double kJoulesPerKilowattHour = 3.6e6;
constexpr double kSecondsPerHour = 3600.0;
// The times of the switchings are sums of step lengths, whose rounding can
// leave a start that came exactly 60 minutes after another a hair short of
// them; a thousandth of a step is far above that rounding and far below the
// step, to which every time is measured.
constexpr double kStepTolerance = 1e-3;

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

std::string format(const char* pattern, ...) {
  va_list arguments;
  va_start(arguments, pattern);
  va_list again;
  va_copy(again, arguments);
  const int size = std::vsnprintf(nullptr, 0, pattern, arguments);
  va_end(arguments);
  std::string text(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
  if (size > 0) {
    std::vsnprintf(text.data(), text.size() + 1, pattern, again);
  }
  va_end(again);
  return text;
}

// "300 s", or "n/a" when there is no such time.
std::string secondsOrNone(const std::optional<double>& seconds) {
  return seconds ? format("%.10g s", *seconds) : "n/a";
}

void keepShorter(std::optional<double>& shortest, double candidate) {
  if (!shortest || candidate < *shortest) {
    shortest = candidate;
  }
}

}  // namespace

double fanPowerW(double fullSpeedW, double fraction) {
  return fullSpeedW * fraction * fraction * fraction;
}

std::string clockText(double clockS) {
  const long long total = std::llround(clockS);
  return format("%02lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
}

RunStatistics::RunStatistics(const ModelSpec& definition, double initialInternalC,
                             double initialExternalC, const OutputState& initial)
    : mSpec(definition),
      mFanConductanceWPerK(definition.fan ? airflowConductanceWPerK(definition.fan->airflowM3PerH)
                                          : 0.0),
      mPrevious(initial),
      mInitialInternalC(initialInternalC),
      mInternalMinC(initialInternalC),
      mInternalMaxC(initialInternalC),
      mExternalMinC(initialExternalC),
      mExternalMaxC(initialExternalC),
      mAboveS(definition.thresholds.size(), 0.0) {}

void RunStatistics::switchedOn(Cycles& cycles, double atS, double stepS) {
  if (cycles.restSinceS) {
    keepShorter(cycles.shortestRestS, atS - *cycles.restSinceS);
    cycles.restSinceS.reset();
  }
  cycles.runSinceS = atS;
  std::deque<double>& starts = cycles.startsInLastHourS;
  while (!starts.empty() && atS - starts.front() >= kSecondsPerHour - kStepTolerance * stepS) {
    starts.pop_front();
  }
  starts.push_back(atS);
  cycles.mostStartsInAnHour =
      std::max<unsigned long>(cycles.mostStartsInAnHour, static_cast<unsigned long>(starts.size()));
}

void RunStatistics::switchedOff(Cycles& cycles, double atS) {
  if (cycles.runSinceS) {
    keepShorter(cycles.shortestRunS, atS - *cycles.runSinceS);
    cycles.runSinceS.reset();
  }
  cycles.restSinceS = atS;
}

void RunStatistics::addStep(const StepCurve& room, double outsideC, const OutputState& outputs,
                            const FaultState& faults) {
  const double stepS = room.durationS;
  const double stepStartS = mSimulatedS;
  ++mSteps;
  mSimulatedS += stepS;

  // The curve is monotonic over the step, so its ends are its extremes.
  mInternalMinC = std::min({mInternalMinC, room.startC, room.endC()});
  mInternalMaxC = std::max({mInternalMaxC, room.startC, room.endC()});
  const double internalIntegralCS = room.integralCS();
  mInternalIntegralCS += internalIntegralCS;
  mExternalMinC = std::min(mExternalMinC, outsideC);
  mExternalMaxC = std::max(mExternalMaxC, outsideC);
  mExternalIntegralCS += outsideC * stepS;
  for (std::size_t i = 0; i < mAboveS.size(); ++i) {
    mAboveS[i] += room.timeAboveS(mSpec.thresholds[i].temperatureC);
  }

  for (const AirconSpec& aircon : mSpec.aircons) {
    const int unit = aircon.number - 1;
    if (outputs.airconOn[unit] != mPrevious.airconOn[unit]) {
      if (outputs.airconOn[unit]) {
        ++mAirconStarts[unit];
        switchedOn(mAirconCycles[unit], stepStartS, stepS);
      } else {
        switchedOff(mAirconCycles[unit], stepStartS);
      }
    }
    const bool failed = faults.airconFailed[unit];
    if (failed) {
      mAirconFailedS[unit] += stepS;
    }
    if (!outputs.airconOn[unit]) {
      continue;
    }
    mAirconRunS[unit] += stepS;
    mAirconEnergyJ[unit] += aircon.electricW * stepS;
    if (failed) {
      mAirconFailedRunS[unit] += stepS;
    } else {
      mAirconCoolingJ += aircon.coolingW * stepS;
    }
  }

  if (mSpec.fan && outputs.fanFraction > 0.0) {
    mFanRunS += stepS;
    mFanEnergyJ += fanPowerW(mSpec.fan->electricW, outputs.fanFraction) * stepS;
    // Heat carried out by the exchanged air: G (T - T_out) over the step.
    const double carriedOutJ =
        mFanConductanceWPerK * outputs.fanFraction * (internalIntegralCS - outsideC * stepS);
    if (carriedOutJ >= 0.0) {
      mOutsideAirCoolingJ += carriedOutJ;
    } else {
      mFanHeatGainJ -= carriedOutJ;
    }
  }
  mPrevious = outputs;
}

double RunStatistics::internalMeanC() const {
  return mSimulatedS > 0.0 ? mInternalIntegralCS / mSimulatedS : mInitialInternalC;
}

double RunStatistics::outsideAirShare() const {
  const double totalJ = mOutsideAirCoolingJ + mAirconCoolingJ;
  return totalJ > 0.0 ? mOutsideAirCoolingJ / totalJ : -1.0;
}

std::vector<std::string> RunStatistics::summaryLines(const std::string& csvPath,
                                                     uint64_t csvRows) const {
  std::vector<std::string> lines;
  lines.push_back(format("summary simulated %g of %g s from %s in %llu steps of %g s", mSimulatedS,
                         mSpec.durationS, clockText(mSpec.startClockS).c_str(),
                         static_cast<unsigned long long>(mSteps), mSpec.stepS));
  lines.push_back(format("summary internal min %.2f mean %.2f max %.2f C", mInternalMinC,
                         internalMeanC(), mInternalMaxC));
  const double externalMeanC =
      mSimulatedS > 0.0 ? mExternalIntegralCS / mSimulatedS : mExternalMinC;
  lines.push_back(format("summary external min %.2f mean %.2f max %.2f C", mExternalMinC,
                         externalMeanC, mExternalMaxC));
  for (std::size_t i = 0; i < mAboveS.size(); ++i) {
    lines.push_back(format("summary above %s %g C for %.0f s (%.2f h)",
                           mSpec.thresholds[i].name.c_str(), mSpec.thresholds[i].temperatureC,
                           mAboveS[i], mAboveS[i] / kSecondsPerHour));
  }
  double totalEnergyJ = 0.0;
  for (const AirconSpec& aircon : mSpec.aircons) {
    const int unit = aircon.number - 1;
    lines.push_back(format("summary aircon %d run %.2f h starts %lu energy %.3f kWh", aircon.number,
                           mAirconRunS[unit] / kSecondsPerHour, mAirconStarts[unit],
                           mAirconEnergyJ[unit] / kJoulesPerKilowattHour));
    const Cycles& cycles = mAirconCycles[unit];
    lines.push_back(
        format("summary aircon %d shortest run %s shortest rest %s most starts in 60 min %lu",
               aircon.number, secondsOrNone(cycles.shortestRunS).c_str(),
               secondsOrNone(cycles.shortestRestS).c_str(), cycles.mostStartsInAnHour));
    // Left out for a unit that never failed.
    if (mAirconFailedS[unit] > 0.0) {
      lines.push_back(format("summary aircon %d failed %.2f h run without cooling %.2f h",
                             aircon.number, mAirconFailedS[unit] / kSecondsPerHour,
                             mAirconFailedRunS[unit] / kSecondsPerHour));
    }
    totalEnergyJ += mAirconEnergyJ[unit];
  }
  if (mSpec.fan) {
    lines.push_back(format("summary fan run %.2f h energy %.3f kWh", mFanRunS / kSecondsPerHour,
                           mFanEnergyJ / kJoulesPerKilowattHour));
    totalEnergyJ += mFanEnergyJ;
  }
  lines.push_back(format("summary energy total %.3f kWh", totalEnergyJ / kJoulesPerKilowattHour));
  const double share = outsideAirShare();
  lines.push_back(format("summary cooling by outside air %.3f kWh by aircons %.3f kWh share %s",
                         mOutsideAirCoolingJ / kJoulesPerKilowattHour,
                         mAirconCoolingJ / kJoulesPerKilowattHour,
                         share < 0.0 ? "n/a" : format("%.1f %%", share * 100.0).c_str()));
  lines.push_back(format("summary heat brought in by the fan %.3f kWh",
                         mFanHeatGainJ / kJoulesPerKilowattHour));
  if (!csvPath.empty()) {
    lines.push_back("summary csv " + csvPath + " rows " + std::to_string(csvRows));
  }
  return lines;
}
