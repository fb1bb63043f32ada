// Properties that hold on every pass, checked over many seeded random
// settings and temperature traces (the variables only; the outputs are
// detached from the bridge so that the run causes no traffic). The units'
// outputs are followed through the bridge's minimum off time, on a clock of
// passes, as the bridge applies it to the controller's switching.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <sstream>
#include <string>

#include "ControllerRig.h"
#include "frigel.h"
#include "minimumOffTime.h"

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

// One unit's output as the bridge sends it: the controller's record at the
// end of each pass is its request, held for the minimum off time.
class HeldOutput {
 public:
  explicit HeldOutput(int64_t minimumOffPasses) : mHold(minimumOffPasses) {}
  // The output after `pass`; `restPasses` is set to the length of a rest
  // that ended at this pass, else -1.
  bool follow(bool wanted, int64_t pass, int64_t& restPasses) {
    const bool before = mOn;
    if (mHold.request(wanted, mOn, pass) == MinimumOffTime::Decision::Send) {
      mOn = wanted;
    }
    if (mHold.releaseDue(pass)) {
      mOn = true;
    }
    restPasses = -1;
    if (before && !mOn) {
      mOffAt = pass;
    } else if (!before && mOn && mOffAt >= 0) {
      restPasses = pass - mOffAt;
    }
    return mOn;
  }

 private:
  MinimumOffTime mHold;
  bool mOn = false;
  int64_t mOffAt = -1;
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
    HeldOutput outputs[2] = {HeldOutput(minimumOffPasses), HeldOutput(minimumOffPasses)};
    SingleAirconRun run;

    for (int pass = 0; pass < kPassesPerSeed; ++pass) {
      const float t = internal.next();
      ControllerRig::setTemperatures(t, external.next());
      const eCoolingModeState before = coolState;
      const bool firstStepDue = before == aircon1CoolingModeState && AirCon1timerLoop == 0;
      const uint8_t wasOn[2] = {aircon1, aircon2};
      rig.pass();
      ++passesChecked;

      const uint8_t isOn[2] = {aircon1, aircon2};
      for (int unit = 0; unit < 2; ++unit) {
        int64_t rest = -1;
        outputs[unit].follow(isOn[unit] == on, pass, rest);
        if (rest >= 0) {
          ASSERT_GE(rest, minimumOffPasses)
              << "unit " << unit + 1 << " rested too short, " << describe(seed, pass);
        }
      }
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
