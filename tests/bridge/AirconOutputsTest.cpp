// The air conditioners' outputs: the logic pass by pass (decisions, the
// server's confirmations and refusals, minimum off time, start stagger,
// restarts), then the bridge driving the simulator with it.
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "BridgeFixture.h"
#include "CqTranslator.h"
#include "Globals.h"
#include "LogCapture.h"
#include "airconOutputs.h"
#include "iostub.h"
#include "monotonicClock.h"

namespace {

using Lines = std::vector<std::string>;
using Confirmed = AirconOutputs::Confirmed;

// ---- The logic, pass by pass -------------------------------------------------------

constexpr int64_t kNoRecord = std::numeric_limits<int64_t>::min();

// Per pass, what the controller asks of each unit ('+' on, '-' off, '.'
// nothing; unit 2 asks first, as in an emergency), what the server does
// ('x' refuses every send, 'L' restarted: the bridge learns it in this
// pass), and what goes out ('+' a start, '-' a stop, 'r' refused, '.'
// nothing). Both units are found at set-up in pass 0; a unit whose asked
// string is empty is not set up.
struct OutputsCase {
  const char* name;
  int64_t minimumOff;
  int64_t stagger;
  Confirmed found1;
  int64_t restingSince1;  // from a record kept across a restart, or kNoRecord
  const char* server;
  const char* asked1;
  const char* sent1;
  const char* asked2 = "";
  const char* sent2 = "";
};

class AirconOutputsTable : public ::testing::TestWithParam<OutputsCase> {};

TEST_P(AirconOutputsTable, SendsWhatIsOutOfLineWhenItMayGo) {
  const OutputsCase& c = GetParam();
  AirconOutputs outputs;
  outputs.setTiming({c.minimumOff, c.stagger});
  outputs.found(1, c.found1, 0);
  if (c.restingSince1 != kNoRecord) {
    outputs.restingSince(1, c.restingSince1);
  }
  const bool unit2 = c.asked2[0] != '\0';
  if (unit2) {
    outputs.found(2, Confirmed::Off, 0);
    outputs.restingSince(2, -c.minimumOff);
  }
  std::string sent[2];
  for (int64_t pass = 0; c.asked1[pass] != '\0'; ++pass) {
    const char asked[2] = {c.asked1[pass], unit2 ? c.asked2[pass] : '.'};
    for (int u : {1, 0}) {
      if (asked[u] != '.') {
        outputs.decide(u + 1, asked[u] == '+');
      }
    }
    if (c.server[pass] == 'L') {
      outputs.lost(pass);
    }
    std::string out = "..";
    outputs.reconcile(pass, [&](int unit, bool on) {
      const bool accepted = c.server[pass] != 'x';
      out[unit - 1] = accepted ? (on ? '+' : '-') : 'r';
      return accepted;
    });
    sent[0] += out[0];
    sent[1] += out[1];
  }
  EXPECT_EQ(sent[0], c.sent1);
  if (unit2) {
    EXPECT_EQ(sent[1], c.sent2);
  }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Table, AirconOutputsTable,
    ::testing::ValuesIn(std::vector<OutputsCase>{
        // At start-up nothing tells when a unit found off last ran: it rests
        // in full, as a hardware relay does at power-up; a record of the
        // daemon that ran before tells, and the rest left is kept.
        {"AUnitFoundOffRestsFromStartUp",             5, 0, Confirmed::Off,     kNoRecord, "........", "+.......", ".....+.."},
        {"ARecordKeepsOnlyTheRestLeft",               5, 0, Confirmed::Off,     -3,        ".....", "+....", "..+.."},
        {"AUnitFoundInNoKnownStateIsStoppedAndRests", 3, 0, Confirmed::Unknown, kNoRecord, "......", "..+...", "-..+.."},
        // A unit found running that the decision wants off stops in the
        // first pass; one the decision wants on is left alone.
        {"AUnitFoundOnIsStoppedInTheFirstPass",       5, 0, Confirmed::On,      kNoRecord, "....", "....", "-..."},
        {"AUnitFoundOnAndWantedOnGetsNothing",        5, 0, Confirmed::On,      kNoRecord, "....", "+...", "...."},
        // The minimum off time between a stop and the next start.
        {"OffMeansEveryStartGoesOut",                 0, 0, Confirmed::Off,     kNoRecord, "......", "+-+-+-", "+-+-+-"},
        {"HeldUntilTheRestIsOver",                    5, 0, Confirmed::Off,     -9,        "........", "+-+.....", "+-....+."},
        {"TakenBackDuringTheWaitIsNeverSent",         5, 0, Confirmed::Off,     -9,        "..........", "+-+.-.....", "+-........"},
        {"AskedAgainKeepsTheFirstRest",               5, 0, Confirmed::Off,     -9,        ".........", "+-+-+....", "+-....+.."},
        // A refused send is tried in every pass until it goes out; a stop
        // that did not go out starts no rest.
        {"ARefusedStartGoesOutOnceTheServerTakesIt",  5, 0, Confirmed::Off,     -9,        "xxx..", "+....", "rrr+."},
        {"TheRestCountsFromTheStopThatWentOut",       5, 0, Confirmed::Off,     -9,        ".xx.........", "+-.....+....", "+rr-....+..."},
        // After a server restart a running unit is taken as stopped then,
        // and rests before it starts again; a stopped one is cleared again.
        {"AServerRestartMakesARunningUnitRest",       5, 0, Confirmed::Off,     -9,        "..L......", "+........", "+......+."},
        {"AServerRestartClearsAStoppedUnitAgain",     5, 0, Confirmed::Off,     -9,        "....L....", "+-.......", "+-..-...."},
        // Two starts never come within the stagger: unit 2 first, as an
        // emergency asks; a start long after the other's goes at once.
        {"TheSecondStartWaitsForTheStagger",          0, 3, Confirmed::Off,     -9,        "......", "+.....", "...+..", "+.....", "+....."},
        {"AStartLongAfterTheOtherGoesAtOnce",         0, 3, Confirmed::Off,     -9,        "......", ".....+", ".....+", "+.....", "+....."},
    }),
    [](const ::testing::TestParamInfo<OutputsCase>& info) { return std::string(info.param.name); });
// clang-format on

TEST(AirconOutputs, MeasuresTheRestAcrossAClockWrap) {
  AirconOutputs outputs;
  outputs.setTiming({10, 0});
  outputs.found(1, Confirmed::On, INT64_MAX - 5);
  outputs.decide(1, false);
  ASSERT_EQ(outputs.due(1, INT64_MAX - 3), AirconOutputs::Send::Stop);
  outputs.sent(1, AirconOutputs::Send::Stop, true, INT64_MAX - 3);
  outputs.decide(1, true);
  EXPECT_EQ(outputs.startHold(1, INT64_MIN + 2), AirconOutputs::Hold::MinimumOff);
  EXPECT_EQ(outputs.restLeft(1, INT64_MIN + 2), 4);
  EXPECT_EQ(outputs.due(1, INT64_MIN + 6), AirconOutputs::Send::Start);
}

// ---- In the bridge ------------------------------------------------------------------

constexpr int64_t kOneHour = 3600LL * 1000000000;

class BridgeAirconOutputs : public BridgeTest {
 protected:
  void SetUp() override {
    BridgeTest::SetUp();
    setUpProbes("probe-int", "probe-ext");
    ASSERT_TRUE(setupAircon("ac1", 1));
    translator.setAirconTiming(kOneHour, 0);
    // On, then off: the output's rest starts now.
    switchAircon(1, 1, 0);
    switchAircon(1, 0, 0);
    syncWithServer();
    ASSERT_EQ(serverState("ac1"), "CLEAR");
  }
  // The rest is over: nothing else in these tests waits for a clock.
  static void restIsOver() { translator.setAirconTiming(1, 0); }
  static bool startHeld() {
    return translator.getAirconOutputs().startHold(1, monotonicNanoseconds()) !=
           AirconOutputs::Hold::None;
  }
};

TEST_F(BridgeAirconOutputs, AStartIsHeldThenSentInTheFirstPassAfterTheRest) {
  const long sentBefore = sim().setCount("ac1");
  LogCapture log;
  switchAircon(1, 1, 0);
  EXPECT_EQ(log.take(), Lines{"aircon 1 start held 3600.0 s: minimum off time"});
  EXPECT_EQ(aircon1, 1) << "the controller's record keeps its decision";
  EXPECT_EQ(translator.getAirconFromNumber(1)->getOnOffStatus(), aircon::OFF);
  EXPECT_TRUE(startHeld());
  translator.reconcileOutputs();
  EXPECT_EQ(log.take(), Lines{}) << "a held start is logged once";
  // Polling re-asserts only what the server confirmed and the controller
  // still wants: not the stop, not the held start.
  EXPECT_TRUE(translator.updateValues());
  syncWithServer();
  EXPECT_EQ(serverState("ac1"), "CLEAR");
  EXPECT_EQ(sim().setCount("ac1"), sentBefore);

  restIsOver();
  translator.reconcileOutputs();
  syncWithServer();
  EXPECT_EQ(serverState("ac1"), "SET");
  EXPECT_FALSE(startHeld());
  EXPECT_EQ(translator.getAirconFromNumber(1)->getOnOffStatus(), aircon::ON);
  translator.reconcileOutputs();
  syncWithServer();
  EXPECT_EQ(sim().setCount("ac1"), sentBefore + 1) << "sent once";
}

TEST_F(BridgeAirconOutputs, AStartTakenBackBeforeTheRestIsOverIsNeverSent) {
  const long sentBefore = sim().setCount("ac1");
  switchAircon(1, 1, 0);
  LogCapture log;
  switchAircon(1, 0, 0);
  EXPECT_EQ(log.take(), (Lines{"aircon 1 start dropped: switched off again before it went out",
                               "attempt to set aicon 1 to a state it is already in"}));
  EXPECT_EQ(aircon1, 0);
  restIsOver();
  translator.reconcileOutputs();
  syncWithServer();
  EXPECT_EQ(sim().setCount("ac1"), sentBefore);
  EXPECT_EQ(serverState("ac1"), "CLEAR");
}

// A state other than off and on, and the toggle, go through the same hold.
TEST_F(BridgeAirconOutputs, NeitherAnOddStateNorTheToggleBypassesTheHold) {
  const long sentBefore = sim().setCount("ac1");
  LogCapture log;
  switchAircon(1, 7, 0);
  EXPECT_EQ(log.take(), Lines{"aircon 1: state 7 is neither 0 (off) nor 1 (on); nothing sent"});
  translator.switchAircon(translator.getFirstAircon());
  EXPECT_TRUE(startHeld());
  syncWithServer();
  EXPECT_EQ(sim().setCount("ac1"), sentBefore);
  EXPECT_EQ(serverState("ac1"), "CLEAR");
}

}  // namespace
