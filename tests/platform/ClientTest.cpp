// The object-server client against a real TCP server in the test process.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "LoopbackServer.h"
#include "cObjectClient.h"
#include "vulowire.h"
#include "Loopback.h"

namespace {

constexpr int kWaitMs = 10000;  // generous: only a failure ever waits this long

struct Delivered {
  uint8_t msgType;
  uint8_t seqNum;
  bool eventFlag;
  std::vector<uint32_t> trendSeqNums;
  std::vector<float> values;
};

// Records what it is handed; can be held (blocked) to build up a backlog.
class RecordingListener : public cObjectListener {
 public:
  void handleObjectAction(cObjectList* message) override {
    Delivered d{message->getMsgType(), message->getSeqNum(), message->getEventFlag(), {}, {}};
    for (cObject* o = message->first(); o != nullptr; o = message->next()) {
      if (auto* trend = dynamic_cast<cObjectTrend*>(o)) {
        d.trendSeqNums.push_back(trend->getTrendSeqNum());
        d.values.push_back(trend->getCalculatedValue());
      }
    }
    std::unique_lock<std::mutex> lock(mMutex);
    mHeld.wait(lock, [&] { return !mHold; });
    if (mStopReturned) {
      ++mCallsAfterStop;
    }
    mMessages.push_back(std::move(d));
    mChanged.notify_all();
  }

  bool waitForCount(std::size_t count, int timeoutMs = kWaitMs) {
    std::unique_lock<std::mutex> lock(mMutex);
    return mChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return mMessages.size() >= count; });
  }
  std::vector<Delivered> messages() {
    std::lock_guard<std::mutex> lock(mMutex);
    return mMessages;
  }
  void hold(bool held) {
    std::lock_guard<std::mutex> lock(mMutex);
    mHold = held;
    mHeld.notify_all();
  }
  void markStopReturned() {
    std::lock_guard<std::mutex> lock(mMutex);
    mStopReturned = true;
  }
  int callsAfterStop() {
    std::lock_guard<std::mutex> lock(mMutex);
    return mCallsAfterStop;
  }

 private:
  std::mutex mMutex;
  std::condition_variable mChanged;
  std::condition_variable mHeld;
  bool mHold = false;
  bool mStopReturned = false;
  int mCallsAfterStop = 0;
  std::vector<Delivered> mMessages;
};

vulowire::Frame trendEvent(uint32_t seq, float value) {
  vulowire::Frame frame;
  frame.kind = vulowire::FrameKind::Push;
  frame.msgType = MSG_EVT;
  frame.seqNum = static_cast<uint8_t>(seq);
  frame.eventFlag = true;
  auto trend = std::make_unique<cObjectTrend>();
  trend->setTrendSeqNum(seq);
  trend->setDeviceSerial(1);
  trend->setPortId(1);
  trend->setCalculatedValue(value);
  frame.objects.push_back(std::move(trend));
  return frame;
}

template <class Port>
std::unique_ptr<Port> labelledPort(uint32_t serial, uint32_t portId, const char* label) {
  auto port = std::make_unique<Port>();
  port->setDeviceSerial(serial);
  port->setPortId(portId);
  port->setPortLabel(label);
  return port;
}

std::unique_ptr<cObjectAInput> probe(uint32_t serial, const char* label, float value) {
  auto port = labelledPort<cObjectAInput>(serial, 1, label);
  port->setCalculatedValue(value);
  return port;
}

std::unique_ptr<cObjectDOutput> relay(uint32_t serial, const char* label, eObjectIOState state) {
  auto port = labelledPort<cObjectDOutput>(serial, 2, label);
  port->setOutputState(state);
  return port;
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs = kWaitMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

cObjectList* query(cObjectClient& client, ePortType type, const char* label) {
  cObjectPort example;  // on the stack: the client must not take it
  example.setPortType(type);
  example.setPortLabel(label);
  cObjectList request;
  request.add(&example);
  return client.get(&request);
}

void release(cObjectList* list) {
  if (list != nullptr) {
    list->deleteObjects();
    delete list;
  }
}

class ClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server = std::make_unique<LoopbackServer>();
    ASSERT_TRUE(server->start());
    server->addPort(probe(10, "Internal Temp", 21.5f));
    server->addPort(probe(11, "Twin", 1.0f));
    server->addPort(probe(12, "Twin", 2.0f));
    server->addPort(relay(20, "Aircon 1", OBJ_IO_STATE_CLEAR));
    client.addListener(&listener);
    ASSERT_TRUE(client.start("127.0.0.1", server->port()));
    ASSERT_TRUE(server->waitForConnections(1));
  }

  std::unique_ptr<LoopbackServer> server;
  RecordingListener listener;
  cObjectClient client;  // declared last: stopped before the listener goes
};

}  // namespace

TEST_F(ClientTest, QueryRepliesWithZeroOneOrTwoNewPorts) {
  cObjectList* none = query(client, PORT_TYPE_ANALOG_IN, "Nowhere");
  ASSERT_NE(none, nullptr);  // an answer that matched nothing, not a failure
  EXPECT_EQ(none->size(), 0u);
  release(none);

  cObjectList* one = query(client, PORT_TYPE_ANALOG_IN, "Internal Temp");
  ASSERT_NE(one, nullptr);
  ASSERT_EQ(one->size(), 1u);
  auto* found = dynamic_cast<cObjectAInput*>(one->first());
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->getDeviceSerial(), 10u);
  EXPECT_EQ(found->getCalculatedValue(), 21.5f);
  release(one);

  cObjectList* two = query(client, PORT_TYPE_ANALOG_IN, "Twin");
  ASSERT_NE(two, nullptr);
  ASSERT_EQ(two->size(), 2u);
  EXPECT_EQ(static_cast<cObjectPort*>(two->first())->getDeviceSerial(), 11u);
  EXPECT_EQ(static_cast<cObjectPort*>(two->next())->getDeviceSerial(), 12u);
  release(two);

  cObjectList* wrongType = query(client, PORT_TYPE_DISCRETE_OUT, "Internal Temp");
  ASSERT_NE(wrongType, nullptr);
  EXPECT_EQ(wrongType->size(), 0u);
  release(wrongType);

  // A label longer than any frame cannot be asked for: no answer, and
  // nothing reaches the server.
  const std::size_t queries = server->requestCount(vulowire::FrameKind::QueryRequest);
  EXPECT_EQ(query(client, PORT_TYPE_ANALOG_IN, std::string(70000, 'x').c_str()), nullptr);
  EXPECT_EQ(server->requestCount(vulowire::FrameKind::QueryRequest), queries);
}

TEST_F(ClientTest, FetchRepliesWithANewObjectOfThePortsClassOrNull) {
  auto wanted = labelledPort<cObjectDOutput>(20, 2, "Aircon 1");
  std::unique_ptr<cObject> answer(client.get(wanted.get()));
  ASSERT_NE(answer, nullptr);
  ASSERT_NE(answer.get(), wanted.get());
  auto* output = dynamic_cast<cObjectDOutput*>(answer.get());
  ASSERT_NE(output, nullptr);
  EXPECT_EQ(output->getOutputState(), OBJ_IO_STATE_CLEAR);
  EXPECT_STREQ(output->getPortLabel(), "Aircon 1");

  cObjectAInput missing;
  missing.setDeviceSerial(99);
  EXPECT_EQ(client.get(&missing), nullptr);
}

TEST_F(ClientTest, SetsReachTheServerInTheOrderMade) {
  constexpr int kWrites = 60;
  for (int i = 0; i < kWrites; ++i) {
    if (i % 2 == 0) {
      cObjectAOutput fan;
      fan.setDeviceSerial(30);
      fan.setOutputValue(static_cast<float>(i));
      EXPECT_EQ(client.set(&fan), 0);
    } else {
      auto ac = relay(20, "Aircon 1", OBJ_IO_STATE_SET);
      EXPECT_EQ(client.set(ac.get()), 0);
      EXPECT_STREQ(ac->getPortLabel(), "Aircon 1");  // still the caller's, untouched
    }
  }
  ASSERT_TRUE(server->waitForRequests(vulowire::FrameKind::SetRequest, kWrites));
  std::vector<LoopbackServer::SetArrival> sets = server->sets();
  ASSERT_EQ(sets.size(), static_cast<std::size_t>(kWrites));
  for (int i = 0; i < kWrites; ++i) {
    if (i % 2 == 0) {
      auto* fan = dynamic_cast<const cObjectAOutput*>(sets[i].object.get());
      ASSERT_NE(fan, nullptr) << i;
      EXPECT_EQ(fan->getOutputValue(), static_cast<float>(i));
    } else {
      auto* ac = dynamic_cast<const cObjectDOutput*>(sets[i].object.get());
      ASSERT_NE(ac, nullptr) << i;
      EXPECT_EQ(ac->getOutputState(), OBJ_IO_STATE_SET);
    }
  }
}

TEST_F(ClientTest, PushesReachTheListenerInOrderWithTheirHeader) {
  constexpr uint32_t kEvents = 500;
  for (uint32_t i = 1; i <= kEvents; ++i) {
    ASSERT_TRUE(server->push(trendEvent(i, 20.0f + static_cast<float>(i) / 100)));
  }
  vulowire::Frame request;
  request.kind = vulowire::FrameKind::Push;
  request.msgType = MSG_REQ;
  request.seqNum = 7;
  ASSERT_TRUE(server->push(request));

  ASSERT_TRUE(listener.waitForCount(kEvents + 1));
  std::vector<Delivered> got = listener.messages();
  for (uint32_t i = 1; i <= kEvents; ++i) {
    const Delivered& d = got[i - 1];
    EXPECT_EQ(d.msgType, MSG_EVT);
    EXPECT_TRUE(d.eventFlag);
    EXPECT_EQ(d.seqNum, static_cast<uint8_t>(i));
    ASSERT_EQ(d.trendSeqNums.size(), 1u);
    EXPECT_EQ(d.trendSeqNums[0], i);
    EXPECT_EQ(d.values[0], 20.0f + static_cast<float>(i) / 100);
  }
  EXPECT_EQ(got.back().msgType, MSG_REQ);
  EXPECT_EQ(got.back().seqNum, 7);
  EXPECT_FALSE(got.back().eventFlag);
  EXPECT_TRUE(got.back().trendSeqNums.empty());
}

TEST_F(ClientTest, ABacklogLargerThanTheDeliveryQueueLosesNothing) {
  // While the listener is held, the delivery queue fills and the client stops
  // reading; the server's writes then wait on TCP. Nothing may be dropped.
  constexpr uint32_t kEvents = 20000;
  listener.hold(true);
  std::promise<void> pushed;
  std::thread pusher([&] {
    for (uint32_t i = 1; i <= kEvents; ++i) {
      if (!server->push(trendEvent(i, static_cast<float>(i)))) {
        break;
      }
    }
    pushed.set_value();
  });
  // Held until every frame is written, or the writes have stalled on a full
  // connection for a while; either way the client holds a full queue.
  pushed.get_future().wait_for(std::chrono::milliseconds(500));
  listener.hold(false);
  pusher.join();
  ASSERT_TRUE(listener.waitForCount(kEvents));
  std::vector<Delivered> got = listener.messages();
  ASSERT_EQ(got.size(), kEvents);
  for (uint32_t i = 1; i <= kEvents; ++i) {
    ASSERT_EQ(got[i - 1].trendSeqNums.at(0), i);
  }
  EXPECT_EQ(got.back().values.at(0), static_cast<float>(kEvents));  // the last value arrived
}

TEST_F(ClientTest, AServerThatDoesNotAnswerYieldsNullAndLaterGetsStillWork) {
  server->setAnswering(false);
  EXPECT_EQ(query(client, PORT_TYPE_ANALOG_IN, "Internal Temp"), nullptr);
  server->setAnswering(true);
  cObjectList* later = query(client, PORT_TYPE_ANALOG_IN, "Internal Temp");
  ASSERT_NE(later, nullptr);
  EXPECT_EQ(later->size(), 1u);
  release(later);
}

TEST_F(ClientTest, StopWakesAPendingGetWithNull) {
  server->setAnswering(false);
  bool gotNull = false;
  std::thread caller(
      [&] { gotNull = query(client, PORT_TYPE_ANALOG_IN, "Internal Temp") == nullptr; });
  ASSERT_TRUE(server->waitForRequests(vulowire::FrameKind::QueryRequest, 1));
  client.stop();
  caller.join();
  EXPECT_TRUE(gotNull);
  EXPECT_FALSE(client.isConnected());
  EXPECT_EQ(client.set(relay(20, "Aircon 1", OBJ_IO_STATE_SET).get()), -1);
}

TEST_F(ClientTest, NoListenerIsCalledAfterStopReturns) {
  std::thread pusher([&] {
    for (uint32_t i = 1; i <= 5000; ++i) {
      if (!server->push(trendEvent(i, 0.0f))) {
        return;
      }
    }
  });
  ASSERT_TRUE(listener.waitForCount(10));
  client.stop();
  listener.markStopReturned();
  server->dropConnection();  // frees the pusher if it is blocked on a full socket
  pusher.join();
  client.stop();  // a second stop is harmless
  EXPECT_EQ(listener.callsAfterStop(), 0);
}

TEST_F(ClientTest, ReconnectsToARestartedServerAndDeliveryGoesOn) {
  ASSERT_TRUE(server->push(trendEvent(1, 1.0f)));
  ASSERT_TRUE(listener.waitForCount(1));
  const int port = server->port();
  server->stop();
  // Writes to the dead connection fail quietly and raise no SIGPIPE.
  auto ac = relay(20, "Aircon 1", OBJ_IO_STATE_SET);
  ASSERT_TRUE(waitUntil([&] {
    client.set(ac.get());
    return !client.isConnected();
  }));
  EXPECT_EQ(query(client, PORT_TYPE_ANALOG_IN, "Internal Temp"), nullptr);  // fails at once

  server = std::make_unique<LoopbackServer>();
  ASSERT_TRUE(server->start(port));
  server->addPort(probe(10, "Internal Temp", 22.0f));
  ASSERT_TRUE(server->waitForConnections(1));
  ASSERT_TRUE(waitUntil([&] { return client.isConnected(); }));
  ASSERT_TRUE(server->push(trendEvent(2, 2.0f)));
  ASSERT_TRUE(listener.waitForCount(2));
  EXPECT_EQ(listener.messages()[1].trendSeqNums.at(0), 2u);
  cObjectList* again = query(client, PORT_TYPE_ANALOG_IN, "Internal Temp");
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->size(), 1u);
  release(again);
}

TEST_F(ClientTest, SurvivesGarbageFromTheServerAndReconnects) {
  const std::vector<std::vector<uint8_t>> garbage = {
      {'H', 'T', 'T', 'P', '/', '1', '.', '1', ' ', '2', '0', '0'},    // absurd length
      {0x10, 0x00, 0x00, 0x00, 0x01, 0x01, 0, 0, 0, 0, 3, 0, 0, 1, 0,  // unknown object type
       0x20, 0,    0,    0,    0},
      {0x0B, 0x00, 0x00, 0x00, 0x09},  // unknown version, frame incomplete
  };
  int connections = 1;
  for (const auto& bytes : garbage) {
    ASSERT_TRUE(server->sendRaw(bytes));
    ++connections;
    ASSERT_TRUE(server->waitForConnections(connections)) << "no reconnect after garbage";
    ASSERT_TRUE(waitUntil([&] { return client.isConnected(); }));
  }
  ASSERT_TRUE(server->push(trendEvent(5, 5.0f)));
  ASSERT_TRUE(listener.waitForCount(1));
  EXPECT_EQ(listener.messages()[0].trendSeqNums.at(0), 5u);
}

TEST(ClientWithoutServer, FailsAtOnceAndKeepsTrying) {
  const int port = unusedLoopbackPort();
  cObjectClient client;
  EXPECT_FALSE(client.start("127.0.0.1", port));
  EXPECT_FALSE(client.start("127.0.0.1", port));  // a second start does nothing
  EXPECT_FALSE(client.isConnected());
  EXPECT_EQ(query(client, PORT_TYPE_ANALOG_IN, "Internal Temp"), nullptr);
  cObjectAInput wanted;
  EXPECT_EQ(client.get(&wanted), nullptr);
  EXPECT_EQ(client.set(&wanted), -1);

  // The server comes up later: the background attempts find it.
  LoopbackServer late;
  ASSERT_TRUE(late.start(port));
  ASSERT_TRUE(late.waitForConnections(1));
  ASSERT_TRUE(waitUntil([&] { return client.isConnected(); }));
}

TEST(ClientWithoutServer, BadAddressesFailQuietly) {
  cObjectClient nullArguments;
  EXPECT_EQ(nullArguments.set(nullptr), -1);
  EXPECT_EQ(nullArguments.get(static_cast<cObject*>(nullptr)), nullptr);
  EXPECT_EQ(nullArguments.get(static_cast<cObjectList*>(nullptr)), nullptr);
  cObjectClient nullAddress;
  EXPECT_FALSE(nullAddress.start(nullptr, 60000));
  cObjectClient badPort;
  EXPECT_FALSE(badPort.start("127.0.0.1", 70000));
  cObjectClient neverStarted;
  neverStarted.stop();
}

TEST_F(ClientTest, StopFromAListenerEndsDeliveryWithoutDeadlock) {
  class StoppingListener : public cObjectListener {
   public:
    explicit StoppingListener(cObjectClient& client) : mClient(client) {}
    void handleObjectAction(cObjectList*) override {
      ++calls;
      mClient.stop();
    }
    std::atomic<int> calls{0};

   private:
    cObjectClient& mClient;
  };
  LoopbackServer ownServer;  // the fixture's serves one client at a time
  ASSERT_TRUE(ownServer.start());
  cObjectClient own;
  StoppingListener stopper(own);
  own.addListener(&stopper);
  ASSERT_TRUE(own.start("127.0.0.1", ownServer.port()));
  ASSERT_TRUE(ownServer.waitForConnections(1));
  ASSERT_TRUE(ownServer.push(trendEvent(1, 1.0f)));
  ASSERT_TRUE(waitUntil([&] { return stopper.calls == 1 && !own.isConnected(); }));
  ownServer.push(trendEvent(2, 2.0f));  // nobody is reading any more
  own.stop();                           // joins the delivery thread
  EXPECT_EQ(stopper.calls, 1);
}
