// The benchmark server is the measuring instrument: the real client library
// must find the ports, read them, write them and receive pushed trend
// events exactly as from the simulator, and every set must be recorded.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include <cObjectClient.h>
#include <cObjectList.h>
#include <cObjectListener.h>

#include "BenchServer.h"
#include "Clock.h"

namespace {

constexpr int kWaitMs = 5000;

struct Trend {
  uint32_t sequence;
  uint32_t serial;
  uint32_t portId;
  float value;
};

// Collects the trend events pushed to the client.
class TrendCollector : public cObjectListener {
 public:
  void handleObjectAction(cObjectList* message) override {
    std::lock_guard<std::mutex> lock(mMutex);
    for (cObject* object = message->first(); object != nullptr; object = message->next()) {
      if (auto* trend = dynamic_cast<cObjectTrend*>(object)) {
        EXPECT_EQ(message->getMsgType(), MSG_EVT);
        mTrends.push_back({trend->getTrendSeqNum(), trend->getDeviceSerial(), trend->getPortId(),
                           trend->getCalculatedValue()});
      }
    }
    mArrived.notify_all();
  }

  std::vector<Trend> waitFor(std::size_t count) {
    std::unique_lock<std::mutex> lock(mMutex);
    mArrived.wait_for(lock, std::chrono::milliseconds(kWaitMs),
                      [&] { return mTrends.size() >= count; });
    return mTrends;
  }

 private:
  std::mutex mMutex;
  std::condition_variable mArrived;
  std::vector<Trend> mTrends;
};

class BenchServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.start());
    client.addListener(&trends);
    ASSERT_TRUE(client.start("127.0.0.1", server.port()));
    ASSERT_TRUE(server.waitForConnection(0, kWaitMs));
  }

  template <typename Port>
  std::unique_ptr<Port> find(const char* label, ePortType type) {
    cObjectPort example;
    example.setPortType(type);
    example.setPortLabel(label);
    cObjectList request;
    request.add(&example);
    std::unique_ptr<cObjectList> reply(client.get(&request));
    if (reply == nullptr || reply->size() != 1) {
      if (reply) {
        reply->deleteObjects();
      }
      return nullptr;
    }
    auto* port = dynamic_cast<Port*>(reply->first());
    std::unique_ptr<Port> found(port != nullptr ? static_cast<Port*>(port->clone()) : nullptr);
    reply->deleteObjects();
    return found;
  }

  BenchServer server;
  TrendCollector trends;
  cObjectClient client;
};

TEST_F(BenchServerTest, QueriesAndFetchesFindTheSitePorts) {
  auto probe = find<cObjectAInput>("t-int", PORT_TYPE_ANALOG_IN);
  ASSERT_NE(probe, nullptr);
  EXPECT_EQ(probe->getDeviceSerial(), kBenchSite[kInternalProbe].serial);
  EXPECT_EQ(probe->getPortId(), kBenchSite[kInternalProbe].portId);
  EXPECT_FLOAT_EQ(probe->getCalculatedValue(), 20.0f);
  EXPECT_NE(find<cObjectDOutput>("ac-1", PORT_TYPE_DISCRETE_OUT), nullptr);
  EXPECT_NE(find<cObjectAOutput>("fan", PORT_TYPE_ANALOG_OUT), nullptr);
  // The type must match too, and an unknown label finds nothing.
  EXPECT_EQ(find<cObjectAInput>("fan", PORT_TYPE_ANALOG_IN), nullptr);
  EXPECT_EQ(find<cObjectAInput>("nowhere", PORT_TYPE_ANALOG_IN), nullptr);

  std::unique_ptr<cObject> fetched(client.get(probe.get()));
  auto* current = dynamic_cast<cObjectAInput*>(fetched.get());
  ASSERT_NE(current, nullptr);
  EXPECT_FLOAT_EQ(current->getCalculatedValue(), 20.0f);
}

TEST_F(BenchServerTest, SetsAreRecordedInOrderWithTheirArrivalTimes) {
  auto fan = find<cObjectAOutput>("fan", PORT_TYPE_ANALOG_OUT);
  auto aircon = find<cObjectDOutput>("ac-1", PORT_TYPE_DISCRETE_OUT);
  ASSERT_TRUE(fan && aircon);
  const int64_t before = monotonicNs();
  fan->setOutputValue(40.0f);
  ASSERT_EQ(client.set(fan.get()), 0);
  aircon->setOutputState(OBJ_IO_STATE_SET);
  ASSERT_EQ(client.set(aircon.get()), 0);
  ASSERT_EQ(client.set(fan.get()), 0);
  ASSERT_TRUE(server.waitForFanSets(2, kWaitMs));
  std::optional<AirconSetArrival> switched =
      server.waitForAirconSet(0, 1, OBJ_IO_STATE_SET, kWaitMs);
  ASSERT_TRUE(switched.has_value());
  EXPECT_EQ(switched->fanSetsBefore, 1u);  // after the first fan set, before the second

  std::vector<int64_t> times = server.fanSetTimes(0, 2);
  ASSERT_EQ(times.size(), 2u);
  EXPECT_GE(times[0], before);
  EXPECT_LE(times[0], switched->arrivalNs);
  EXPECT_LE(switched->arrivalNs, times[1]);
  EXPECT_LE(times[1], monotonicNs());
  EXPECT_EQ(server.fanSetsArrivedAfter(times[0], 2), 1u);
  EXPECT_EQ(server.fanSetsArrivedAfter(before, 2), 2u);
  // A set to another state is not mistaken for the one waited for.
  EXPECT_FALSE(server.waitForAirconSet(0, 1, OBJ_IO_STATE_CLEAR, 50).has_value());
}

TEST_F(BenchServerTest, TrendBurstsArriveWholeInOrderWithFreshNumbers) {
  std::vector<float> first = {21.0f, 21.5f, 31.0f};
  ASSERT_TRUE(server.pushTrends(kInternalProbe, first).has_value());
  ASSERT_TRUE(server.pushTrends(kExternalProbe, {12.5f}).has_value());
  std::vector<Trend> got = trends.waitFor(4);
  ASSERT_EQ(got.size(), 4u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(got[i].serial, kBenchSite[kInternalProbe].serial);
    EXPECT_EQ(got[i].portId, kBenchSite[kInternalProbe].portId);
    EXPECT_FLOAT_EQ(got[i].value, first[i]);
  }
  EXPECT_EQ(got[3].portId, kBenchSite[kExternalProbe].portId);
  for (std::size_t i = 1; i < got.size(); ++i) {
    EXPECT_NE(got[i].sequence, 0u);
    EXPECT_GT(got[i].sequence, got[i - 1].sequence);
  }
  // The last value pushed is what a fetch reports afterwards.
  auto probe = find<cObjectAInput>("t-int", PORT_TYPE_ANALOG_IN);
  ASSERT_NE(probe, nullptr);
  EXPECT_FLOAT_EQ(probe->getCalculatedValue(), 31.0f);
  server.resetSite();
  probe = find<cObjectAInput>("t-int", PORT_TYPE_ANALOG_IN);
  ASSERT_NE(probe, nullptr);
  EXPECT_FLOAT_EQ(probe->getCalculatedValue(), 20.0f);
}

TEST(BenchServerAlone, GarbageDropsOnlyThatClient) {
  BenchServer server;
  ASSERT_TRUE(server.start());
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(fd, 0);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(server.port()));
  ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_TRUE(server.waitForConnection(0, kWaitMs));
  // A length far beyond any frame: the server hangs up.
  const uint8_t garbage[8] = {0xff, 0xff, 0xff, 0x7f, 1, 2, 3, 4};
  ASSERT_EQ(::send(fd, garbage, sizeof garbage, MSG_NOSIGNAL),
            static_cast<ssize_t>(sizeof garbage));
  char byte = 0;
  // Closed with bytes unread: an end of stream or a reset.
  EXPECT_LE(::recv(fd, &byte, 1, 0), 0);
  ::close(fd);
  EXPECT_FALSE(server.pushTrends(kInternalProbe, {20.0f}).has_value());

  // The next client is served as usual.
  cObjectClient client;
  ASSERT_TRUE(client.start("127.0.0.1", server.port()));
  ASSERT_TRUE(server.waitForConnection(1, kWaitMs));
  cObjectAOutput fan;
  fan.setDeviceSerial(kBenchSite[kFan].serial);
  fan.setPortId(kBenchSite[kFan].portId);
  ASSERT_EQ(client.set(&fan), 0);
  EXPECT_TRUE(server.waitForFanSets(1, kWaitMs));
}

}  // namespace
