// Trend events pushed by the real simulator, end to end.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "BridgeFixture.h"
#include "CqTranslator.h"
#include "LogCapture.h"
#include "iostub.h"

namespace {

const char* const kTaken = "new trend value gotten. Run algorithm";
const char* const kDropped = "seq num same so returning";

using BridgeTrend = BridgeTest;

float internalValue() {
  return translator.getInternalProbe()->getCalculatedValue();
}
float externalValue() {
  return translator.getExternalProbe()->getCalculatedValue();
}

std::vector<std::string> lastLines(const LogCapture& log, std::size_t n) {
  std::vector<std::string> all = log.messages();
  if (all.size() < n) {
    return all;
  }
  return std::vector<std::string>(all.end() - static_cast<std::ptrdiff_t>(n), all.end());
}

TEST_F(BridgeTrend, AinReachesTheProbeAndRaisesTheFlag) {
  setUpProbes("probe-int", "probe-ext");
  const float externalBefore = externalValue();
  LogCapture log;
  ASSERT_TRUE(sim().writeLine("ain probe-int 23.75"));
  ASSERT_TRUE(log.waitFor(kTaken));
  EXPECT_TRUE(waitForSomethingChanged());
  EXPECT_FLOAT_EQ(internalValue(), 23.75f);
  EXPECT_FLOAT_EQ(externalValue(), externalBefore);
  EXPECT_EQ(
      log.messages(),
      (std::vector<std::string>{
          "Received Message from vulod", "Got MSG_EVT", "In handle EVT",
          "Got MSG_EVT:OBJ_TREND_EVENT EVENT", "W are handling the trend event :D",
          "We are handling the trend event :D", "checking probes", "checking probe 1 (internal) ",
          "new internal probe value", "checking probe 2 (external) ", kTaken}));
}

TEST_F(BridgeTrend, FirstEventWithSequenceZeroIsDropped) {
  setUpProbes("probe-int", "probe-ext");
  lastTrend.store(0);  // as at start-up
  const float before = internalValue();
  LogCapture log;
  pushTrend("probe-int", 99.0f, 0);
  ASSERT_TRUE(log.waitFor(kDropped));
  EXPECT_EQ(lastLines(log, 3),
            (std::vector<std::string>{"W are handling the trend event :D",
                                      "We are handling the trend event :D", kDropped}));
  EXPECT_FLOAT_EQ(internalValue(), before);
  EXPECT_FALSE(translator.getSomethingChanged());
}

TEST_F(BridgeTrend, RepeatedSequenceIsDroppedEvenForTheOtherProbe) {
  setUpProbes("probe-int", "probe-ext");
  const uint32_t seq = freshTrendSeq();
  const float externalBefore = externalValue();
  LogCapture log;
  pushTrend("probe-int", 30.0f, seq);
  ASSERT_TRUE(log.waitFor(kTaken));
  ASSERT_TRUE(waitForSomethingChanged());
  translator.setSomethingChanged(false);
  log.clear();

  pushTrend("probe-ext", 31.0f, seq);
  ASSERT_TRUE(log.waitFor(kDropped));
  EXPECT_FLOAT_EQ(internalValue(), 30.0f);
  EXPECT_FLOAT_EQ(externalValue(), externalBefore);
  EXPECT_FALSE(translator.getSomethingChanged());
}

TEST_F(BridgeTrend, EventForAnotherPortIsLoggedAndOnlyMovesTheSequence) {
  setUpProbes("probe-int", "probe-ext");
  const float internalBefore = internalValue();
  const float externalBefore = externalValue();
  const uint32_t seq = freshTrendSeq();
  LogCapture log;
  pushTrend("other-ain", 7.0f, seq);
  ASSERT_TRUE(log.waitFor("Device serial: 1001"));
  EXPECT_EQ(lastLines(log, 5),
            (std::vector<std::string>{
                "checking probe 1 (internal) ", "checking probe 2 (external) ",
                "Nothing chanegd so trend event stuff is", "Port Id: 8", "Device serial: 1001"}));
  EXPECT_EQ(lastTrend.load(), seq);
  EXPECT_FALSE(translator.getSomethingChanged());
  EXPECT_FLOAT_EQ(internalValue(), internalBefore);
  EXPECT_FLOAT_EQ(externalValue(), externalBefore);
}

TEST_F(BridgeTrend, EventBeforeAnyProbeIsSetUpMatchesNothing) {
  cObjectAInput* internal = translator.getInternalProbe();
  cObjectAInput* external = translator.getExternalProbe();
  translator.setInternalProbe(nullptr);
  translator.setExternalProbe(nullptr);
  translator.setSomethingChanged(false);
  const uint32_t seq = freshTrendSeq();
  LogCapture log;
  pushTrend("probe-int", 5.0f, seq);
  const bool handled = log.waitFor("Device serial: 1001");
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
  setUpProbes("probe-int", "probe-ext");
  const float internalBefore = internalValue();
  LogCapture log;
  pushTrend("probe-ext", 17.5f, freshTrendSeq());
  ASSERT_TRUE(log.waitFor(kTaken));
  EXPECT_FLOAT_EQ(externalValue(), 17.5f);
  EXPECT_FLOAT_EQ(internalValue(), internalBefore);
  EXPECT_TRUE(waitForSomethingChanged());
  EXPECT_FALSE(log.contains("new internal probe value"));
}

TEST_F(BridgeTrend, BothProbesOnOnePortTakeTheSameEvent) {
  setUpProbes("probe-int", "probe-int");
  ASSERT_NE(translator.getInternalProbe(), translator.getExternalProbe());
  LogCapture log;
  pushTrend("probe-int", 12.5f, freshTrendSeq());
  ASSERT_TRUE(log.waitFor(kTaken));
  EXPECT_FLOAT_EQ(internalValue(), 12.5f);
  EXPECT_FLOAT_EQ(externalValue(), 12.5f);
  EXPECT_TRUE(waitForSomethingChanged());
}

}  // namespace
