// Properties that hold on every pass, checked over many seeded random
// settings and temperature traces (the variables only; the outputs are
// detached from the bridge so that the run causes no traffic). The units'
// outputs are followed through the bridge's own output logic, on a clock of
// passes, against a server that sometimes refuses sends or restarts, and a
// daemon that sometimes restarts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <sstream>
#include <string>

#include "ControllerRig.h"
#include "frigel.h"
#include "airconOutputs.h"
#include "restRecord.h"

namespace {

const int kSeeds = 200;
const int kPassesPerSeed = 600;

// Settings drawn around a plausible site, with the odd cases mixed in:
// option bytes other than 0 and 1, no unit or three units, Values of 0 and
// ramp Values below 10. Step sizes stay within 0 to 100, and the emergency
// drop-out is never above its pull-in.
ControllerSettings randomSettings(std::mt19937& random) {
  auto pick = [&](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  auto between = [&](float low, float high) {
    return std::uniform_real_distribution<float>(low, high)(random);
  };
  auto optionByte = [&]() {
    const int draw = pick(0, 9);
    return static_cast<uint8_t>(draw < 4 ? 0 : draw < 9 ? 1 : pick(2, 255));
  };
  ControllerSettings s;
  s.numberOfAircons = static_cast<uint8_t>(pick(0, 3));
  s.airconRotation = optionByte();
  s.useFreeAir = optionByte();
  s.useFanInHiTemp = optionByte();
  s.coolingPullIn = between(18.0f, 24.0f);
  s.goalTemperature = between(20.0f, 27.0f);
  s.maximumExtAboveIntTemperature = between(-2.0f, 5.0f);
  s.aircon1PullIn = between(24.0f, 30.0f);
  s.aircon1DropOut = s.aircon1PullIn - between(0.0f, 5.0f);
  s.aircon2PullIn = between(28.0f, 35.0f);
  s.aircon2DropOut = s.aircon2PullIn - between(0.0f, 5.0f);
  s.hiTemperaturePullIn = between(34.0f, 42.0f);
  s.hiTemperatureDropOut = s.hiTemperaturePullIn - between(0.0f, 6.0f);
  s.hiTempFanPullIn = between(36.0f, 48.0f);
  s.fanSpeedStepUpSize = between(0.0f, 100.0f);
  s.fanSpeedStepDownSize = between(0.0f, 100.0f);
  s.aircon1MinimumRunTimeValue = static_cast<uint32_t>(pick(0, 40));
  s.aircon2MinimumRunTimeValue = static_cast<uint32_t>(pick(0, 40));
  s.airconRunTimeAfterDropOutValue = static_cast<uint32_t>(pick(0, 20));
  s.fanMinimumRunTimePreCoolingValue = static_cast<uint32_t>(pick(0, 20));
  s.fanMinimumRunTimePreAirconValue = static_cast<uint32_t>(pick(0, 20));
  s.fanSpeedIncreaseTimeOutValue = static_cast<uint32_t>(pick(0, 10));
  s.fanSpeedDecreaseTimeOutValue = static_cast<uint32_t>(pick(0, 10));
  s.fanRampDownTimeValue = static_cast<uint32_t>(pick(0, 60));
  s.fanRampUpTimeValue = static_cast<uint32_t>(pick(0, 60));
  return s;
}

// A random walk from 15 to 50 with occasional jumps and, rarely, a probe
// value that is not a number.
class TemperatureWalk {
 public:
  TemperatureWalk(std::mt19937& random, float start) : mRandom(random), mValue(start) {}
  float next() {
    const int draw = std::uniform_int_distribution<int>(0, 999)(mRandom);
    if (draw < 3) {
      return std::numeric_limits<float>::quiet_NaN();
    }
    if (draw < 20) {
      mValue = std::uniform_real_distribution<float>(15.0f, 50.0f)(mRandom);
    } else {
      mValue += std::uniform_real_distribution<float>(-0.3f, 0.3f)(mRandom);
      mValue = std::fmin(std::fmax(mValue, 15.0f), 50.0f);
    }
    return mValue;
  }

 private:
  std::mt19937& mRandom;
  float mValue;
};

// The outputs as the daemon drives them: the bridge's outputs, reconciled
// after each controller step, and the object server's outputs, with the
// faults of a live site at random passes: the server refuses sends for a
// while, or restarts with its outputs clear (the bridge learns of it in its
// next pass); the daemon restarts, and its successor finds the outputs at
// the server and the rests in the record its predecessor kept.
class DrivenOutputs {
 public:
  DrivenOutputs(std::mt19937& random, int64_t minimumOffPasses, int64_t staggerPasses)
      : mRandom(random), mTiming{minimumOffPasses, staggerPasses} {
    startDaemon(0);
  }

  // Random faults at the start of `pass`. True when the daemon restarts:
  // the controller must start afresh.
  bool faults(int64_t pass) {
    if (mRefusingUntil <= pass && draw(300)) {
      mRefusingUntil = pass + 1 + draw(20);
    }
    if (draw(400)) {
      // The new server holds every output clear.
      for (int u = 0; u < 2; ++u) {
        clearAtServer(u, pass);
      }
      mServerRestartUnnoticed = true;
    }
    if (draw(500)) {
      // The record is what the dying daemon last wrote: kept as text, as
      // in its file, and read back by the next one.
      mRecordText = formatRestRecord(restRecordOf(mOutputs, "boot"));
      startDaemon(pass);
      return true;
    }
    return false;
  }

  // After the controller's step of `pass`: the bridge takes the decisions
  // (the controller's records) and sends what is out of line. Returns a
  // fault found, or "".
  std::string afterStep(int64_t pass) {
    const uint8_t decided[2] = {aircon1, aircon2};
    for (int u = 0; u < 2; ++u) {
      mOutputs.decide(u + 1, decided[u] == on);
    }
    if (mServerRestartUnnoticed) {
      mServerRestartUnnoticed = false;
      mOutputs.lost(pass);
    }
    std::string fault;
    mOutputs.reconcile(pass, [&](int unit, bool wantOn) {
      if (pass < mRefusingUntil) {
        return false;
      }
      const int u = unit - 1;
      if (wantOn && !mServerOn[u] && mServerOffAt[u] >= 0 &&
          pass - mServerOffAt[u] < mTiming.minimumOff) {
        fault = "unit " + std::to_string(unit) + " started after resting " +
                std::to_string(pass - mServerOffAt[u]) + " passes";
      }
      if (wantOn && !mServerOn[u]) {
        mServerOn[u] = true;
      } else if (!wantOn) {
        clearAtServer(u, pass);
      }
      return true;
    });
    // An output may differ from the decision while its start is held, while
    // the server refuses, and for the one pass before the bridge learns that
    // the server restarted.
    for (int u = 0; u < 2; ++u) {
      const bool explained = mOutputs.startHold(u + 1, pass) != AirconOutputs::Hold::None ||
                             pass < mRefusingUntil || mServerRestartUnnoticed;
      const bool differs = mServerOn[u] != (decided[u] == on);
      mOutOfLine[u] = differs && !explained ? mOutOfLine[u] + 1 : 0;
      if (mOutOfLine[u] > 1 && fault.empty()) {
        fault = "unit " + std::to_string(u + 1) + " differs from the decision for " +
                std::to_string(mOutOfLine[u]) + " passes";
      }
    }
    return fault;
  }

 private:
  bool draw(int oneIn) { return std::uniform_int_distribution<int>(0, oneIn - 1)(mRandom) == 0; }

  void clearAtServer(int u, int64_t pass) {
    if (mServerOn[u]) {
      mServerOn[u] = false;
      mServerOffAt[u] = pass;
    }
  }

  void startDaemon(int64_t pass) {
    mOutputs = AirconOutputs();
    mOutputs.setTiming(mTiming);
    for (int u = 0; u < 2; ++u) {
      mOutputs.found(
          u + 1, mServerOn[u] ? AirconOutputs::Confirmed::On : AirconOutputs::Confirmed::Off, pass);
    }
    const RestRecordUse use = judgeRestRecord(!mRecordText.empty(), mRecordText, "boot", pass);
    for (int u = 0; use.valid && u < 2; ++u) {
      if (use.record.units[u].state == RestRecord::Unit::Resting) {
        mOutputs.restingSince(u + 1, use.record.units[u].restingSince);
      }
    }
    mOutOfLine[0] = mOutOfLine[1] = 0;
  }

  std::mt19937& mRandom;
  const AirconOutputs::Timing mTiming;
  AirconOutputs mOutputs;
  std::string mRecordText;
  bool mServerOn[2] = {false, false};
  int64_t mServerOffAt[2] = {-1, -1};  // -1: never on
  int64_t mRefusingUntil = 0;
  bool mServerRestartUnnoticed = false;
  int mOutOfLine[2] = {0, 0};
};

// A run that single-aircon mode's first step started: its unit, the pass it
// started in, and whether the emergency or two-aircon mode took over since.
struct SingleAirconRun {
  int unit = 0;  // 0: none
  int startPass = 0;
  bool takenOver = false;
};

std::string describe(uint32_t seed, int pass) {
  std::ostringstream text;
  text << "seed " << seed << ", pass " << pass << ", mode " << coolingModeName(coolState) << ", T "
       << internalTemperatureAveraging << ", fan " << fanSpeedPercent;
  return text.str();
}

TEST_F(ControllerTest, InvariantsHoldOverRandomTraces) {
  long passesChecked = 0;
  for (uint32_t seed = 1; seed <= kSeeds; ++seed) {
    std::mt19937 random(seed);
    rig.startIn(noCoolingModeState);
    rig.detachOutputs();
    ControllerSettings settings = randomSettings(random);
    settings.apply();
    TemperatureWalk internal(random, 25.0f);
    TemperatureWalk external(random, 20.0f);
    // Passes in a row whose no-cooling step ran.
    int noCoolingStepsInARow = 0;
    const int64_t minimumOffPasses = std::uniform_int_distribution<int>(1, 30)(random);
    const int64_t staggerPasses = std::uniform_int_distribution<int>(0, 10)(random);
    DrivenOutputs outputs(random, minimumOffPasses, staggerPasses);
    SingleAirconRun run;

    for (int pass = 0; pass < kPassesPerSeed; ++pass) {
      if (outputs.faults(pass)) {
        // The daemon restarted: a controller at its start, the same settings.
        restoreControllerState(ControllerSnapshot());
        noCoolingStepsInARow = 0;
        run = SingleAirconRun();
      }
      const float t = internal.next();
      ControllerRig::setTemperatures(t, external.next());
      const eCoolingModeState before = coolState;
      const bool firstStepDue = before == aircon1CoolingModeState && AirCon1timerLoop == 0;
      const uint8_t wasOn[2] = {aircon1, aircon2};
      rig.pass();
      ++passesChecked;

      const uint8_t isOn[2] = {aircon1, aircon2};
      const std::string outputFault = outputs.afterStep(pass);
      ASSERT_EQ(outputFault, "") << describe(seed, pass);
      if (coolState == emergencyCoolingModeState || coolState == aircon2CoolingModeState) {
        run.takenOver = true;
      }
      if (run.unit != 0 && wasOn[run.unit - 1] && !isOn[run.unit - 1]) {
        if (!run.takenOver) {
          ASSERT_GE(static_cast<uint32_t>(pass - run.startPass),
                    settings.aircon1MinimumRunTimeValue)
              << "unit " << run.unit << " stopped before its minimum run time, started at pass "
              << run.startPass << ", " << describe(seed, pass);
        }
        run.unit = 0;
      }
      if (firstStepDue && AirCon1timerLoop == 1) {
        for (int unit = 0; unit < 2; ++unit) {
          if (!wasOn[unit] && isOn[unit]) {
            run = SingleAirconRun{unit + 1, pass, false};
          }
        }
      }

      ASSERT_LE(static_cast<unsigned>(coolState), 4u) << describe(seed, pass);
      ASSERT_LE(freeAirTimerLoop, 5u) << describe(seed, pass);
      ASSERT_LE(AirCon1timerLoop, 1u) << describe(seed, pass);
      ASSERT_LE(AirCon2timerLoop, 1u) << describe(seed, pass);
      ASSERT_LE(emergencytimerLoop, 1u) << describe(seed, pass);
      ASSERT_LE(extraHighTempFanMode, 3) << describe(seed, pass);
      ASSERT_LE(aircon1, 1) << describe(seed, pass);
      ASSERT_LE(aircon2, 1) << describe(seed, pass);
      ASSERT_GE(fanSpeedPercent, 0.0f) << describe(seed, pass);
      ASSERT_LE(fanSpeedPercent, 100.0f) << describe(seed, pass);
      if (t >= settings.hiTemperaturePullIn) {
        ASSERT_EQ(coolState, emergencyCoolingModeState) << describe(seed, pass);
      }

      const bool noCoolingStepRan = before == noCoolingModeState && !(t >= hiTemperaturePullIn);
      noCoolingStepsInARow = noCoolingStepRan ? noCoolingStepsInARow + 1 : 0;
      if (noCoolingStepsInARow >= 2) {
        ASSERT_EQ(aircon1 + aircon2, 0)
            << "both units off after two no-cooling passes, " << describe(seed, pass);
      }
    }
  }
  EXPECT_GE(passesChecked, 100000);
}

}  // namespace
