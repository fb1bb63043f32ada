// Test harness for the cooling controller.
//
// The controller is a set of plain functions over process-wide variables, so
// the harness drives it exactly as the main loop does: set the temperatures,
// then one control pass at a time (runControlPass: the timers, the
// controller's step, the outputs brought in line), with no sleeping. What the controller commanded
// is observed in two ways:
//
//  * its variables, read directly, and
//  * the switch and fan calls it made, recorded where they leave the
//    controller (FlatCallRecorder, in place of the bridge's flat calls), each
//    switch passed through the bridge's own output logic. Each pass yields
//    the actuations it caused, in order (see Actuations).
//
// A fresh start is the controller's state at start-up, first-pass marker
// included (restoreControllerState of a default snapshot).
#ifndef FRIGEL_TESTS_CONTROLLERRIG_H
#define FRIGEL_TESTS_CONTROLLERRIG_H

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <ostream>

#include "Globals.h"
#include "controllerSnapshot.h"
#include "controllerVariables.h"
#include "frigel.h"
#include "coolingModes.h"

// The actuations of one pass, in the order they were made:
//   "ac1 on", "ac2 off"  the unit was switched and the send went out
//   "ac1 held"           a start waits for the minimum off time
//   "ac1 refused"        the output is in that state already: nothing sent
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
struct ControllerSettings : ControllerSettingValues {
  ControllerSettings();
  // Writes every field into the controller's settings.
  using ControllerSettingValues::apply;
  // Takes a row's units and free-air option, then apply().
  void apply(const Units& units);
};

class ControllerRig {
 public:
  // The one rig of the test program.
  static ControllerRig& instance();

  // The controller at start-up (its first pass due, settings all 0), both
  // outputs set up, off and rested, nothing recorded.
  void startFresh();
  // Every controller variable to its start value except the first-pass
  // marker, which says the first pass is over; both outputs as in
  // startFresh(). Then coolState = mode. Settings are all 0: apply some.
  void startIn(eCoolingModeState mode);
  // Temperature copies as the main loop makes them.
  static void setTemperatures(float internalCelsius, float externalCelsius);
  // One control pass. Returns its actuations.
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
  // The actuations made since the last pass or take, e.g. after calling a
  // role operation directly.
  Actuations takeActuations();
  // Puts `mode` past its first step with the units it runs: unit 1 in
  // single-aircon cooling, both in two-aircon and emergency cooling.
  static void runningPastFirstStep(eCoolingModeState mode);
  // Records unit 1 or 2 as on, in the controller and at its output alike,
  // as if it had been switched on earlier.
  static void markUnitOn(int unit);
  // No output is set up any more (a pass records only "ac<n> absent"), for
  // long runs that observe the variables only; the next start sets them up
  // again.
  void detachOutputs();

 private:
  ControllerRig();
  Actuations mActuations;
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

// Base of the controller tests.
class ControllerTest : public ::testing::Test {
 protected:
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

#endif
