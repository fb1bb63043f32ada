#include "SpanReplay.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <deque>

#include "CalendarTime.h"
#include "FlatCallRecorder.h"
#include "Globals.h"
#include "ProbeReader.h"
#include "RoomModel.h"
#include "RunStatistics.h"
#include "controlPass.h"
#include "controllerSnapshot.h"
#include "coolingModes.h"
#include "noCoolingWatch.h"

const char* const kReplayCsvHeader = "time,inside_c,outside_c,aircon1,aircon2,fan_percent,mode";

namespace {

constexpr int64_t kMicrosecondsPerSecond = 1000000;
constexpr int64_t kMicrosecondsPerHour = 3600 * kMicrosecondsPerSecond;
// Steps of 0.1 s and up: a day's loads take at most 7 MB.
constexpr int64_t kMostStepsPerDayRemembered = 864000;

double seconds(int64_t microseconds) {
  return static_cast<double>(microseconds) * 1e-6;
}

// The weather of one span, read forwards: linear between points, the end
// values held beyond them, times in seconds from the span's start.
class WeatherCursor {
 public:
  WeatherCursor(const WeatherSeries& series, int64_t originUnixSeconds, int64_t endUnixSeconds) {
    const std::vector<WeatherPoint>& points = series.points();
    // The points that matter: the last one up to the start to the first
    // one from the end on.
    auto first = std::upper_bound(
        points.begin(), points.end(), originUnixSeconds,
        [](int64_t time, const WeatherPoint& point) { return time < point.unixSeconds; });
    if (first != points.begin()) {
      --first;
    }
    auto last = std::lower_bound(
        points.begin(), points.end(), endUnixSeconds,
        [](const WeatherPoint& point, int64_t time) { return point.unixSeconds < time; });
    if (last != points.end()) {
      ++last;
    }
    for (auto point = first; point != last; ++point) {
      mSeconds.push_back(static_cast<double>(point->unixSeconds - originUnixSeconds));
      mCelsius.push_back(point->celsius);
    }
    for (std::size_t i = 0; i + 1 < mSeconds.size(); ++i) {
      mSlopes.push_back((mCelsius[i + 1] - mCelsius[i]) / (mSeconds[i + 1] - mSeconds[i]));
    }
  }

  double celsiusAt(double secondsFromStart) {
    if (mSeconds.size() == 1 || secondsFromStart <= mSeconds.front()) {
      return mCelsius.front();
    }
    if (secondsFromStart >= mSeconds.back()) {
      return mCelsius.back();
    }
    while (mSeconds[mAt + 1] < secondsFromStart) {
      ++mAt;
    }
    while (mSeconds[mAt] > secondsFromStart) {
      --mAt;
    }
    return mCelsius[mAt] + (secondsFromStart - mSeconds[mAt]) * mSlopes[mAt];
  }

 private:
  std::vector<double> mSeconds;
  std::vector<double> mCelsius;
  std::vector<double> mSlopes;  // per degree per second, from each point to the next
  std::size_t mAt = 0;
};

// Midnight that begins the month after the one holding `unixSeconds`.
int64_t nextMonthUnixSeconds(int64_t unixSeconds) {
  CalendarDate date = dateOfDays(daysOfUnixSeconds(unixSeconds));
  date.day = 1;
  if (++date.month > 12) {
    date.month = 1;
    ++date.year;
  }
  return unixSecondsAtMidnight(date);
}

int64_t floorToHour(int64_t unixSeconds) {
  return unixSeconds - secondOfDay(unixSeconds) % kSecondsPerHour;
}

// What an output does over the span, from its switches.
struct OutputHistory {
  bool running = false;
  int64_t runSince = 0;
  bool resting = false;
  int64_t restSince = 0;
  std::deque<int64_t> startsInLastHour;
  // The run was started by single-aircon cooling's first step, and is
  // checked against its minimum run time unless two-aircon or emergency
  // cooling takes over meanwhile.
  bool checkedRun = false;
  bool takenOver = false;
  // Single-aircon cooling asked for a start that has not gone out yet.
  bool checkNextStart = false;
};

class SpanReplayer {
 public:
  SpanReplayer(const ReplaySetup& setup, const WeatherSeries& weather, int64_t beginUnixSeconds,
               int64_t endUnixSeconds)
      : mSetup(setup),
        mModel(setup.model),
        mBeginUnixSeconds(beginUnixSeconds),
        mSpanMicroseconds((endUnixSeconds - beginUnixSeconds) * kMicrosecondsPerSecond),
        mPassMicroseconds(setup.passMicroseconds),
        mStepMicroseconds(modelStepMicroseconds(setup.model)),
        mWeather(weather, beginUnixSeconds, endUnixSeconds),
        mFanConductanceWPerK(mModel.fan ? airflowConductanceWPerK(mModel.fan->airflowM3PerH) : 0.0),
        mRoom(RoomParameters{mModel.heatCapacityJPerK, mModel.wallConductanceWPerK},
              mModel.initialC ? *mModel.initialC : mWeather.celsiusAt(0.0)),
        mInternalProbe(mModel.resolutionC, mModel.noiseC, mModel.seed),
        mExternalProbe(mModel.resolutionC, mModel.noiseC, mModel.seed + 1u),
        mMinimumRunMicroseconds(static_cast<int64_t>(setup.settings.aircon1MinimumRunTimeValue) *
                                setup.passMicroseconds),
        mNoCooling(setup.noCoolingAfterMicroseconds, setup.noCoolingKelvin, nullptr),
        mStepSeconds(seconds(mStepMicroseconds)),
        mPerStep(1.0 / mStepSeconds) {
    for (const AirconSpec& aircon : mModel.aircons) {
      mAirconFailed[aircon.number - 1] = aircon.failed;
    }
    startController();
    mFigures.firstHourUnixSeconds = floorToHour(beginUnixSeconds);
    mNextHourMicroseconds = (mFigures.firstHourUnixSeconds + kSecondsPerHour - beginUnixSeconds) *
                            kMicrosecondsPerSecond;
    mFigures.insideSecondsByTenth.assign(kDistributionTenths, 0.0);
    const int64_t dayMicroseconds = kSecondsPerCalendarDay * kMicrosecondsPerSecond;
    if (dayMicroseconds % mStepMicroseconds == 0 &&
        dayMicroseconds / mStepMicroseconds <= kMostStepsPerDayRemembered) {
      mStepsPerDay = static_cast<uint64_t>(dayMicroseconds / mStepMicroseconds);
      mLoadByStepOfDay.reserve(mStepsPerDay);
    }
    openMonth(0);
    mReadings.internalCelsius = mInternalProbe.read(mRoom.temperatureC());
    mReadings.externalCelsius = mExternalProbe.read(mWeather.celsiusAt(0.0));
  }

  RunFigures run() {
    const auto started = std::chrono::steady_clock::now();
    int64_t stepAt = 0;
    int64_t passAt = 0;
    while (stepAt < mSpanMicroseconds) {
      const int64_t stepEnd = std::min(stepAt + mStepMicroseconds, mSpanMicroseconds);
      ProbeReadings next;
      stepRoom(stepAt, stepEnd, next);
      for (; passAt < stepEnd; passAt += mPassMicroseconds) {
        runPass(passAt);
      }
      mReadings = next;
      stepAt = stepEnd;
    }
    closeHour();
    closeMonth(mSpanMicroseconds);
    mFigures.passes = mPasses;
    for (const PeriodFigures& month : mFigures.months) {
      if (&month == &mFigures.months.front()) {
        mFigures.whole = month;
      } else {
        mFigures.whole.add(month);
      }
    }
    mFigures.wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return std::move(mFigures);
  }

 private:
  void startController() {
    restoreControllerState(ControllerSnapshot{});
    mSetup.settings.apply();
    recorder = FlatCallRecorder{};
    recorder.outputs.setTiming(
        AirconOutputs::Timing{mSetup.minimumOffMicroseconds, mSetup.startStaggerMicroseconds});
    for (int unit = 1; unit <= 2; ++unit) {
      // Found off at start-up: as the daemon does, the output rests its
      // whole minimum off time from there.
      if (mSetup.airconSetUp[unit - 1]) {
        recorder.outputs.found(unit, AirconOutputs::Confirmed::Off, 0);
      } else {
        recorder.outputs.notFound(unit);
      }
    }
  }

  // ---- The passes: the hot loop --------------------------------------------

  void runPass(int64_t passAt) {
    ++mPasses;
    recorder.startPass(passAt);
    const uint32_t singleAirconStepBefore = AirCon1timerLoop;
    const PassModes modes = runControlPass(&mReadings, [this] {
      // Outputs fall out of line with the decisions only through a switch
      // call (each one noted) or while a held start waits; otherwise every
      // output is in line and the reconciliation would send nothing.
      if (recorder.switchCount != 0 || mStartWaiting) {
        recorder.reconcile();
        mStartWaiting = startWaiting();
      }
    });
    mFanPercent = recorder.fanWritten;
    if (modes.changed()) {
      noteModeChange(passAt, modes);
    }
    if (recorder.switchCount != 0) {
      noteSwitches(passAt, modes, singleAirconStepBefore);
    }
  }

  static bool startWaiting() {
    return (recorder.outputs.decidedOn(1) && !recorder.outputs.confirmedOn(1)) ||
           (recorder.outputs.decidedOn(2) && !recorder.outputs.confirmedOn(2));
  }

  void noteModeChange(int64_t at, const PassModes& modes) {
    mFigures.modeChanges.push_back(
        {absoluteMicroseconds(at), static_cast<int>(modes.before), static_cast<int>(modes.after)});
    if (modes.after == aircon2CoolingModeState || modes.after == emergencyCoolingModeState) {
      for (OutputHistory& output : mOutputs) {
        output.takenOver = true;
      }
    }
  }

  void noteSwitches(int64_t at, const PassModes& modes, uint32_t singleAirconStepBefore) {
    // Single-aircon cooling made its first step (a hand-back from two-aircon
    // cooling sets the step counter too, but starts nothing).
    const bool singleAirconFirstStep = singleAirconStepBefore == 0 && AirCon1timerLoop == 1 &&
                                       modes.before != aircon2CoolingModeState;
    for (int i = 0; i < recorder.switchCount; ++i) {
      const FlatCallRecorder::Switch& event = recorder.switches[i];
      OutputHistory& output = mOutputs[event.unit - 1];
      if (!event.released) {
        if (event.on && !event.recordWasOn) {
          output.checkNextStart = singleAirconFirstStep;
        } else if (!event.on) {
          output.checkNextStart = false;
        }
        if (event.held) {
          ++mMonth.aircon[event.unit - 1].heldStarts;
        }
      }
      if (event.sent) {
        if (event.on) {
          outputStarted(event.unit, at);
        } else {
          outputStopped(event.unit, at);
        }
      }
    }
  }

  void outputStarted(int unit, int64_t at) {
    OutputHistory& output = mOutputs[unit - 1];
    UnitFigures& figures = mMonth.aircon[unit - 1];
    ++figures.starts;
    std::deque<int64_t>& starts = output.startsInLastHour;
    while (!starts.empty() && at - starts.front() >= kMicrosecondsPerHour) {
      starts.pop_front();
    }
    starts.push_back(at);
    figures.mostStartsIn60Minutes =
        std::max<uint64_t>(figures.mostStartsIn60Minutes, starts.size());
    if (output.resting) {
      const int64_t rest = at - output.restSince;
      keepShorter(figures.shortestRestSeconds, seconds(rest));
      if (rest < mSetup.minimumOffMicroseconds) {
        breakInvariant(
            at, unit, "a rest under the minimum off time",
            "rested " + secondsText(rest) + " of " + secondsText(mSetup.minimumOffMicroseconds));
      }
    }
    output.resting = false;
    output.running = true;
    output.runSince = at;
    output.checkedRun = output.checkNextStart;
    output.takenOver = false;
    output.checkNextStart = false;
  }

  void outputStopped(int unit, int64_t at) {
    OutputHistory& output = mOutputs[unit - 1];
    if (output.running) {
      const int64_t run = at - output.runSince;
      keepShorter(mMonth.aircon[unit - 1].shortestRunSeconds, seconds(run));
      if (output.checkedRun && !output.takenOver && run < mMinimumRunMicroseconds) {
        breakInvariant(at, unit, "a single-aircon run under its minimum run time",
                       "ran " + secondsText(run) + " of " + secondsText(mMinimumRunMicroseconds));
      }
    }
    output.running = false;
    output.checkedRun = false;
    output.resting = true;
    output.restSince = at;
  }

  static void keepShorter(double& shortest, double candidate) {
    if (shortest < 0.0 || candidate < shortest) {
      shortest = candidate;
    }
  }

  static std::string secondsText(int64_t microseconds) {
    char text[48];
    std::snprintf(text, sizeof text, "%.6g s", seconds(microseconds));
    return text;
  }

  void breakInvariant(int64_t at, int unit, const char* rule, const std::string& detail) {
    ++mMonth.invariantBreaks;
    mFigures.breaks.push_back({absoluteMicroseconds(at), unit, rule, detail});
  }

  // ---- The room, at its own step ---------------------------------------------

  void stepRoom(int64_t at, int64_t end, ProbeReadings& next) {
    if (at >= mNextMonthMicroseconds) {
      closeMonth(at);
      openMonth(at);
    }
    while (at >= mNextHourMicroseconds) {
      closeHour();
      mNextHourMicroseconds += kMicrosecondsPerHour;
    }
    const double stepS = seconds(end - at);
    const double middleS = seconds(at + end) / 2.0;
    const bool on[2] = {recorder.outputs.confirmedOn(1), recorder.outputs.confirmedOn(2)};
    // The physics takes 0 to 100 percent; anything else (NaN) is off.
    const double fanFraction =
        mFanPercent >= 0.0f ? std::min(static_cast<double>(mFanPercent), 100.0) / 100.0 : 0.0;
    RoomInputs inputs;
    inputs.outsideC = mWeather.celsiusAt(middleS);
    inputs.loadW = stepLoadW(middleS, end - at == mStepMicroseconds);
    for (const AirconSpec& aircon : mModel.aircons) {
      if (on[aircon.number - 1] && !mAirconFailed[aircon.number - 1]) {
        inputs.coolingW += aircon.coolingW;
      }
    }
    inputs.ventilationWPerK = mFanConductanceWPerK * fanFraction;
    if (mSetup.csvIntervalSeconds > 0 && at >= mNextCsvMicroseconds) {
      writeCsvRow(at, mRoom.temperatureC(), on, mFanPercent);
      mNextCsvMicroseconds += mSetup.csvIntervalSeconds * kMicrosecondsPerSecond;
    }
    const StepCurve curve = mRoom.advance(inputs, stepS);
    addStep(curve, inputs.outsideC, on, fanFraction);
    next.internalCelsius = mInternalProbe.read(mRoom.temperatureC());
    next.externalCelsius = mExternalProbe.read(mWeather.celsiusAt(seconds(end)));
    // The daemon's no-cooling alarm, on what its probe would read.
    const bool alarmed[2] = {mNoCooling.alarm(1), mNoCooling.alarm(2)};
    mNoCooling.update(on, next.internalCelsius, end);
    for (int unit = 0; unit < 2; ++unit) {
      if (!alarmed[unit] && mNoCooling.alarm(unit + 1)) {
        ++mMonth.aircon[unit].noCoolingAlarms;
      }
    }
  }

  // The equipment's load at the middle of the step. The load repeats every
  // day, so with a whole number of steps a day each whole step's load is
  // that of the same step the day before: worked out on the first day only.
  double stepLoadW(double middleS, bool wholeStep) {
    const auto direct = [&] {
      return mModel.loadW.at(static_cast<double>(secondOfDay(mBeginUnixSeconds)) + middleS);
    };
    if (mStepsPerDay == 0 || !wholeStep) {
      return direct();
    }
    const uint64_t slot = mWholeSteps++ % mStepsPerDay;
    if (mLoadByStepOfDay.size() <= slot) {
      mLoadByStepOfDay.push_back(direct());
    }
    return mLoadByStepOfDay[slot];
  }

  void addStep(const StepCurve& curve, double outsideC, const bool on[2], double fanFraction) {
    PeriodFigures& month = mMonth;
    const double stepS = curve.durationS;
    const double endC = mRoom.temperatureC();
    // The curve is monotonic over the step, so its ends are its extremes.
    const double lowC = std::min(curve.startC, endC);
    const double highC = std::max(curve.startC, endC);
    const bool first = month.simulatedSeconds <= 0.0;
    const double insideIntegralCS = curve.integralCS();
    month.inside.add({lowC, highC, insideIntegralCS}, first);
    month.outside.add({outsideC, outsideC, outsideC * stepS}, first);
    month.simulatedSeconds += stepS;
    for (std::size_t i = 0; i < mModel.thresholds.size(); ++i) {
      month.secondsAbove[i] += secondsAbove(curve, endC, mModel.thresholds[i].temperatureC);
    }
    month.secondsBelowCold += stepS - secondsAbove(curve, endC, kColdCelsius);
    for (const AirconSpec& aircon : mModel.aircons) {
      const int unit = aircon.number - 1;
      if (on[unit]) {
        month.aircon[unit].runSeconds += stepS;
        month.aircon[unit].energyJ += aircon.electricW * stepS;
        if (!mAirconFailed[unit]) {
          month.airconCoolingJ += aircon.coolingW * stepS;
        }
      }
    }
    if (mModel.fan && fanFraction > 0.0) {
      month.fanRunSeconds += stepS;
      month.fanEnergyJ += fanPowerW(mModel.fan->electricW, fanFraction) * stepS;
      // Heat carried out by the exchanged air: G (T - T_out) over the step.
      const double carriedOutJ =
          mFanConductanceWPerK * fanFraction * (insideIntegralCS - outsideC * stepS);
      if (carriedOutJ >= 0.0) {
        month.outsideAirCoolingJ += carriedOutJ;
      } else {
        month.fanHeatGainJ -= carriedOutJ;
      }
    }
    const int mode = static_cast<int>(coolState) < kCoolingModes ? static_cast<int>(coolState) : 0;
    month.modeSeconds[mode] += stepS;
    mHourModeSeconds[mode] += stepS;
    const double meanC = insideIntegralCS * (stepS == mStepSeconds ? mPerStep : 1.0 / stepS);
    const double tenth = std::floor((meanC - kDistributionLowestC) * 10.0);
    const int bin = tenth < 0.0                        ? 0
                    : tenth >= kDistributionTenths - 1 ? kDistributionTenths - 1
                                                       : static_cast<int>(tenth);
    mFigures.insideSecondsByTenth[static_cast<std::size_t>(bin)] += stepS;
  }

  // The curve's time above `thresholdC`, worked out only when the step
  // crosses it: the end is known, and each crossing costs a logarithm.
  static double secondsAbove(const StepCurve& curve, double endC, double thresholdC) {
    const bool startAbove = curve.startC > thresholdC;
    if (startAbove == (endC > thresholdC)) {
      return startAbove ? curve.durationS : 0.0;
    }
    return curve.timeAboveS(thresholdC);
  }

  void writeCsvRow(int64_t at, double insideC, const bool on[2], float fanPercent) {
    const int64_t unixSeconds = mBeginUnixSeconds + at / kMicrosecondsPerSecond;
    char row[160];
    std::snprintf(row, sizeof row, "%s,%.2f,%.2f,%d,%d,%.1f,%s\n",
                  formatUnixSeconds(unixSeconds).c_str(), insideC, mWeather.celsiusAt(seconds(at)),
                  on[0] ? 1 : 0, on[1] ? 1 : 0, static_cast<double>(fanPercent),
                  coolingModeName(coolState));
    mFigures.csvRows += row;
  }

  // ---- Months and hours --------------------------------------------------------

  void openMonth(int64_t at) {
    const int64_t unixSeconds = mBeginUnixSeconds + at / kMicrosecondsPerSecond;
    mMonth = PeriodFigures::empty(unixSeconds, mModel.thresholds.size());
    mNextMonthMicroseconds =
        (nextMonthUnixSeconds(unixSeconds) - mBeginUnixSeconds) * kMicrosecondsPerSecond;
  }

  void closeMonth(int64_t at) {
    mMonth.endUnixSeconds = mBeginUnixSeconds + at / kMicrosecondsPerSecond;
    mFigures.months.push_back(mMonth);
  }

  void closeHour() {
    int dominant = 0;
    for (int mode = 1; mode < kCoolingModes; ++mode) {
      if (mHourModeSeconds[mode] > mHourModeSeconds[dominant]) {
        dominant = mode;
      }
    }
    mFigures.hourModes.push_back(static_cast<uint8_t>(dominant));
    std::fill(std::begin(mHourModeSeconds), std::end(mHourModeSeconds), 0.0);
  }

  int64_t absoluteMicroseconds(int64_t at) const {
    return mBeginUnixSeconds * kMicrosecondsPerSecond + at;
  }

  const ReplaySetup& mSetup;
  const ModelSpec& mModel;
  const int64_t mBeginUnixSeconds;
  const int64_t mSpanMicroseconds;
  const int64_t mPassMicroseconds;
  const int64_t mStepMicroseconds;
  WeatherCursor mWeather;
  const double mFanConductanceWPerK;
  RoomModel mRoom;
  ProbeReader mInternalProbe;
  ProbeReader mExternalProbe;
  const int64_t mMinimumRunMicroseconds;
  NoCoolingWatch mNoCooling;
  const double mStepSeconds;
  const double mPerStep;  // 1 / mStepSeconds
  bool mAirconFailed[2] = {false, false};

  ProbeReadings mReadings;
  float mFanPercent = 0.0f;
  bool mStartWaiting = false;  // a start decided and not sent yet
  uint64_t mPasses = 0;
  OutputHistory mOutputs[2];

  RunFigures mFigures;
  PeriodFigures mMonth;
  int64_t mNextMonthMicroseconds = 0;
  int64_t mNextHourMicroseconds = 0;
  double mHourModeSeconds[kCoolingModes] = {};
  int64_t mNextCsvMicroseconds = 0;
  uint64_t mStepsPerDay = 0;  // 0: the load is worked out every step
  uint64_t mWholeSteps = 0;
  std::vector<double> mLoadByStepOfDay;
};

}  // namespace

int64_t modelStepMicroseconds(const ModelSpec& model) {
  const double microseconds = model.stepS * static_cast<double>(kMicrosecondsPerSecond);
  const double whole = std::round(microseconds);
  if (!(whole >= 1.0) || std::fabs(microseconds - whole) > 1e-6 * whole) {
    return 0;
  }
  return static_cast<int64_t>(whole);
}

RunFigures replaySpan(const ReplaySetup& setup, const WeatherSeries& weather,
                      int64_t beginUnixSeconds, int64_t endUnixSeconds) {
  SpanReplayer replayer(setup, weather, beginUnixSeconds, endUnixSeconds);
  return replayer.run();
}
