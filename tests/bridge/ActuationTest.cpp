// Switching the air conditioners and setting the fan, seen at the server.
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "BridgeFixture.h"
#include "CqTranslator.h"
#include "Globals.h"
#include "LogCapture.h"
#include "iostub.h"

namespace {

using Lines = std::vector<std::string>;
using BridgeActuation = BridgeTest;

// A unit set up by label, decided off and off at the server, as after a
// start-up in a cool room.
aircon* freshUnit(int number, const char* label) {
  EXPECT_TRUE(setupAircon(label, number));
  translator.switchAirconNoncurrentStateBased(static_cast<uint8_t>(number), 0, 0);
  return translator.getAirconFromNumber(number);
}

TEST_F(BridgeActuation, UnitIsSwitchedOnlyOnAChangeOfState) {
  aircon* unit = freshUnit(1, "ac1");
  ASSERT_NE(unit, nullptr);
  aircon1 = 0;
  const long sentBefore = sim().setCount("ac1");
  LogCapture log;

  switchAircon(1, 1, 0);
  EXPECT_EQ(aircon1, 1);
  EXPECT_EQ(log.take(), (Lines{"changing aircon 1 output from OFF to ON", "Aircon Switched"}));
  EXPECT_EQ(unit->getOnOffStatus(), aircon::ON);
  EXPECT_EQ(unit->getControlPort()->getOutputState(), OBJ_IO_STATE_SET);
  syncWithServer();
  EXPECT_EQ(sim().setCount("ac1"), sentBefore + 1);
  EXPECT_EQ(serverState("ac1"), "SET");

  switchAircon(1, 1, 0);
  EXPECT_EQ(aircon1, 1);
  EXPECT_EQ(log.take(), Lines{"attempt to set aicon 1 to a state it is already in"});
  syncWithServer();
  EXPECT_EQ(sim().setCount("ac1"), sentBefore + 1);

  switchAircon(1, 0, 0);
  EXPECT_EQ(aircon1, 0);
  EXPECT_EQ(log.take(), (Lines{"changing aircon 1 output from ON to OFF", "Aircon Switched"}));
  EXPECT_EQ(unit->getOnOffStatus(), aircon::OFF);
  syncWithServer();
  EXPECT_EQ(sim().setCount("ac1"), sentBefore + 2);
  EXPECT_EQ(serverState("ac1"), "CLEAR");
}

TEST_F(BridgeActuation, SwitchingOffAUnitThatIsOffSendsNothing) {
  ASSERT_NE(freshUnit(2, "ac2"), nullptr);
  aircon2 = 1;
  const long sentBefore = sim().setCount("ac2");
  LogCapture log;
  switchAircon(2, 0, 0);
  EXPECT_EQ(aircon2, 0);
  EXPECT_EQ(log.take(), Lines{"attempt to set aicon 2 to a state it is already in"});
  syncWithServer();
  EXPECT_EQ(sim().setCount("ac2"), sentBefore);
}

TEST_F(BridgeActuation, UnitsThatCannotBeDrivenAreSkipped) {
  aircon1 = 0;
  aircon2 = 0;
  LogCapture log;
  switchAircon(3, 1, 0);
  EXPECT_EQ(aircon1, 0);
  EXPECT_EQ(aircon2, 0);
  EXPECT_EQ(log.take(), Lines{"Aircon 3 not setup correctly or not present"});

  // Set-up failed: the record has no port. The controller's variable moves.
  ASSERT_FALSE(setupAircon("no-such-label", 1));
  log.clear();
  const long sentBefore = sim().setCount("ac1");
  switchAircon(1, 1, 0);
  EXPECT_EQ(aircon1, 1);
  EXPECT_EQ(log.take(), Lines{"Aircon 1 not setup correctly or not present"});

  // Never set up: no record at all.
  aircon* second = translator.getSecondAircon();
  translator.setSecondAircon(nullptr);
  switchAircon(2, 1, 0);
  translator.setSecondAircon(second);
  EXPECT_EQ(aircon2, 1);
  EXPECT_EQ(log.take(), Lines{"Aircon 2 not setup correctly or not present"});

  syncWithServer();
  EXPECT_EQ(sim().setCount("ac1"), sentBefore);
  EXPECT_TRUE(setupAircon("ac1", 1));
}

// The toggle decides the opposite of the cached output state, and the
// decision goes out as any switch does.
TEST_F(BridgeActuation, ToggleDecidesTheOppositeOfTheCachedState) {
  aircon* unit = freshUnit(1, "ac1");
  ASSERT_NE(unit, nullptr);
  cObjectDOutput* cached = unit->getControlPort();
  LogCapture log;

  translator.switchAircon(unit);
  EXPECT_EQ(log.take(), (Lines{"changing aircon 0 output from CLEAR to SET",
                               "changing aircon 1 output from OFF to ON", "Aircon Switched"}));
  EXPECT_EQ(cached->getOutputState(), OBJ_IO_STATE_SET);
  EXPECT_EQ(unit->getOnOffStatus(), aircon::ON);
  syncWithServer();
  EXPECT_EQ(serverState("ac1"), "SET");

  translator.switchAircon(unit);
  EXPECT_EQ(log.take(), (Lines{"changing aircon 0 output from SET to CLEAR",
                               "changing aircon 1 output from ON to OFF", "Aircon Switched"}));
  EXPECT_EQ(cached->getOutputState(), OBJ_IO_STATE_CLEAR);
  syncWithServer();
  EXPECT_EQ(serverState("ac1"), "CLEAR");

  aircon withoutPort;
  translator.switchAircon(&withoutPort);
  translator.switchAircon(nullptr);
  EXPECT_TRUE(log.take().empty());
}

TEST_F(BridgeActuation, FanGetsTheControllersSpeedAndItsInverse) {
  ASSERT_TRUE(setupFan("fan"));
  cObjectAOutput* cached = translator.getFan()->getControlPort();
  fanSpeedPercent = 42.5f;
  LogCapture log;
  setFan(7.0f);  // the argument is not what is sent
  EXPECT_EQ(log.take(), Lines{"Fan set to: 42.500000"});
  EXPECT_FLOAT_EQ(cached->getOutputValue(), 42.5f);
  syncWithServer();
  EXPECT_FLOAT_EQ(serverValue("fan"), 42.5f);

  setFanInverted(30.0f);
  EXPECT_FLOAT_EQ(cached->getOutputValue(), 70.0f);
  syncWithServer();
  EXPECT_FLOAT_EQ(serverValue("fan"), 70.0f);
}

std::size_t limitLines(const LogCapture& log) {
  std::size_t n = 0;
  for (const LogEntry& e : log.entries()) {
    if (e.priority == 600 && e.message.rfind("Fan value", 0) == 0) {
      ++n;
    }
  }
  return n;
}

TEST_F(BridgeActuation, FanNeverGetsAValueOutsideZeroToHundred) {
  ASSERT_TRUE(setupFan("fan"));
  cObjectAOutput* cached = translator.getFan()->getControlPort();
  translator.setFanValue(50.0f);  // in range: forgets any earlier limiting
  LogCapture log;

  translator.setFanValue(150.0f);
  EXPECT_TRUE(log.contains("Fan value 150.000000 is outside 0 to 100; sending 100.000000"));
  EXPECT_TRUE(log.contains("Fan set to: 100.000000"));
  EXPECT_FLOAT_EQ(cached->getOutputValue(), 100.0f);
  syncWithServer();
  EXPECT_FLOAT_EQ(serverValue("fan"), 100.0f);

  // The same out-of-range value on every pass is reported once.
  translator.setFanValue(150.0f);
  translator.setFanValue(150.0f);
  EXPECT_EQ(limitLines(log), 1u);

  translator.setFanValue(-5.0f);
  EXPECT_EQ(limitLines(log), 2u);
  EXPECT_FLOAT_EQ(cached->getOutputValue(), 0.0f);

  translator.setFanValue(NAN);
  translator.setFanValue(NAN);
  EXPECT_EQ(limitLines(log), 3u);
  EXPECT_TRUE(log.contains("Fan value is not a number; sending 0.000000"));
  EXPECT_FLOAT_EQ(cached->getOutputValue(), 0.0f);
  translator.setFanValue(60.0f);
  syncWithServer();
  EXPECT_FLOAT_EQ(serverValue("fan"), 60.0f);
  translator.setFanValue(NAN);
  syncWithServer();
  EXPECT_FLOAT_EQ(serverValue("fan"), 0.0f);
  EXPECT_EQ(limitLines(log), 4u);

  // The controller's own speed stays as it computed it.
  fanSpeedPercent = 130.0f;
  setFan(0.0f);
  EXPECT_FLOAT_EQ(fanSpeedPercent, 130.0f);
  EXPECT_FLOAT_EQ(cached->getOutputValue(), 100.0f);
  setFanInverted(-20.0f);  // 120
  EXPECT_FLOAT_EQ(cached->getOutputValue(), 100.0f);
}

TEST_F(BridgeActuation, FanThatIsNotSetUpIsSkippedSilently) {
  ASSERT_TRUE(setupFan("fan"));
  const long sentBefore = sim().setCount("fan");
  Fan* fan = translator.getFan();
  LogCapture log;
  translator.setFan(nullptr);
  setFan(10.0f);
  setFanInverted(10.0f);
  translator.setFan(fan);

  ASSERT_FALSE(setupFan("no-such-label"));
  setFan(10.0f);
  setFanInverted(10.0f);
  EXPECT_TRUE(log.messages().empty());
  syncWithServer();
  EXPECT_EQ(sim().setCount("fan"), sentBefore);
  EXPECT_TRUE(setupFan("fan"));
}

}  // namespace
