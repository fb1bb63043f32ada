// Scenario scripts: a scripted internal/external temperature trace over
// hundreds to thousands of passes, one run, then named checks on the modes,
// the switch calls (with the pass they happened in) and the fan.
//
// Unless a scenario says otherwise the site is ControllerSettings' default
// (degrees Celsius): goal 24, outside margin 2, cooling pull-in 22, first
// unit 28 / 25, second unit 32 / 29, emergency 40 / 36, fan band 43 to 45;
// two units; fan steps of 10; minimum runs 20, after-drop-out 10,
// pre-cooling 10, pre-aircon 10, step time-outs 5, ramps a step every 3
// passes. Temperatures are written as hundredths over 100, so every
// threshold is met exactly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "ControllerRig.h"
#include "frigel.h"

namespace {

struct Trace {
  std::vector<eCoolingModeState> modeAfter;  // per pass
  std::vector<float> fanAfter;               // per pass
  std::vector<Actuations> actuations;        // per pass
};

// (internal, external) in degrees Celsius for a pass number.
using TemperatureScript = std::function<std::pair<float, float>(int pass)>;

float hundredths(int value) {
  return static_cast<float>(value) / 100.0f;
}

Trace runScript(ControllerRig& rig, int passCount, const TemperatureScript& script) {
  Trace trace;
  for (int pass = 0; pass < passCount; ++pass) {
    std::pair<float, float> temperatures = script(pass);
    ControllerRig::setTemperatures(temperatures.first, temperatures.second);
    trace.actuations.push_back(rig.pass());
    trace.modeAfter.push_back(coolState);
    trace.fanAfter.push_back(fanSpeedPercent);
  }
  return trace;
}

// Every pass ends with exactly one fan write, of the commanded speed, and
// every switch the controller asks for is accepted and sent by the bridge.
void expectWellFormed(const Trace& trace) {
  for (std::size_t pass = 0; pass < trace.actuations.size(); ++pass) {
    const Actuations& one = trace.actuations[pass];
    std::size_t fanWrites = 0;
    for (const std::string& entry : one) {
      if (entry.rfind("fan ", 0) == 0) {
        ++fanWrites;
      } else {
        const bool sentSwitch =
            entry.size() >= 6 &&
            (entry.compare(3, 3, " on") == 0 || entry.compare(3, 4, " off") == 0) &&
            entry.find('(') == std::string::npos;
        EXPECT_TRUE(sentSwitch) << "pass " << pass << ": " << entry;
      }
    }
    ASSERT_EQ(fanWrites, 1u) << "pass " << pass;
    ASSERT_EQ(one.back(), fanEntry(trace.fanAfter[pass])) << "pass " << pass;
  }
}

using TimedSwitch = std::pair<int, std::string>;

std::vector<TimedSwitch> timedSwitches(const Trace& trace) {
  std::vector<TimedSwitch> out;
  for (std::size_t pass = 0; pass < trace.actuations.size(); ++pass) {
    for (const std::string& entry : switchesOnly(trace.actuations[pass])) {
      out.emplace_back(static_cast<int>(pass), entry);
    }
  }
  return out;
}

using ModeChange = std::pair<int, eCoolingModeState>;

// The pass in which each mode was entered (the mode after the pass), the
// mode before the first pass excluded.
std::vector<ModeChange> modeChanges(const Trace& trace, eCoolingModeState before) {
  std::vector<ModeChange> out;
  for (std::size_t pass = 0; pass < trace.modeAfter.size(); ++pass) {
    if (trace.modeAfter[pass] != before) {
      before = trace.modeAfter[pass];
      out.emplace_back(static_cast<int>(pass), before);
    }
  }
  return out;
}

std::vector<float> fanBetween(const Trace& trace, int firstPass, int lastPass) {
  return std::vector<float>(trace.fanAfter.begin() + firstPass,
                            trace.fanAfter.begin() + lastPass + 1);
}

// ---- 1. Hot start -------------------------------------------------------------
// The room is at 45 when the daemon starts and cools by 0.01 per pass down to
// 20; outside air at 15.
TEST_F(ControllerTest, Scenario1_HotStart) {
  rig.startFresh();
  const int passes = 2500;
  ControllerSettings().apply();
  Trace trace = runScript(rig, passes,
                          [](int pass) { return std::make_pair(hundredths(4500 - pass), 15.0f); });

  expectWellFormed(trace);
  std::vector<ModeChange> changes = modeChanges(trace, kNone);
  ASSERT_GE(changes.size(), 6u);
  EXPECT_EQ(changes[0], ModeChange(0, kEmergency)) << "starts in emergency";
  EXPECT_EQ(trace.actuations[0], Actuations{"fan 0"}) << "no unit in the first pass";
  EXPECT_EQ(trace.actuations[1], (Actuations{"ac2 on", "ac1 on", "fan 0"}))
      << "both units from the second pass";
  EXPECT_EQ(changes[1], ModeChange(901, kTwo)) << "emergency ends at the first pass below 36";
  EXPECT_EQ(changes[2], ModeChange(1601, kSingle)) << "second unit released below 29";
  EXPECT_EQ(changes[3], ModeChange(1621, kFree)) << "free air once the minimum run is over";
  EXPECT_EQ(changes[4], ModeChange(1632, kSingle))
      << "pre-cooling ends still above the first pull-in";
  EXPECT_EQ(changes.back().second, kNone) << "ends without cooling";
  EXPECT_GE(changes.back().first, 2301) << "no cooling only below the cooling pull-in";
  EXPECT_LE(changes.back().first, 2301 + 6) << "within one fan-step wait of it";

  std::vector<TimedSwitch> switches = timedSwitches(trace);
  ASSERT_GE(switches.size(), 4u);
  EXPECT_EQ(std::vector<TimedSwitch>(switches.begin(), switches.begin() + 4),
            (std::vector<TimedSwitch>{
                {1, "ac2 on"}, {1, "ac1 on"}, {1601, "ac2 off"}, {1631, "ac1 off"}}))
      << "unit 1 runs on for the after-drop-out time";
  for (std::size_t i = 4; i < switches.size(); ++i) {
    EXPECT_EQ(switches[i].second, i % 2 == 0 ? "ac1 on" : "ac1 off")
        << "only unit 1 cycles between single-aircon and free-air cooling";
  }
  EXPECT_EQ(aircon1 + aircon2, 0) << "both units off at the end";
  EXPECT_EQ(trace.fanAfter.back(), 0.0f);
}

// ---- 2. Free air regulating up and down -----------------------------------------
// The room swings around the goal (24 +- 1.5, period 600 passes), between
// the cooling pull-in and the first unit's pull-in; outside air at 15.
TEST_F(ControllerTest, Scenario2_FreeAirRegulatesAroundTheGoal) {
  const int passes = 3000;
  rig.startIn(noCoolingModeState);
  ControllerSettings settings;
  settings.apply();
  auto internalAt = [](int pass) {
    const double radiansPerPass = 2.0 * 3.14159265358979323846 / 600.0;
    return 24.0f + 1.5f * static_cast<float>(std::sin(radiansPerPass * pass));
  };
  Trace trace =
      runScript(rig, passes, [&](int pass) { return std::make_pair(internalAt(pass), 15.0f); });

  expectWellFormed(trace);
  EXPECT_EQ(modeChanges(trace, kNone), (std::vector<ModeChange>{{0, kFree}}))
      << "free air from the first pass on, throughout";
  EXPECT_EQ(timedSwitches(trace), std::vector<TimedSwitch>{}) << "no unit is called";
  EXPECT_EQ(fanBetween(trace, 1, 11), std::vector<float>(11, 100.0f))
      << "full fan through the pre-cooling run";

  int lastStepPass = 11;
  int stepsUp = 0;
  int stepsDown = 0;
  for (int pass = 12; pass < passes; ++pass) {
    const float before = trace.fanAfter[static_cast<std::size_t>(pass - 1)];
    const float after = trace.fanAfter[static_cast<std::size_t>(pass)];
    ASSERT_GE(after, 1.0f) << "pass " << pass;
    ASSERT_LE(after, 100.0f) << "pass " << pass;
    if (after == before) {
      continue;
    }
    const float internal = internalAt(pass);
    if (after > before) {
      ++stepsUp;
      EXPECT_GT(internal, 24.0f) << "a step up only above the goal, pass " << pass;
      EXPECT_TRUE(after == before + 10.0f || after == 100.0f) << "pass " << pass;
    } else {
      ++stepsDown;
      EXPECT_LT(internal, 24.0f) << "a step down only below the goal, pass " << pass;
      EXPECT_TRUE(after == before - 10.0f || after == 1.0f) << "pass " << pass;
    }
    EXPECT_GE(pass - lastStepPass, 6) << "one step per time-out (5) and regulation pass";
    lastStepPass = pass;
  }
  EXPECT_GE(stepsUp, 20) << "regulates up";
  EXPECT_GE(stepsDown, 20) << "regulates down";
  EXPECT_NE(std::find(trace.fanAfter.begin(), trace.fanAfter.end(), 1.0f), trace.fanAfter.end())
      << "reaches the lowest speed";
}

// ---- 3. Free air, one unit, two units and back ------------------------------------
// The room warms from 23 by 0.01 per pass to 34, holds 200 passes, and
// cools by 0.01 per pass to 20. Outside air is 18, rises to 29 at pass 520
// (too warm to help) and falls back to 18 at pass 2000.
TEST_F(ControllerTest, Scenario3_FreeAirToOneAndTwoAirconsAndBack) {
  const int passes = 2700;
  rig.startIn(noCoolingModeState);
  ControllerSettings().apply();
  Trace trace = runScript(rig, passes, [](int pass) {
    const float internal = pass < 1100   ? hundredths(2300 + pass)
                           : pass < 1300 ? 34.0f
                                         : hundredths(4700 - pass);
    const float external = pass < 520 || pass >= 2000 ? 18.0f : 29.0f;
    return std::make_pair(internal, external);
  });

  expectWellFormed(trace);
  EXPECT_EQ(
      modeChanges(trace, kNone),
      (std::vector<ModeChange>{
          {0, kFree}, {510, kSingle}, {900, kTwo}, {1801, kSingle}, {2000, kFree}, {2501, kNone}}))
      << "pre-aircon run 500..510; second pull-in at 900; second drop-out at 1801; cool "
         "outside air at 2000; below the cooling pull-in at 2501";
  EXPECT_EQ(timedSwitches(trace),
            (std::vector<TimedSwitch>{
                {511, "ac1 on"}, {901, "ac2 on"}, {1801, "ac2 off"}, {2010, "ac1 off"}}))
      << "each unit switched once each way; unit 1 runs 10 passes into free air";
  EXPECT_EQ(fanBetween(trace, 500, 513), std::vector<float>(14, 100.0f))
      << "full fan in the pre-aircon run until the first ramp step";
  EXPECT_EQ(fanBetween(trace, 514, 541),
            (std::vector<float>{90, 90, 90, 80, 80, 80, 70, 70, 70, 60, 60, 60, 50, 50,
                                50, 40, 40, 40, 30, 30, 30, 20, 20, 20, 10, 10, 10, 0}))
      << "ramped down in single-aircon mode, one step every 3 passes";
  EXPECT_EQ(trace.fanAfter[2001], 100.0f) << "free air again at full fan";
  EXPECT_EQ(trace.fanAfter[2500], 1.0f) << "regulated down to the lowest speed";
  EXPECT_EQ(trace.fanAfter.back(), 0.0f);
}

// ---- 4. Rotation over three cooling cycles ----------------------------------------
// Single-aircon cooling without free air, rotation on. Each cycle of 600
// passes: the room warms from 26 by 0.02 per pass to 30, holds, and cools by
// 0.02 per pass to 24.02.
TEST_F(ControllerTest, Scenario4_RotationAlternatesTheUnits) {
  const int passes = 1800;
  rig.startIn(noCoolingModeState);
  ControllerSettings settings;
  settings.useFreeAir = 0;
  settings.airconRotation = 1;
  settings.apply();
  Trace trace = runScript(rig, passes, [](int pass) {
    const int q = pass % 600;
    const float internal = q < 200   ? hundredths(2600 + 2 * q)
                           : q < 300 ? 30.0f
                                     : hundredths(3000 - 2 * (q - 300));
    return std::make_pair(internal, 15.0f);
  });

  expectWellFormed(trace);
  std::vector<ModeChange> expectedModes;
  for (int cycle = 0; cycle < 3; ++cycle) {
    expectedModes.push_back({600 * cycle + 100, kSingle});  // reaches 28
    expectedModes.push_back({600 * cycle + 551, kNone});    // below 25
  }
  EXPECT_EQ(modeChanges(trace, kNone), expectedModes);
  EXPECT_EQ(timedSwitches(trace), (std::vector<TimedSwitch>{{101, "ac2 on"},
                                                            {552, "ac2 off"},
                                                            {701, "ac1 on"},
                                                            {1152, "ac1 off"},
                                                            {1301, "ac2 on"},
                                                            {1752, "ac2 off"}}))
      << "unit 2 first, then the units take turns";
  EXPECT_EQ(lastAirconOff, 2);
}

// ---- 5. Emergency, with and without the high-temperature fan band ------------------
// Single-aircon cooling at 30 with the fan left at 60 by free air; the room
// jumps to 41 at pass 100, to 46 (above the band) at 200, to 42 (below it)
// at 400, and to 35 (below the emergency drop-out) at 600. Outside air 15.
using EmergencyScenario = TableTest<ControllerTest, bool>;

TEST_P(EmergencyScenario, Scenario5_EmergencyFan) {
  const bool band = GetParam();
  const int passes = 700;
  rig.startIn(aircon1CoolingModeState);
  ControllerSettings settings;
  settings.useFanInHiTemp = band ? 1 : 0;
  settings.apply();
  ControllerRig::runningPastFirstStep(aircon1CoolingModeState);
  fanSpeedPercent = 60.0f;
  Trace trace = runScript(rig, passes, [](int pass) {
    const float internal = pass < 100   ? 30.0f
                           : pass < 200 ? 41.0f
                           : pass < 400 ? 46.0f
                           : pass < 600 ? 42.0f
                                        : 35.0f;
    return std::make_pair(internal, 15.0f);
  });

  expectWellFormed(trace);
  EXPECT_EQ(modeChanges(trace, kSingle), (std::vector<ModeChange>{{100, kEmergency}, {600, kTwo}}));
  EXPECT_EQ(timedSwitches(trace), (std::vector<TimedSwitch>{{101, "ac2 on"}}))
      << "unit 1 runs already; unit 2 joins in the second emergency pass";

  // Ramp-down from the pull-in: a step every 3 passes. With the band the
  // cool-side band state restarts the timer one pass later.
  const int firstStep = band ? 104 : 103;
  std::vector<float> expectedDown;
  for (float speed = 60.0f; speed > 0.0f; speed -= 10.0f) {
    expectedDown.insert(expectedDown.end(), 3, speed - 10.0f);
  }
  EXPECT_EQ(fanBetween(trace, 100, firstStep - 1), std::vector<float>(firstStep - 100, 60.0f));
  EXPECT_EQ(fanBetween(trace, firstStep, firstStep + 17), expectedDown)
      << "ramped down to 0 after the pull-in";
  if (band) {
    std::vector<float> expectedUp;
    for (float speed = 10.0f; speed <= 100.0f; speed += 10.0f) {
      expectedUp.insert(expectedUp.end(), 3, speed);
    }
    EXPECT_EQ(fanBetween(trace, 204, 233), expectedUp)
        << "above the band the fan ramps up to full in ten steps";
    EXPECT_EQ(fanBetween(trace, 234, 403), std::vector<float>(170, 100.0f));
    EXPECT_EQ(trace.fanAfter[404], 90.0f) << "below the band it ramps down again";
    EXPECT_EQ(trace.fanAfter[431], 0.0f) << "to 0 in ten steps";
  } else {
    EXPECT_EQ(fanBetween(trace, firstStep + 15, passes - 1),
              std::vector<float>(passes - firstStep - 15, 0.0f))
        << "without the band the fan never rises again";
  }
  EXPECT_EQ(trace.fanAfter[601], 0.0f) << "two-aircon cooling keeps the fan stopped";
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutBand, EmergencyScenario, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "WithFanBand" : "WithoutFanBand");
                         });

}  // namespace
