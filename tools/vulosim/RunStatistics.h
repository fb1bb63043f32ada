// What a model run measures, step by step, and the summary printed at its
// end: internal and external temperature, time above each threshold, run
// time, starts, cycling, energy and failures of each air conditioner and
// of the fan, and the heat each way of cooling took out of the room.
#ifndef VULOSIM_RUNSTATISTICS_H
#define VULOSIM_RUNSTATISTICS_H

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "ModelFile.h"
#include "RoomModel.h"

// The outputs as the daemon left them, held over one step.
struct OutputState {
  bool airconOn[2] = {false, false};
  // Commanded fan speed as a fraction, 0 to 1.
  double fanFraction = 0.0;
};

// The faults the simulator plays, held over one step.
struct FaultState {
  // True: the unit has lost its cooling; while its output is on it still
  // runs and draws its electric power.
  bool airconFailed[2] = {false, false};
};

class RunStatistics {
 public:
  // `initial`: the outputs before the first step, so that a unit already
  // running at the start is not counted as a start.
  RunStatistics(const ModelSpec& definition, double initialInternalC, double initialExternalC,
                const OutputState& initial);

  // One step: the room's temperature curve, the outside temperature, the
  // outputs and the faults (none unless given) over it.
  void addStep(const StepCurve& room, double outsideC, const OutputState& outputs,
               const FaultState& faults = FaultState{});

  double simulatedS() const { return mSimulatedS; }
  uint64_t steps() const { return mSteps; }
  double internalMinC() const { return mInternalMinC; }
  double internalMaxC() const { return mInternalMaxC; }
  // Time-weighted mean; the initial temperature before any step.
  double internalMeanC() const;
  // Seconds above the model's threshold of the same index.
  double aboveS(std::size_t threshold) const { return mAboveS.at(threshold); }
  double airconRunS(int number) const { return mAirconRunS[number - 1]; }
  unsigned long airconStarts(int number) const { return mAirconStarts[number - 1]; }
  double airconEnergyJ(int number) const { return mAirconEnergyJ[number - 1]; }
  // Time the unit was failed, and the part of it its output was on: run
  // time and energy without cooling.
  double airconFailedS(int number) const { return mAirconFailedS[number - 1]; }
  double airconFailedRunS(int number) const { return mAirconFailedRunS[number - 1]; }
  // The shortest completed run: from a start to the next switch-off, both
  // seen during the run (a unit running at the beginning or at the end of
  // the run has no completed run from that run). Nothing when none was.
  std::optional<double> airconShortestRunS(int number) const {
    return mAirconCycles[number - 1].shortestRunS;
  }
  // The shortest rest: from a switch-off to the next start (the off time
  // before a unit's first start is no rest). Nothing when none was.
  std::optional<double> airconShortestRestS(int number) const {
    return mAirconCycles[number - 1].shortestRestS;
  }
  // The most starts within any 60 minutes of simulated time: a sliding
  // window, holding the starts less than 3600 s after its first.
  unsigned long airconMostStartsInAnHour(int number) const {
    return mAirconCycles[number - 1].mostStartsInAnHour;
  }
  double fanRunS() const { return mFanRunS; }
  double fanEnergyJ() const { return mFanEnergyJ; }
  // Heat the fan's airflow carried out of the room, over the steps where
  // the outside air was the cooler (J).
  double outsideAirCoolingJ() const { return mOutsideAirCoolingJ; }
  // Heat the fan's airflow brought in, over the steps where the outside air
  // was the warmer (J, positive).
  double fanHeatGainJ() const { return mFanHeatGainJ; }
  // Heat the running air conditioners took out (J); a failed unit takes
  // none.
  double airconCoolingJ() const { return mAirconCoolingJ; }
  // outsideAirCoolingJ over it plus airconCoolingJ, 0 to 1; negative when
  // neither cooled at all.
  double outsideAirShare() const;

  // The summary, one line each, every line starting with "summary ".
  // `csvPath` is empty when no CSV was written.
  std::vector<std::string> summaryLines(const std::string& csvPath, uint64_t csvRows) const;

 private:
  // A unit's switchings, as the outputs were sampled at the start of each
  // step: the times are those of the steps, so a run or rest is measured
  // to one step.
  struct Cycles {
    std::optional<double> runSinceS;   // the start of the current run, when it was seen
    std::optional<double> restSinceS;  // the last switch-off, while the unit is off
    std::optional<double> shortestRunS;
    std::optional<double> shortestRestS;
    std::deque<double> startsInLastHourS;  // the starts of the last 60 minutes, oldest first
    unsigned long mostStartsInAnHour = 0;
  };

  // The unit switched on (or off) at the start of a step at `atS`, of
  // `stepS` seconds.
  static void switchedOn(Cycles& cycles, double atS, double stepS);
  static void switchedOff(Cycles& cycles, double atS);

  const ModelSpec& mSpec;
  double mFanConductanceWPerK = 0.0;  // at full speed
  OutputState mPrevious;
  uint64_t mSteps = 0;
  double mSimulatedS = 0.0;
  double mInitialInternalC;
  double mInternalMinC;
  double mInternalMaxC;
  double mInternalIntegralCS = 0.0;
  double mExternalMinC;
  double mExternalMaxC;
  double mExternalIntegralCS = 0.0;
  std::vector<double> mAboveS;
  double mAirconRunS[2] = {0.0, 0.0};
  unsigned long mAirconStarts[2] = {0, 0};
  double mAirconEnergyJ[2] = {0.0, 0.0};
  double mAirconFailedS[2] = {0.0, 0.0};
  double mAirconFailedRunS[2] = {0.0, 0.0};
  Cycles mAirconCycles[2];
  double mFanRunS = 0.0;
  double mFanEnergyJ = 0.0;
  double mOutsideAirCoolingJ = 0.0;
  double mFanHeatGainJ = 0.0;
  double mAirconCoolingJ = 0.0;
};

// Electrical power of the fan at `fraction` of full speed: the fan laws
// make it grow with the cube of the speed.
double fanPowerW(double fullSpeedW, double fraction);

// "HH:MM:SS" of seconds after midnight (hours past 23 for later days).
std::string clockText(double clockS);

#endif
