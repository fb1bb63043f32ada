// Trend events pushed by the real simulator, end to end.
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "BridgeFixture.h"
#include "CqTranslator.h"
#include "LogCapture.h"
#include "iostub.h"

namespace {

const char* const kTaken = "new trend value gotten. Run algorithm";
const char* const kDropped = "seq num same so returning";

// The internal and the external probe's values.
using Probes = std::pair<float, float>;
Probes probeValues() {
  return {translator.getInternalProbe()->getCalculatedValue(),
          translator.getExternalProbe()->getCalculatedValue()};
}

// Both probes set up on their own ports, and their values before the test.
class BridgeTrend : public BridgeTest {
 protected:
  void SetUp() override {
    BridgeTest::SetUp();
    if (!HasFatalFailure()) {
      setUpProbes("probe-int", "probe-ext");
      before = probeValues();
    }
  }

  Probes before;
};

// Pushes a trend event of `value` for `label` and waits until `log` holds
// `line`.
bool pushAndWaitFor(LogCapture& log, const std::string& label, float value, uint32_t seq,
                    const char* line) {
  BridgeTest::pushTrend(label, value, seq);
  return log.waitFor(line);
}

std::vector<std::string> lastLines(const LogCapture& log, std::size_t n) {
  std::vector<std::string> all = log.messages();
  if (all.size() < n) {
    return all;
  }
  return std::vector<std::string>(all.end() - static_cast<std::ptrdiff_t>(n), all.end());
}

TEST_F(BridgeTrend, AinReachesTheProbeAndRaisesTheFlag) {
  LogCapture log;
  ASSERT_TRUE(sim().writeLine("ain probe-int 23.75"));
  ASSERT_TRUE(log.waitFor(kTaken));
  EXPECT_TRUE(waitForSomethingChanged());
  EXPECT_EQ(probeValues(), Probes(23.75f, before.second));
  EXPECT_EQ(
      log.messages(),
      (std::vector<std::string>{
          "Received Message from vulod", "Got MSG_EVT", "In handle EVT",
          "Got MSG_EVT:OBJ_TREND_EVENT EVENT", "W are handling the trend event :D",
          "We are handling the trend event :D", "checking probes", "checking probe 1 (internal) ",
          "new internal probe value", "checking probe 2 (external) ", kTaken}));
}

TEST_F(BridgeTrend, FirstEventWithSequenceZeroIsDropped) {
  lastTrend.store(0);  // as at start-up
  LogCapture log;
  ASSERT_TRUE(pushAndWaitFor(log, "probe-int", 99.0f, 0, kDropped));
  EXPECT_EQ(lastLines(log, 3),
            (std::vector<std::string>{"W are handling the trend event :D",
                                      "We are handling the trend event :D", kDropped}));
  EXPECT_EQ(probeValues(), before);
  EXPECT_FALSE(translator.getSomethingChanged());
}

TEST_F(BridgeTrend, RepeatedSequenceIsDroppedEvenForTheOtherProbe) {
  const uint32_t seq = freshTrendSeq();
  LogCapture log;
  ASSERT_TRUE(pushAndWaitFor(log, "probe-int", 30.0f, seq, kTaken));
  ASSERT_TRUE(waitForSomethingChanged());
  translator.setSomethingChanged(false);
  log.clear();

  ASSERT_TRUE(pushAndWaitFor(log, "probe-ext", 31.0f, seq, kDropped));
  EXPECT_EQ(probeValues(), Probes(30.0f, before.second));
  EXPECT_FALSE(translator.getSomethingChanged());
}

TEST_F(BridgeTrend, EventForAnotherPortIsLoggedAndOnlyMovesTheSequence) {
  const uint32_t seq = freshTrendSeq();
  LogCapture log;
  ASSERT_TRUE(pushAndWaitFor(log, "other-ain", 7.0f, seq, "Device serial: 1001"));
  EXPECT_EQ(lastLines(log, 5),
            (std::vector<std::string>{
                "checking probe 1 (internal) ", "checking probe 2 (external) ",
                "Nothing chanegd so trend event stuff is", "Port Id: 8", "Device serial: 1001"}));
  EXPECT_EQ(lastTrend.load(), seq);
  EXPECT_FALSE(translator.getSomethingChanged());
  EXPECT_EQ(probeValues(), before);
}

TEST_F(BridgeTrend, EventBeforeAnyProbeIsSetUpMatchesNothing) {
  cObjectAInput* internal = translator.getInternalProbe();
  cObjectAInput* external = translator.getExternalProbe();
  translator.setInternalProbe(nullptr);
  translator.setExternalProbe(nullptr);
  translator.setSomethingChanged(false);
  const uint32_t seq = freshTrendSeq();
  LogCapture log;
  const bool handled = pushAndWaitFor(log, "probe-int", 5.0f, seq, "Device serial: 1001");
  translator.setInternalProbe(internal);
  translator.setExternalProbe(external);
  ASSERT_TRUE(handled);
  EXPECT_EQ(lastLines(log, 4),
            (std::vector<std::string>{"checking probes", "Nothing chanegd so trend event stuff is",
                                      "Port Id: 1", "Device serial: 1001"}));
  EXPECT_EQ(lastTrend.load(), seq);
  EXPECT_FALSE(translator.getSomethingChanged());
}

TEST_F(BridgeTrend, EventForTheExternalProbeUpdatesOnlyIt) {
  LogCapture log;
  ASSERT_TRUE(pushAndWaitFor(log, "probe-ext", 17.5f, freshTrendSeq(), kTaken));
  EXPECT_EQ(probeValues(), Probes(before.first, 17.5f));
  EXPECT_TRUE(waitForSomethingChanged());
  EXPECT_FALSE(log.contains("new internal probe value"));
}

TEST_F(BridgeTrend, BothProbesOnOnePortTakeTheSameEvent) {
  setUpProbes("probe-int", "probe-int");
  ASSERT_NE(translator.getInternalProbe(), translator.getExternalProbe());
  LogCapture log;
  ASSERT_TRUE(pushAndWaitFor(log, "probe-int", 12.5f, freshTrendSeq(), kTaken));
  EXPECT_EQ(probeValues(), Probes(12.5f, 12.5f));
  EXPECT_TRUE(waitForSomethingChanged());
}

}  // namespace
