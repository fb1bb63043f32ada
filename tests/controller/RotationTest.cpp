// The four role operations: which physical unit holds the first and the
// second role, switching only on a change, and rotation of the first role.
#include <gtest/gtest.h>

#include <string>

#include "ControllerRig.h"
#include "frigel.h"

namespace {

struct RoleCase {
  const char* name;
  uint8_t numberOfAircons;
  uint8_t airconRotation;
  uint8_t lastAirconOff;
  int firstUnit;
  int secondUnit;
};

class RoleMappingTest : public TableTest<ControllerTest, RoleCase> {
 protected:
  void SetUp() override {
    ControllerTest::SetUp();
    rig.startIn(noCoolingModeState);
    numberOfAircons = row.numberOfAircons;
    airconRotation = row.airconRotation;
    lastAirconOff = row.lastAirconOff;
  }
  // What `operation` switched.
  Actuations after(void (*operation)()) {
    operation();
    return rig.takeActuations();
  }
  // The switch of the unit in the first or the second role to `state`.
  Actuations first(const char* state) const { return {unit(row.firstUnit, state)}; }
  Actuations second(const char* state) const { return {unit(row.secondUnit, state)}; }
  static std::string unit(int number, const char* state) {
    return "ac" + std::to_string(number) + " " + state;
  }
};

// Switching on never moves the roles; switching off the second role neither.
TEST_P(RoleMappingTest, OperationsActOnTheMappedUnits) {
  EXPECT_EQ(after(turnOnFirstAircon), first("on"));
  EXPECT_EQ(after(turnOnSecondAircon), second("on"));
  EXPECT_EQ(after(turnOffSecondAircon), second("off"));
  EXPECT_EQ(lastAirconOff, row.lastAirconOff);
  EXPECT_EQ(aircon1 + aircon2, 1);
}

// Switching off the first role records the unit it switched off.
TEST_P(RoleMappingTest, TurningOffTheFirstRecordsItsUnit) {
  after(turnOnFirstAircon);
  EXPECT_EQ(after(turnOffFirstAircon), first("off"));
  EXPECT_EQ(lastAirconOff, row.firstUnit);
  EXPECT_EQ(aircon1 + aircon2, 0);
}

// A unit already in the wanted state is left alone: no call, no record.
TEST_P(RoleMappingTest, NothingHappensWhenTheUnitIsAlreadyThere) {
  turnOffFirstAircon();
  EXPECT_EQ(after(turnOffSecondAircon), Actuations{});
  EXPECT_EQ(lastAirconOff, row.lastAirconOff);
  turnOnFirstAircon();
  EXPECT_EQ(after(turnOnFirstAircon), first("on"));
}

INSTANTIATE_TEST_SUITE_P(Table, RoleMappingTest,
                         ::testing::Values(RoleCase{"OneUnitRotating", 1, 1, 0, 1, 2},
                                           RoleCase{"OneUnitRotatingAfterUnit1", 1, 1, 1, 1, 2},
                                           RoleCase{"TwoUnitsFixed", 2, 0, 0, 1, 2},
                                           RoleCase{"TwoUnitsFixedAfterUnit1", 2, 0, 1, 1, 2},
                                           RoleCase{"TwoUnitsRotatingAtStart", 2, 1, 0, 2, 1},
                                           RoleCase{"TwoUnitsRotatingAfterUnit2", 2, 1, 2, 1, 2},
                                           RoleCase{"TwoUnitsRotatingAfterUnit1", 2, 1, 1, 2, 1},
                                           RoleCase{"RotationByte255", 2, 255, 1, 2, 1},
                                           RoleCase{"NoUnitsRotating", 0, 1, 0, 2, 1},
                                           RoleCase{"ThreeUnitsRotating", 3, 1, 1, 2, 1}),
                         RowName());

class RotationTest : public ControllerTest {
 protected:
  void SetUp() override {
    ControllerTest::SetUp();
    rig.startIn(noCoolingModeState);
    numberOfAircons = 2;
    airconRotation = 1;
  }
};

// Switching off the first unit hands the first role to the unit still
// running, so a following turnOffSecondAircon finds its unit already off.
TEST_F(RotationTest, RunningSecondUnitTakesTheFirstRoleAtOnce) {
  ControllerRig::markUnitOn(1);
  ControllerRig::markUnitOn(2);
  turnOffFirstAircon();
  turnOffSecondAircon();
  EXPECT_EQ(rig.takeActuations(), Actuations{"ac2 off"});
  EXPECT_EQ(lastAirconOff, 2);
  EXPECT_EQ(aircon1, 1) << "unit 1 runs on until the next turnOffFirstAircon";
  turnOffFirstAircon();
  EXPECT_EQ(rig.takeActuations(), Actuations{"ac1 off"});
  EXPECT_EQ(lastAirconOff, 1);
}

TEST_F(RotationTest, OneUnitKeepsItsRoleWhenTheSecondIsSwitchedOff) {
  numberOfAircons = 1;
  turnOnFirstAircon();
  turnOffSecondAircon();
  EXPECT_EQ(rig.takeActuations(), Actuations{"ac1 on"});
  EXPECT_EQ(aircon1, 1);
}

// Each switch-off of the first unit gives the first role to the other unit.
TEST_F(RotationTest, FirstRoleAlternatesWithEachSwitchOff) {
  Actuations all;
  for (int cycle = 0; cycle < 4; ++cycle) {
    turnOnFirstAircon();
    turnOffFirstAircon();
    Actuations one = rig.takeActuations();
    all.insert(all.end(), one.begin(), one.end());
  }
  EXPECT_EQ(all, (Actuations{"ac2 on", "ac2 off", "ac1 on", "ac1 off", "ac2 on", "ac2 off",
                             "ac1 on", "ac1 off"}));
}

}  // namespace
