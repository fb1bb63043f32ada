// Polling: reading the probes and re-sending the cached outputs.
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
using BridgePolling = BridgeTest;

constexpr float kSentinel = -1000.0f;

// The output records, put aside while a test runs without them.
struct OutputRecords {
  aircon* first = translator.getFirstAircon();
  aircon* second = translator.getSecondAircon();
  Fan* fan = translator.getFan();
  void clear() {
    translator.setFirstAircon(nullptr);
    translator.setSecondAircon(nullptr);
    translator.setFan(nullptr);
  }
  void restore() {
    translator.setFirstAircon(first);
    translator.setSecondAircon(second);
    translator.setFan(fan);
  }
};

struct SetCounts {
  long ac1 = BridgeTest::sim().setCount("ac1");
  long ac2 = BridgeTest::sim().setCount("ac2");
  long fan = BridgeTest::sim().setCount("fan");
};

void setUpAllOutputs() {
  ASSERT_TRUE(setupAircon("ac1", 1));
  ASSERT_TRUE(setupAircon("ac2", 2));
  ASSERT_TRUE(setupFan("fan"));
}

TEST_F(BridgePolling, IncompleteSetUpReadsAndSendsNothing) {
  setUpProbes("probe-int", "probe-ext");
  setUpAllOutputs();
  cObjectAInput* internal = translator.getInternalProbe();
  cObjectAInput* external = translator.getExternalProbe();
  internal->setCalculatedValue(kSentinel);
  const SetCounts before;
  LogCapture log;

  translator.setInternalProbe(nullptr);
  EXPECT_FALSE(translator.updateValues());
  translator.setInternalProbe(internal);
  translator.setExternalProbe(nullptr);
  EXPECT_FALSE(translator.updateValues());
  translator.setExternalProbe(external);
  for (const LogEntry& e : log.entries()) {
    EXPECT_EQ(e.priority, 600) << e.message;
  }
  EXPECT_EQ(log.take(), (Lines{"Missing probe... setup incomplete", "doing nothing",
                               "Missing probe... setup incomplete", "doing nothing"}));

  OutputRecords outputs;
  outputs.clear();
  EXPECT_FALSE(translator.updateValues());
  outputs.restore();
  EXPECT_EQ(log.take(), (Lines{"No Outputs setup ... setup incomplete", "doing nothing"}));
  EXPECT_FLOAT_EQ(internal->getCalculatedValue(), kSentinel);

  syncWithServer();
  const SetCounts after;
  EXPECT_EQ(after.ac1, before.ac1);
  EXPECT_EQ(after.ac2, before.ac2);
  EXPECT_EQ(after.fan, before.fan);
}

TEST_F(BridgePolling, OutputRecordWithoutPortStillCompletesTheSetUp) {
  setUpProbes("probe-int", "probe-ext");
  setUpAllOutputs();  // the records exist before they are put aside
  OutputRecords outputs;
  translator.setFirstAircon(nullptr);
  translator.setSecondAircon(nullptr);
  ASSERT_FALSE(setupFan("no-such-label"));
  translator.getInternalProbe()->setCalculatedValue(kSentinel);
  translator.getExternalProbe()->setCalculatedValue(kSentinel);
  const SetCounts before;
  LogCapture log;

  const bool complete = translator.updateValues();
  outputs.restore();
  EXPECT_TRUE(complete);
  EXPECT_TRUE(log.messages().empty());
  EXPECT_FLOAT_EQ(translator.getInternalProbe()->getCalculatedValue(), serverValue("probe-int"));
  EXPECT_FLOAT_EQ(translator.getExternalProbe()->getCalculatedValue(), serverValue("probe-ext"));
  EXPECT_FALSE(translator.getSomethingChanged());  // polling never raises it
  syncWithServer();
  EXPECT_EQ(sim().setCount("fan"), before.fan);
  EXPECT_TRUE(setupFan("fan"));
}

TEST_F(BridgePolling, FailedProbeReadKeepsTheOldValueAndGoesOn) {
  setUpProbes("probe-int", "probe-ext");
  setUpAllOutputs();
  // A probe the server does not have. It is never released: the delivery
  // thread may read a probe pointer at any time.
  static cObjectAInput* const unknownProbe = [] {
    auto* probe = new cObjectAInput();
    probe->setDeviceSerial(9999);
    probe->setPortId(1);
    probe->setPortLabel("ghost");
    return probe;
  }();
  unknownProbe->setCalculatedValue(42.5f);
  cObjectAInput* internal = translator.getInternalProbe();
  translator.getExternalProbe()->setCalculatedValue(kSentinel);
  const SetCounts before;
  LogCapture log;

  translator.setInternalProbe(unknownProbe);
  const bool complete = translator.updateValues();
  translator.setInternalProbe(internal);
  EXPECT_TRUE(complete);
  ASSERT_EQ(log.entries().size(), 1u);
  EXPECT_EQ(log.entries()[0].priority, 600);
  EXPECT_EQ(log.entries()[0].message, "The Return internal port is NULL");
  EXPECT_FLOAT_EQ(unknownProbe->getCalculatedValue(), 42.5f);
  EXPECT_FLOAT_EQ(translator.getExternalProbe()->getCalculatedValue(), serverValue("probe-ext"));
  syncWithServer();
  const SetCounts after;
  EXPECT_EQ(after.ac1, before.ac1 + 1);
  EXPECT_EQ(after.ac2, before.ac2 + 1);
  EXPECT_EQ(after.fan, before.fan + 1);
}

TEST_F(BridgePolling, CachedOutputsAreSentAgainOnEveryPoll) {
  setUpProbes("probe-int", "probe-ext");
  setUpAllOutputs();
  switchAircon(2, 0, 0);
  switchAircon(1, 1, 0);
  fanSpeedPercent = 33.0f;
  setFan(fanSpeedPercent);
  syncWithServer();
  const SetCounts before;

  ASSERT_TRUE(translator.updateValues());
  ASSERT_TRUE(translator.updateValues());
  syncWithServer();
  const SetCounts after;
  EXPECT_EQ(after.ac1, before.ac1 + 2);
  EXPECT_EQ(after.ac2, before.ac2 + 2);
  EXPECT_EQ(after.fan, before.fan + 2);
  EXPECT_EQ(serverState("ac1"), "SET");
  EXPECT_FLOAT_EQ(serverValue("fan"), 33.0f);
  EXPECT_EQ(translator.getFirstAircon()->getOnOffStatus(), aircon::ON);
}

}  // namespace
