#include "ReplayFigures.h"

#include <algorithm>

namespace {

// The shorter of two durations where -1 means none.
double shorterOf(double a, double b) {
  if (a < 0.0) {
    return b;
  }
  return b < 0.0 ? a : std::min(a, b);
}

}  // namespace

void UnitFigures::add(const UnitFigures& other) {
  runSeconds += other.runSeconds;
  starts += other.starts;
  mostStartsIn60Minutes = std::max(mostStartsIn60Minutes, other.mostStartsIn60Minutes);
  shortestRunSeconds = shorterOf(shortestRunSeconds, other.shortestRunSeconds);
  shortestRestSeconds = shorterOf(shortestRestSeconds, other.shortestRestSeconds);
  heldStarts += other.heldStarts;
  noCoolingAlarms += other.noCoolingAlarms;
  energyJ += other.energyJ;
}

void TemperatureFigures::add(const TemperatureFigures& later, bool first) {
  minC = first ? later.minC : std::min(minC, later.minC);
  maxC = first ? later.maxC : std::max(maxC, later.maxC);
  integralCS += later.integralCS;
}

PeriodFigures PeriodFigures::empty(int64_t beginUnixSeconds, std::size_t thresholds) {
  PeriodFigures period;
  period.beginUnixSeconds = beginUnixSeconds;
  period.endUnixSeconds = beginUnixSeconds;
  period.secondsAbove.assign(thresholds, 0.0);
  return period;
}

void PeriodFigures::add(const PeriodFigures& later) {
  if (later.simulatedSeconds <= 0.0) {
    endUnixSeconds = std::max(endUnixSeconds, later.endUnixSeconds);
    return;
  }
  // Extremes exist only where time was simulated.
  const bool first = simulatedSeconds <= 0.0;
  inside.add(later.inside, first);
  outside.add(later.outside, first);
  endUnixSeconds = later.endUnixSeconds;
  simulatedSeconds += later.simulatedSeconds;
  secondsAbove.resize(std::max(secondsAbove.size(), later.secondsAbove.size()), 0.0);
  for (std::size_t i = 0; i < later.secondsAbove.size(); ++i) {
    secondsAbove[i] += later.secondsAbove[i];
  }
  secondsBelowCold += later.secondsBelowCold;
  for (int unit = 0; unit < 2; ++unit) {
    aircon[unit].add(later.aircon[unit]);
  }
  fanRunSeconds += later.fanRunSeconds;
  fanEnergyJ += later.fanEnergyJ;
  for (int mode = 0; mode < kCoolingModes; ++mode) {
    modeSeconds[mode] += later.modeSeconds[mode];
  }
  outsideAirCoolingJ += later.outsideAirCoolingJ;
  airconCoolingJ += later.airconCoolingJ;
  fanHeatGainJ += later.fanHeatGainJ;
  invariantBreaks += later.invariantBreaks;
}

double PeriodFigures::freeAirShare() const {
  const double totalJ = outsideAirCoolingJ + airconCoolingJ;
  return totalJ > 0.0 ? outsideAirCoolingJ / totalJ : -1.0;
}

double PeriodFigures::insideMeanC() const {
  return simulatedSeconds > 0.0 ? inside.integralCS / simulatedSeconds : 0.0;
}

void RunFigures::append(const RunFigures& later) {
  if (months.empty() && whole.simulatedSeconds <= 0.0) {
    whole = later.whole;
  } else {
    whole.add(later.whole);
  }
  months.insert(months.end(), later.months.begin(), later.months.end());
  passes += later.passes;
  wallSeconds += later.wallSeconds;
  modeChanges.insert(modeChanges.end(), later.modeChanges.begin(), later.modeChanges.end());
  breaks.insert(breaks.end(), later.breaks.begin(), later.breaks.end());
  insideSecondsByTenth.resize(
      std::max(insideSecondsByTenth.size(), later.insideSecondsByTenth.size()), 0.0);
  for (std::size_t i = 0; i < later.insideSecondsByTenth.size(); ++i) {
    insideSecondsByTenth[i] += later.insideSecondsByTenth[i];
  }
  if (hourModes.empty()) {
    firstHourUnixSeconds = later.firstHourUnixSeconds;
  }
  hourModes.insert(hourModes.end(), later.hourModes.begin(), later.hourModes.end());
  csvRows += later.csvRows;
}

// The transport: every member by name. nlohmann's numbers round-trip
// exactly, and no figure is ever infinite or NaN (which JSON cannot hold).
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(UnitFigures, runSeconds, starts, mostStartsIn60Minutes,
                                   shortestRunSeconds, shortestRestSeconds, heldStarts, energyJ,
                                   noCoolingAlarms)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(TemperatureFigures, minC, maxC, integralCS)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(PeriodFigures, beginUnixSeconds, endUnixSeconds,
                                   simulatedSeconds, inside, outside, secondsAbove,
                                   secondsBelowCold, aircon, fanRunSeconds, fanEnergyJ, modeSeconds,
                                   outsideAirCoolingJ, airconCoolingJ, fanHeatGainJ,
                                   invariantBreaks)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(ModeChange, unixMicroseconds, from, to)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(InvariantBreak, unixMicroseconds, unit, rule, detail)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(RunFigures, whole, months, passes, wallSeconds, modeChanges,
                                   breaks, insideSecondsByTenth, firstHourUnixSeconds, hourModes,
                                   csvRows)

nlohmann::json figuresToTransport(const RunFigures& figures) {
  return figures;
}

RunFigures figuresFromTransport(const nlohmann::json& transport) {
  return transport.get<RunFigures>();
}
