// What crosses the wire where the daemon's own tests do not go: several
// clients, the simulator's options, and clients that go away or misbehave.
// Queries, fetches, sets and trend events as the daemon makes them are
// exercised by the bridge and daemon tests against the same simulator.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "RawClient.h"
#include "VulosimProcess.h"
#include "cObjectList.h"

namespace {

template <typename T>
const T* objectAt(const vulowire::Frame& frame, std::size_t index) {
  return index < frame.objects.size() ? dynamic_cast<const T*>(frame.objects[index].get())
                                      : nullptr;
}

// Port objects naming serial and id (as the daemon sends them): one of each
// class, valid until the next call for that class.
template <class Port>
Port& portAt(uint32_t serial, uint32_t id) {
  static Port port;
  port.setDeviceSerial(serial);
  port.setPortId(id);
  return port;
}

const cObjectDOutput& doutAt(uint32_t serial, uint32_t id, eObjectIOState state) {
  cObjectDOutput& out = portAt<cObjectDOutput>(serial, id);
  out.setOutputState(state);
  return out;
}

const cObjectAOutput& aoutAt(uint32_t serial, uint32_t id, float value) {
  cObjectAOutput& out = portAt<cObjectAOutput>(serial, id);
  out.setOutputValue(value);
  return out;
}

constexpr auto ainAt = &portAt<cObjectAInput>;

class VulosimNetwork : public ::testing::Test {
 protected:
  void SetUp() override { start({}); }
  void start(const std::vector<std::string>& extraArgs) {
    sim = std::make_unique<VulosimProcess>();
    ASSERT_TRUE(sim->startSite(VULOSIM_TEST_SITE, extraArgs));
    ASSERT_TRUE(client.connect(sim->port()));
    ASSERT_TRUE(sim->waitForLine("connected 1"));
  }
  // A fetch's reply proves that every earlier request on the connection was
  // handled and its lines printed; a console answer read after it brings
  // those lines into the history.
  void sync(RawClient& on) { ASSERT_TRUE(on.fetch(ainAt(100, 1))); }
  // The trend event of the next push, checked to be an MSG_EVT push.
  const cObjectTrend* nextTrend(RawClient& on, vulowire::Frame& holder) {
    auto push = on.nextPush();
    if (!push) {
      return nullptr;
    }
    holder = std::move(*push);
    EXPECT_EQ(holder.msgType, MSG_EVT);
    EXPECT_EQ(holder.objects.size(), 1u);
    return objectAt<cObjectTrend>(holder, 0);
  }

  std::unique_ptr<VulosimProcess> sim;
  RawClient client;
};

TEST_F(VulosimNetwork, SetOnlyWritesOutputsOfItsOwnKind) {
  client.set(doutAt(100, 1, OBJ_IO_STATE_SET));  // an analogue input
  client.set(aoutAt(200, 1, 5.0f));              // a digital output
  client.set(doutAt(999, 9, OBJ_IO_STATE_SET));  // no such port
  sync(client);
  EXPECT_EQ(sim->ask("get temp-in", "value "), "value temp-in 21.5");
  EXPECT_EQ(sim->ask("get ac-1", "state "), "state ac-1 CLEAR");
  EXPECT_EQ(sim->setCount("ac-1"), 1);  // received, not applied
  EXPECT_EQ(sim->countLines("dout "), 0u);
  EXPECT_EQ(sim->countLines("aout "), 0u);
}

TEST_F(VulosimNetwork, LogAllSetsPrintsUnchangedSetsToo) {
  client.close();
  sim->stop();
  start({"--log-all-sets"});
  client.set(doutAt(200, 1, OBJ_IO_STATE_CLEAR));
  client.set(doutAt(200, 1, OBJ_IO_STATE_CLEAR));
  client.set(aoutAt(300, 1, 0.0f));
  sync(client);
  EXPECT_EQ(sim->ask("count ac-1", "count "), "count ac-1 2");
  EXPECT_EQ(sim->countLines("dout ac-1 CLEAR"), 2u);
  EXPECT_EQ(sim->countLines("aout fan 0"), 1u);
}

TEST_F(VulosimNetwork, TrendEventsReachEveryClient) {
  RawClient second;
  ASSERT_TRUE(second.connect(sim->port()));
  ASSERT_TRUE(sim->waitForLine("connected 2"));
  sim->writeLine("ain temp-in 19");
  vulowire::Frame holder;
  for (RawClient* each : {&client, &second}) {
    const cObjectTrend* trend = nextTrend(*each, holder);
    ASSERT_TRUE(trend);
    EXPECT_EQ(trend->getTrendSeqNum(), 1u);
    EXPECT_EQ(trend->getCalculatedValue(), 19.0f);
  }
}

TEST_F(VulosimNetwork, DropClosesEveryClientAndKeepsListening) {
  RawClient second;
  ASSERT_TRUE(second.connect(sim->port()));
  ASSERT_TRUE(sim->waitForLine("connected 2"));
  sim->writeLine("drop");
  EXPECT_EQ(client.waitForEnd(), RawClient::Ending::Closed);
  EXPECT_EQ(second.waitForEnd(), RawClient::Ending::Closed);
  EXPECT_TRUE(sim->waitForLine("disconnected 1"));
  EXPECT_TRUE(sim->waitForLine("disconnected 0"));

  ASSERT_TRUE(client.connect(sim->port()));
  EXPECT_TRUE(sim->waitForLine("connected 1"));
  auto reply = client.query("fan", PORT_TYPE_ANALOG_OUT);
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->objects.size(), 1u);
}

TEST_F(VulosimNetwork, GarbageReachesTheClientsAndServingGoesOn) {
  sim->writeLine("garbage");
  EXPECT_EQ(client.waitForEnd(), RawClient::Ending::Malformed);
  // The client gives up the stream and comes back, as a real one would.
  client.close();
  EXPECT_TRUE(sim->waitForLine("disconnected 0"));
  ASSERT_TRUE(client.connect(sim->port()));
  auto reply = client.query("temp-in", PORT_TYPE_ANALOG_IN);
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->objects.size(), 1u);
}

struct BadStream {
  const char* name;
  std::vector<uint8_t> bytes;
};

std::vector<uint8_t> encoded(vulowire::FrameKind kind) {
  vulowire::Frame frame;
  frame.kind = kind;
  std::vector<uint8_t> bytes;
  vulowire::encodeFrame(frame, bytes);
  return bytes;
}

TEST_F(VulosimNetwork, AClientSendingGarbageIsDroppedWhileOthersKeepWorking) {
  std::vector<uint8_t> wrongVersion = encoded(vulowire::FrameKind::QueryRequest);
  wrongVersion[4] = 99;
  std::vector<uint8_t> truncatedObject = {
      20, 0, 0, 0, vulowire::kVersion, 2, 1, 0, 0, 0, 1, 0, 0, 1, 0, 1, 200, 0, 0, 0, 1, 2, 3, 4};
  const BadStream kBad[] = {
      {"text", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '\n'}},
      {"huge length", {0x00, 0x00, 0x00, 0x7F, 1, 2}},
      {"wrong version", wrongVersion},
      {"object past the frame", truncatedObject},
      {"a push, which only the server sends", encoded(vulowire::FrameKind::Push)},
      {"a reply, which only the server sends", encoded(vulowire::FrameKind::QueryReply)},
  };
  for (const BadStream& bad : kBad) {
    SCOPED_TRACE(bad.name);
    RawClient rogue;
    ASSERT_TRUE(rogue.connect(sim->port()));
    ASSERT_TRUE(sim->waitForLine("connected 2"));
    ASSERT_TRUE(rogue.sendBytes(bad.bytes));
    EXPECT_EQ(rogue.waitForEnd(), RawClient::Ending::Closed);
    EXPECT_TRUE(sim->waitForLine("disconnected 1"));
    auto reply = client.query("ac-1", PORT_TYPE_DISCRETE_OUT);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->objects.size(), 1u);
  }
  EXPECT_TRUE(sim->running());
}

// Random bytes, some behind a plausible frame header so that they reach the
// object decoding; whatever they are, the simulator keeps serving.
TEST_F(VulosimNetwork, RandomBytesNeverStopTheSimulator) {
  std::mt19937 random(20240611);
  for (int round = 0; round < 60; ++round) {
    std::vector<uint8_t> bytes(1 + random() % 200);
    for (uint8_t& byte : bytes) {
      byte = static_cast<uint8_t>(random());
    }
    if (round % 2 == 0) {
      // length, version, a client kind (2, 4 or 6), then random fields.
      uint32_t length = static_cast<uint32_t>(bytes.size());
      std::vector<uint8_t> header = {
          static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8),           0, 0,
          vulowire::kVersion,           static_cast<uint8_t>(2 + 2 * (random() % 3))};
      bytes.insert(bytes.begin(), header.begin(), header.end());
    }
    RawClient rogue;
    ASSERT_TRUE(rogue.connect(sim->port()));
    rogue.sendBytes(bytes);
    rogue.close();
  }
  auto reply = client.query("twin", PORT_TYPE_ANALOG_IN);
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->objects.size(), 2u);
  EXPECT_TRUE(sim->running());
}

TEST_F(VulosimNetwork, AFrameArrivingInPiecesIsReassembled) {
  vulowire::Frame frame;
  frame.kind = vulowire::FrameKind::SetRequest;
  frame.objects.emplace_back(doutAt(200, 1, OBJ_IO_STATE_SET).clone());
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(vulowire::encodeFrame(frame, bytes));
  for (uint8_t byte : bytes) {
    ASSERT_TRUE(client.sendBytes({byte}));
  }
  EXPECT_TRUE(sim->waitForLine("dout ac-1 SET"));
}

TEST_F(VulosimNetwork, RequestsOnOneConnectionAreHandledInOrder) {
  const int kSets = 51;
  for (int i = 0; i < kSets; ++i) {
    client.set(doutAt(200, 1, i % 2 ? OBJ_IO_STATE_CLEAR : OBJ_IO_STATE_SET));
  }
  auto reply = client.fetch(doutAt(200, 1, OBJ_IO_STATE_UNKNOWN));
  ASSERT_TRUE(reply && objectAt<cObjectDOutput>(*reply, 0));
  EXPECT_EQ(objectAt<cObjectDOutput>(*reply, 0)->getOutputState(), OBJ_IO_STATE_SET);
  // The count's answer comes after every line the sets printed.
  EXPECT_EQ(sim->setCount("ac-1"), kSets);
  EXPECT_EQ(sim->countLines("dout ac-1"), static_cast<std::size_t>(kSets));
}

// A client that sends without reading must not stall the simulator.
TEST_F(VulosimNetwork, AClientThatNeverReadsDoesNotBlockOthers) {
  RawClient flooder;
  ASSERT_TRUE(flooder.connect(sim->port()));
  ASSERT_TRUE(sim->waitForLine("connected 2"));
  vulowire::Frame frame;
  frame.kind = vulowire::FrameKind::FetchRequest;
  frame.objects.emplace_back(ainAt(100, 1).clone());
  std::vector<uint8_t> burst;
  for (int i = 0; i < 2000; ++i) {
    ASSERT_TRUE(vulowire::encodeFrame(frame, burst));
  }
  // Sends until the kernel's buffers are full (the simulator has stopped
  // reading this client), checking after each burst that others are served.
  std::size_t unreadBytes = 0;
  for (int round = 0; round < 200; ++round) {
    std::size_t sent = flooder.sendWithoutWaiting(burst);
    unreadBytes += sent;
    auto reply = client.query("fan", PORT_TYPE_ANALOG_OUT);
    ASSERT_TRUE(reply) << "after " << unreadBytes << " bytes of requests whose replies are unread";
    EXPECT_EQ(reply->objects.size(), 1u);
    if (sent < burst.size()) {
      break;
    }
  }
  flooder.close();
  EXPECT_TRUE(sim->waitForLine("disconnected 1"));
  EXPECT_TRUE(sim->running());
}

}  // namespace
