// The minimum off time of an air conditioner's output: the hold logic on a
// clock of passes, then the bridge holding, releasing and dropping starts
// at the server.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "BridgeFixture.h"
#include "CqTranslator.h"
#include "Globals.h"
#include "LogCapture.h"
#include "iostub.h"
#include "minimumOffTime.h"

namespace {

using Lines = std::vector<std::string>;

// ---- The hold logic, pass by pass ------------------------------------------------

// What the controller asks of one output at each pass, '+' on, '-' off, '.'
// nothing; and what goes out: '+' a start, '-' a stop, '.' nothing.
struct HoldCase {
  const char* name;
  int64_t minimumOff;
  const char* asked;
  const char* sent;
};

class MinimumOffTimeTable : public ::testing::TestWithParam<HoldCase> {};

// Drives the hold as the bridge does: the controller's request first, then,
// after the controller's step, the release of a held start.
TEST_P(MinimumOffTimeTable, NoOutputRestsLessThanTheMinimum) {
  const HoldCase& c = GetParam();
  MinimumOffTime hold(c.minimumOff);
  bool sentOn = false;
  std::string sent;
  for (int64_t pass = 0; c.asked[pass] != '\0'; ++pass) {
    char out = '.';
    const char asked = c.asked[pass];
    if (asked != '.' &&
        hold.request(asked == '+', sentOn, pass) == MinimumOffTime::Decision::Send) {
      sentOn = asked == '+';
      out = asked;
    }
    if (hold.releaseDue(pass)) {
      sentOn = true;
      out = '+';
    }
    sent += out;
  }
  EXPECT_EQ(sent, c.sent);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MinimumOffTimeTable,
    ::testing::Values(
        // The first start after the daemon starts has no rest to keep.
        HoldCase{"FirstStartGoesOutAtOnce", 5, "+.....", "+....."},
        HoldCase{"OffMeansEveryStartGoesOut", 0, "+-+-+-", "+-+-+-"},
        // Off at pass 1: a start asked at pass 3 goes out at pass 6.
        HoldCase{"HeldUntilTheRestIsOver", 5, "+-+.....", "+-....+."},
        HoldCase{"AStartAfterTheRestGoesOutAtOnce", 3, "+-...+", "+-...+"},
        HoldCase{"TakenBackDuringTheWaitIsNeverSent", 5, "+-+.-.....", "+-........"},
        // Taken back and asked again: the rest still counts from the stop.
        HoldCase{"AskedAgainKeepsTheFirstRest", 5, "+-+-+....", "+-....+.."},
        HoldCase{"ARestOfOnePass", 1, "+-+-+", "+-+-+"}),
    [](const ::testing::TestParamInfo<HoldCase>& info) { return std::string(info.param.name); });

TEST(MinimumOffTime, MeasuresTheRestAcrossAClockWrap) {
  MinimumOffTime hold(10);
  ASSERT_EQ(hold.request(false, true, INT64_MAX - 3), MinimumOffTime::Decision::Send);
  EXPECT_EQ(hold.request(true, false, INT64_MIN + 2), MinimumOffTime::Decision::Held);
  EXPECT_EQ(hold.restLeft(INT64_MIN + 2), 4);
  EXPECT_TRUE(hold.releaseDue(INT64_MIN + 6));
}

// ---- In the bridge ------------------------------------------------------------------

constexpr int64_t kOneHour = 3600LL * 1000000000;

class BridgeMinimumOffTime : public BridgeTest {
 protected:
  void SetUp() override {
    BridgeTest::SetUp();
    setUpProbes("probe-int", "probe-ext");
    ASSERT_TRUE(setupAircon("ac1", 1));
    translator.getAirconFromNumber(1)->setOnOffStatus(aircon::OFF);
    aircon1 = 0;
    translator.setAirconMinimumOffNanoseconds(kOneHour);
    // On, then off: the output's rest starts now.
    switchAircon(1, 1, 0);
    switchAircon(1, 0, 0);
    syncWithServer();
    ASSERT_EQ(serverState("ac1"), "CLEAR");
  }
  void TearDown() override {
    switchAircon(1, 0, 0);
    translator.setAirconMinimumOffNanoseconds(0);
  }
  // The rest is over: nothing else in these tests waits for a clock.
  static void restIsOver() { translator.setAirconMinimumOffNanoseconds(1); }
};

TEST_F(BridgeMinimumOffTime, AStartIsHeldThenSentInTheFirstPassAfterTheRest) {
  const long sentBefore = sim().setCount("ac1");
  LogCapture log;
  switchAircon(1, 1, 0);
  EXPECT_EQ(log.take(), Lines{"aircon 1 start held 3600.0 s: minimum off time"});
  EXPECT_EQ(aircon1, 1) << "the controller's record keeps its decision";
  EXPECT_EQ(translator.getAirconFromNumber(1)->getOnOffStatus(), aircon::OFF);
  EXPECT_TRUE(translator.isAirconStartHeld(1));
  EXPECT_FALSE(translator.isAirconOutputOn(1));
  translator.releaseHeldStarts();
  // Polling re-asserts what was really sent, never the held start.
  EXPECT_TRUE(translator.updateValues());
  syncWithServer();
  EXPECT_EQ(serverState("ac1"), "CLEAR");

  restIsOver();
  translator.releaseHeldStarts();
  syncWithServer();
  EXPECT_EQ(serverState("ac1"), "SET");
  EXPECT_FALSE(translator.isAirconStartHeld(1));
  EXPECT_TRUE(translator.isAirconOutputOn(1));
  EXPECT_EQ(sim().setCount("ac1"), sentBefore + 2);  // the poll's CLEAR, then the start
  translator.releaseHeldStarts();
  syncWithServer();
  EXPECT_EQ(sim().setCount("ac1"), sentBefore + 2) << "released once";
}

TEST_F(BridgeMinimumOffTime, AStartTakenBackBeforeTheRestIsOverIsNeverSent) {
  const long sentBefore = sim().setCount("ac1");
  switchAircon(1, 1, 0);
  LogCapture log;
  switchAircon(1, 0, 0);
  EXPECT_EQ(log.take(), (Lines{"aircon 1 start dropped: switched off again before its minimum off "
                               "time",
                               "attempt to set aicon 1 to a state it is already in"}));
  EXPECT_EQ(aircon1, 0);
  restIsOver();
  translator.releaseHeldStarts();
  syncWithServer();
  EXPECT_EQ(sim().setCount("ac1"), sentBefore);
  EXPECT_EQ(serverState("ac1"), "CLEAR");
}

}  // namespace
