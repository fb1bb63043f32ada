// Message handling, with hand-built messages delivered from the test thread
// (nothing is pushed by the server meanwhile): only an event message's
// trends reach the probes, in the order the message holds them.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "BridgeFixture.h"
#include "CqTranslator.h"
#include "LogCapture.h"
#include "iostub.h"

namespace {

using Lines = std::vector<std::string>;
using BridgeMessages = BridgeTest;

// Delivers a message of `type` holding `objects` and returns what it logged.
Lines deliver(uint8_t type, const std::vector<cObject*>& objects = {}) {
  cObjectList message;
  message.setMsgType(type);
  for (cObject* object : objects) {
    message.add(object);
  }
  LogCapture log;
  translator.handleObjectAction(&message);
  return log.messages();
}

// `trend` made a fresh event of `value` for `probe`'s port.
void aimTrend(cObjectTrend& trend, const cObjectAInput* probe, float value) {
  trend.setTrendSeqNum(BridgeTest::freshTrendSeq());
  trend.setDeviceSerial(probe->getDeviceSerial());
  trend.setPortId(probe->getPortId());
  trend.setCalculatedValue(value);
}

struct MessageCase {
  uint8_t type;
  const char* handling;  // the line that says how the type is handled
  bool takesTrends;
};

TEST_F(BridgeMessages, OnlyEventMessagesTakeTheirTrends) {
  setUpProbes("probe-int", "probe-ext");
  cObjectAInput* internal = translator.getInternalProbe();
  const MessageCase cases[] = {
      {MSG_SET, "Set received. Doing Nothing", false},
      {MSG_REQ, "Request received. Doing Nothing", false},
      {2, "Unknown Message Type 2", false},
      {MSG_EVT, "In handle EVT", true},
  };
  for (const MessageCase& c : cases) {
    SCOPED_TRACE(c.handling);
    // An empty message's last line says how its type is handled.
    const Lines lines = deliver(c.type);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), c.handling);

    translator.setSomethingChanged(false);
    const float before = internal->getCalculatedValue();
    const uint32_t lastBefore = lastTrend.load();
    cObjectTrend trend;
    aimTrend(trend, internal, before + 1.0f);
    deliver(c.type, {&trend});
    EXPECT_FLOAT_EQ(internal->getCalculatedValue(), c.takesTrends ? before + 1.0f : before);
    EXPECT_EQ(translator.getSomethingChanged(), c.takesTrends);
    EXPECT_EQ(lastTrend.load(), c.takesTrends ? trend.getTrendSeqNum() : lastBefore);
  }
}

TEST_F(BridgeMessages, EventObjectsOtherThanTrendsChangeNothing) {
  setUpProbes("probe-int", "probe-ext");
  const float before = translator.getInternalProbe()->getCalculatedValue();
  const uint32_t lastBefore = lastTrend.load();
  // OBJ_TREND_EVENT on an object of another class is handled as no trend.
  cObject event(OBJ_EVENT), access(OBJ_ACCESS), adhoc(OBJ_ADHOC_EVENT), device(OBJ_DEVICE),
      notATrend(OBJ_TREND_EVENT);
  deliver(MSG_EVT, {&event, &access, &device, &adhoc, &notATrend});
  EXPECT_FLOAT_EQ(translator.getInternalProbe()->getCalculatedValue(), before);
  EXPECT_FALSE(translator.getSomethingChanged());
  EXPECT_EQ(lastTrend.load(), lastBefore);
}

TEST_F(BridgeMessages, TrendsInOneMessageAreTakenInOrder) {
  setUpProbes("probe-int", "probe-ext");
  cObjectAInput* internal = translator.getInternalProbe();
  cObjectAInput* external = translator.getExternalProbe();
  cObjectTrend toInternal, toExternal, repeated;
  aimTrend(toInternal, internal, 26.0f);
  aimTrend(toExternal, external, 8.5f);
  aimTrend(repeated, external, -40.0f);
  repeated.setTrendSeqNum(toExternal.getTrendSeqNum());

  deliver(MSG_EVT, {&toInternal, &toExternal, &repeated});
  EXPECT_FLOAT_EQ(internal->getCalculatedValue(), 26.0f);
  EXPECT_FLOAT_EQ(external->getCalculatedValue(), 8.5f);
  EXPECT_TRUE(translator.getSomethingChanged());
  EXPECT_EQ(lastTrend.load(), toExternal.getTrendSeqNum());
}

}  // namespace
