// Message handling, with hand-built messages delivered from the test thread
// (nothing is pushed by the server meanwhile).
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

TEST_F(BridgeMessages, EachMessageTypeIsLoggedAndOnlyEventsAreHandled) {
  EXPECT_EQ(deliver(MSG_SET),
            (Lines{"Received Message from vulod", "Got MSG_SET", "Set received. Doing Nothing"}));
  EXPECT_EQ(deliver(MSG_REQ), (Lines{"Received Message from vulod", "Got MSG_REQ",
                                     "Request received. Doing Nothing"}));
  EXPECT_EQ(deliver(2), (Lines{"Received Message from vulod", "Unknown Message Type 2"}));
  EXPECT_EQ(deliver(MSG_EVT),
            (Lines{"Received Message from vulod", "Got MSG_EVT", "In handle EVT"}));
}

TEST_F(BridgeMessages, EventObjectsAreLoggedByType) {
  cObject event(OBJ_EVENT), access(OBJ_ACCESS), adhoc(OBJ_ADHOC_EVENT), device(OBJ_DEVICE);
  EXPECT_EQ(deliver(MSG_EVT, {&event, &access, &device, &adhoc}),
            (Lines{"Received Message from vulod", "Got MSG_EVT", "In handle EVT",
                   "Got MSG_EVT:EVENT", "Got MSG_EVT:ACCESS", "Got MSG_EVT:ADHOC EVENT"}));
}

TEST_F(BridgeMessages, ObjectTaggedAsTrendButOfAnotherClassIsNoTrend) {
  const uint32_t lastBefore = lastTrend.load();
  cObject notATrend(OBJ_TREND_EVENT);
  EXPECT_EQ(deliver(MSG_EVT, {&notATrend}),
            (Lines{"Received Message from vulod", "Got MSG_EVT", "In handle EVT",
                   "Got MSG_EVT:OBJ_TREND_EVENT EVENT", "W are handling the trend event :D"}));
  EXPECT_EQ(lastTrend.load(), lastBefore);
}

TEST_F(BridgeMessages, TrendsInOneMessageAreTakenInOrder) {
  setUpProbes("probe-int", "probe-ext");
  cObjectAInput* internal = translator.getInternalProbe();
  cObjectAInput* external = translator.getExternalProbe();
  cObjectTrend toInternal, toExternal, repeated;
  toInternal.setTrendSeqNum(freshTrendSeq());
  toInternal.setDeviceSerial(internal->getDeviceSerial());
  toInternal.setPortId(internal->getPortId());
  toInternal.setCalculatedValue(26.0f);
  toExternal.setTrendSeqNum(freshTrendSeq());
  toExternal.setDeviceSerial(external->getDeviceSerial());
  toExternal.setPortId(external->getPortId());
  toExternal.setCalculatedValue(8.5f);
  repeated.setTrendSeqNum(toExternal.getTrendSeqNum());
  repeated.setDeviceSerial(external->getDeviceSerial());
  repeated.setPortId(external->getPortId());
  repeated.setCalculatedValue(-40.0f);

  Lines lines = deliver(MSG_EVT, {&toInternal, &toExternal, &repeated});
  EXPECT_FLOAT_EQ(internal->getCalculatedValue(), 26.0f);
  EXPECT_FLOAT_EQ(external->getCalculatedValue(), 8.5f);
  EXPECT_TRUE(translator.getSomethingChanged());
  EXPECT_EQ(lastTrend.load(), toExternal.getTrendSeqNum());
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "seq num same so returning");
}

}  // namespace
