// Test harness for the cooling controller.
//
// The controller is a set of plain functions over process-wide variables, so
// the harness drives it exactly as the main loop does: set the temperatures,
// then per pass flagChecker() followed by whichCooloingMode(), with no
// sleeping. What the controller commanded is observed in two ways:
//
//  * its variables, read directly, and
//  * the switch and fan calls, through the real bridge. The test program
//    starts vulosim on tests/data/controller-site.xml before the process-wide
//    translator is built (FRIGEL_EARLY_SITE in Site.cpp); the rig sets up both
//    air-conditioner outputs and the fan through the flat calls setupAircon()
//    and setupFan() and captures the bridge's own "CqTranslator" log lines.
//    Each pass yields the actuations it caused, in order (see Actuations).
//    Nothing in the controller's call path is replaced or hooked.
//
// Resetting. reset() puts every controller variable back to its start value
// and the bridge records back to OFF, except the controller's private
// first-pass marker, which nothing outside the controller can reach. That
// marker is 1 only until the first whichCooloingMode() call of a process:
//
//  * Tests of the first-pass selection begin with FRIGEL_NEEDS_FRESH_CONTROLLER().
//    If no pass has run in this process yet (the usual case under ctest,
//    which runs every test in a process of its own), the test simply goes on.
//    Otherwise the test re-runs itself in a fresh process of this same
//    program (/proc/self/exe --gtest_filter=<this test>), in which static
//    initialisation, the simulator and the controller state are all new; the
//    parent waits for it and reports the child's failures as its own.
//  * All other tests call startIn(mode). If the first pass is still due, the
//    rig spends it on a priming pass whose settings lead to no cooling, then
//    resets everything; from there a test starts in the mode it names.
//
// Every controller pass in the test program must go through the rig, so that
// it knows whether the first pass has been spent.
#ifndef FRIGEL_TESTS_CONTROLLERRIG_H
#define FRIGEL_TESTS_CONTROLLERRIG_H

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <cObject.h>
#include <gtest/gtest.h>

#include <ostream>

#include "Globals.h"
#include "controllerSnapshot.h"
#include "frigel.h"
#include "LogCapture.h"
#include "supervisorLog.h"

// The actuations of one pass, in the order the bridge logged them:
//   "ac1 on", "ac2 off"  the bridge switched the unit and sent it
//   "ac1 on (unsent)"    a switch was logged without "Aircon Switched"
//   "ac1 refused"        the bridge refused: its record is in that state already
//   "ac3 absent"         the unit is not set up
//   "fan 100"            a fan write, the value printed with %g
using Actuations = std::vector<std::string>;

// The modes, for short in tables.
const auto kNone = noCoolingModeState;
const auto kFree = freeAirCoolingModeState;
const auto kSingle = aircon1CoolingModeState;
const auto kTwo = aircon2CoolingModeState;
const auto kEmergency = emergencyCoolingModeState;

// A temperature probe's reading when it has none.
const float kNaN = std::numeric_limits<float>::quiet_NaN();

// The options most tables vary from row to row.
struct Units {
  uint8_t numberOfAircons;
  uint8_t useFreeAir;
};

// A plausible site: thresholds in degrees Celsius, durations in passes.
// Tests change the fields they are about and call apply(). Every setting
// of the controller is a field; those the constructor does not set are 0.
struct ControllerSettings {
#define FRIGEL_RIG_SETTING(type, name) type name{};
  FRIGEL_CONTROLLER_SETTINGS(FRIGEL_RIG_SETTING)
#undef FRIGEL_RIG_SETTING

  ControllerSettings();
  // Writes every field into the controller's settings.
  void apply() const;
  // Takes a row's units and free-air option, then apply().
  void apply(const Units& units);
};

class ControllerRig {
 public:
  // The one rig of the test program; the first call sets up the bridge.
  static ControllerRig& instance();

  // True when the simulator came up and all three outputs were set up.
  bool bridgeReady() const { return mBridgeReady; }
  const std::string& bridgeProblem() const { return mBridgeProblem; }

  // True until the first controller pass of this process.
  static bool firstPassDue() { return passesRun() == 0; }
  static long passesRun();

  // Every controller variable (first-pass marker excepted) to its start
  // value, both bridge records OFF with their outputs connected, captured
  // lines dropped.
  void reset();
  // reset(), spending the first pass first if it is still due, then
  // coolState = mode. Settings are all 0 afterwards: apply some.
  void startIn(eCoolingModeState mode);

  // Temperature copies as the main loop makes them.
  static void setTemperatures(float internalCelsius, float externalCelsius);

  // One pass: flagChecker(), whichCooloingMode(). Returns its actuations.
  Actuations pass();
  // `count` passes; their actuations, one entry per pass.
  std::vector<Actuations> passes(int count);

  // `count` passes; the value of `variable` after each.
  template <typename T>
  std::vector<T> watch(int count, const T& variable) {
    std::vector<T> values;
    for (int i = 0; i < count; ++i) {
      pass();
      values.push_back(variable);
    }
    return values;
  }

  // The actuations logged since the last pass or take, e.g. after calling a
  // role operation directly.
  Actuations takeActuations();

  // Puts `mode` past its first step with the units it runs: unit 1 in
  // single-aircon cooling, both in two-aircon and emergency cooling.
  static void runningPastFirstStep(eCoolingModeState mode);

  // Records unit 1 or 2 as on, in the controller and in the bridge record
  // alike, as if it had been switched on earlier.
  static void markUnitOn(int unit);

  // Disconnects the outputs from the bridge records (so a pass causes no
  // traffic and only "ac<n> absent" lines), for long runs that observe the
  // variables only; reset() connects them again.
  void detachOutputs();

 private:
  ControllerRig();

  LogCapture mBridgeLog;
  bool mBridgeReady = false;
  std::string mBridgeProblem;
  // The output ports found at set-up, put back by reset().
  cObjectDOutput* mAircon1Port = nullptr;
  cObjectDOutput* mAircon2Port = nullptr;
  cObjectAOutput* mFanPort = nullptr;
};

// The actuation entry of a fan write of `percent`.
std::string fanEntry(float percent);

// The switch entries of `all` (fan writes left out).
Actuations switchesOnly(const Actuations& all);
// The fan writes of each pass, one per pass ("" for a pass without one).
std::vector<std::string> lastFanWrites(const std::vector<Actuations>& passes);

void PrintTo(eCoolingModeState mode, std::ostream* out);

// Names each row of a table of parameterised cases by its `name` field, so
// that test names are readable and the same from run to run.
struct RowName {
  template <typename Row>
  std::string operator()(const ::testing::TestParamInfo<Row>& info) const {
    return info.param.name;
  }
};

// Base of the controller tests: the bridge must be up.
class ControllerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(rig.bridgeReady()) << rig.bridgeProblem(); }
  ControllerRig& rig = ControllerRig::instance();
};

// Base of the tests of one mode: the rig started in `Mode`, the plausible
// settings applied.
template <eCoolingModeState Mode>
class ModeTest : public ControllerTest {
 protected:
  void SetUp() override {
    ControllerTest::SetUp();
    rig.startIn(Mode);
    settings.apply();
  }
  // Past the mode's first step, its units running (see runningPastFirstStep);
  // in single- and two-aircon cooling, with `minimumRunOver`, also past the
  // minimum run time of the unit the mode started.
  static void running(bool minimumRunOver = false) {
    ControllerRig::runningPastFirstStep(Mode);
    if (minimumRunOver) {
      (Mode == aircon1CoolingModeState ? aircon1MinimumTimeOutFlag : aircon2MinimumTimeOutFlag) =
          set;
    }
  }
  ControllerSettings settings;
};

// A row of a table of hand-overs: in the mode under test, with these units
// and temperatures, the mode that comes next.
struct HandOverCase {
  const char* name;
  Units units;
  float internal;
  eCoolingModeState next;
  float external = 15.0f;  // unless the row says otherwise
};

// A parameterised test over a table of `Case` rows on the fixture `Base`;
// `row` is the row of the running test.
template <typename Base, typename Case>
class TableTest : public Base, public ::testing::WithParamInterface<Case> {
 protected:
  const Case& row = this->GetParam();
};

// A table of hand-overs out of `Mode`: the row's units are applied and its
// temperatures set before the test.
template <eCoolingModeState Mode>
class HandOverTest : public TableTest<ModeTest<Mode>, HandOverCase> {
 protected:
  void SetUp() override {
    ModeTest<Mode>::SetUp();
    this->settings.apply(this->row.units);
    ControllerRig::setTemperatures(this->row.internal, this->row.external);
  }
};

// Runs the current test in a fresh process when a controller pass has
// already run in this one. True in the parent, which must then return.
bool rerunInFreshProcess();

#define FRIGEL_NEEDS_FRESH_CONTROLLER() \
  do {                                  \
    if (rerunInFreshProcess()) {        \
      return;                           \
    }                                   \
  } while (false)

#endif
