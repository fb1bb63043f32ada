// The simulator with the real client library, as the daemon uses it:
// discovery queries, fetches, sets, pushed trend events, and recovery after
// the simulator drops the connection or sends garbage.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "VulosimProcess.h"
#include "cObjectClient.h"
#include "cObjectList.h"

namespace {

// Keeps every trend event delivered to it.
class TrendRecorder : public cObjectListener {
 public:
  struct Trend {
    uint8_t msgType;
    uint32_t seq;
    uint32_t serial;
    uint32_t portId;
    float value;
  };

  void handleObjectAction(cObjectList* message) override {
    std::lock_guard<std::mutex> lock(mMutex);
    for (cObject* object = message->first(); object; object = message->next()) {
      if (auto* trend = dynamic_cast<cObjectTrend*>(object)) {
        mTrends.push_back({message->getMsgType(), trend->getTrendSeqNum(), trend->getDeviceSerial(),
                           trend->getPortId(), trend->getCalculatedValue()});
      }
    }
    mChanged.notify_all();
  }

  // The first `count` trends, or fewer when they did not arrive in time.
  std::vector<Trend> waitFor(std::size_t count, int timeoutMs = 5000) {
    std::unique_lock<std::mutex> lock(mMutex);
    mChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                      [&] { return mTrends.size() >= count; });
    return mTrends;
  }

 private:
  std::mutex mMutex;
  std::condition_variable mChanged;
  std::vector<Trend> mTrends;
};

class VulosimWithClient : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim.startSite(VULOSIM_TEST_SITE));
    client.addListener(&recorder);
    ASSERT_TRUE(client.start("127.0.0.1", sim.port()));
    ASSERT_TRUE(sim.waitForLine("connected 1"));
  }

  // Query by example, as discovery sends it; the number of ports answered,
  // -1 without an answer.
  int queryCount(const char* label, ePortType type) {
    cObjectPort example;
    example.setPortType(type);
    example.setPortLabel(label);
    cObjectList request;
    request.add(&example);
    cObjectList* reply = client.get(&request);
    if (!reply) {
      return -1;
    }
    int count = static_cast<int>(reply->size());
    reply->deleteObjects();
    delete reply;
    return count;
  }

  // Fetches ac-1 (device 200, port 1); its state, or nullopt.
  std::optional<eObjectIOState> fetchAc1() {
    cObjectDOutput wanted;
    wanted.setDeviceSerial(200);
    wanted.setPortId(1);
    wanted.setPortLabel("ac-1");
    std::unique_ptr<cObject> answer(client.get(&wanted));
    auto* port = dynamic_cast<cObjectDOutput*>(answer.get());
    if (!port) {
      return std::nullopt;
    }
    return port->getOutputState();
  }

  VulosimProcess sim;
  TrendRecorder recorder;
  cObjectClient client;  // stopped before the recorder and the simulator go
};

TEST_F(VulosimWithClient, DiscoveryFetchAndSetWorkThroughTheLibrary) {
  EXPECT_EQ(queryCount("twin", PORT_TYPE_ANALOG_IN), 2);
  EXPECT_EQ(queryCount("ac-1", PORT_TYPE_DISCRETE_OUT), 1);
  EXPECT_EQ(queryCount("nope", PORT_TYPE_ANALOG_OUT), 0);
  EXPECT_EQ(fetchAc1(), OBJ_IO_STATE_CLEAR);

  cObjectDOutput on;
  on.setDeviceSerial(200);
  on.setPortId(1);
  on.setOutputState(OBJ_IO_STATE_SET);
  EXPECT_EQ(client.set(&on), 0);
  // The fetch goes out after the set, so its answer shows the set applied.
  EXPECT_EQ(fetchAc1(), OBJ_IO_STATE_SET);
  EXPECT_TRUE(sim.waitForLine("dout ac-1 SET"));
}

TEST_F(VulosimWithClient, TrendEventsReachTheListenerInOrder) {
  sim.writeLine("ain temp-in 23.5");
  sim.writeLine("ain temp-out 11");
  sim.writeLine("trend temp-in 24 50");
  auto trends = recorder.waitFor(3);
  ASSERT_EQ(trends.size(), 3u);
  EXPECT_EQ(trends[0].msgType, MSG_EVT);
  EXPECT_EQ(trends[0].seq, 1u);
  EXPECT_EQ(trends[0].serial, 100u);
  EXPECT_EQ(trends[0].portId, 1u);
  EXPECT_EQ(trends[0].value, 23.5f);
  EXPECT_EQ(trends[1].seq, 2u);
  EXPECT_EQ(trends[1].portId, 2u);
  EXPECT_EQ(trends[2].seq, 50u);
  EXPECT_EQ(trends[2].value, 24.0f);
}

TEST_F(VulosimWithClient, TheClientComesBackAfterDropAndAfterGarbage) {
  for (const char* command : {"drop", "garbage"}) {
    SCOPED_TRACE(command);
    sim.writeLine(command);
    ASSERT_TRUE(sim.waitForLine("disconnected 0"));
    ASSERT_TRUE(sim.waitForLine("connected 1", 10000));
    // Pushes reach the new connection too.
    std::size_t before = recorder.waitFor(0).size();
    sim.writeLine("ain temp-in 20");
    EXPECT_EQ(recorder.waitFor(before + 1).size(), before + 1);
    EXPECT_EQ(fetchAc1(), OBJ_IO_STATE_CLEAR);
  }
}

}  // namespace
