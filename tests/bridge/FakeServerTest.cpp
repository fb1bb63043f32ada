// Discovery against replies the simulator never gives, a server that is not
// there, and a translator destroyed while messages keep arriving. Each test
// uses a translator of its own, connected to a scripted server.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "CqTranslator.h"
#include "LogCapture.h"
#include "LoopbackServer.h"
#include "Loopback.h"

namespace {

using vulowire::Frame;
using vulowire::FrameKind;

// A translator of its own on `port`. Constructing one reconfigures logging,
// so log captures are started after it.
std::unique_ptr<CqTranslator> translatorOn(int port) {
  const char* previous = std::getenv("VULOD_PORT");
  const std::string saved = previous != nullptr ? previous : "";
  ::setenv("VULOD_PORT", std::to_string(port).c_str(), 1);
  auto translator = std::make_unique<CqTranslator>();
  if (saved.empty()) {
    ::unsetenv("VULOD_PORT");
  } else {
    ::setenv("VULOD_PORT", saved.c_str(), 1);
  }
  return translator;
}

// What set-up made lives as long as the process in the daemon; a test's own
// translator hands it back here, after the translator (and its client) is
// gone.
struct SetUpObjects {
  explicit SetUpObjects(CqTranslator& t)
      : internal(t.getInternalProbe()),
        external(t.getExternalProbe()),
        first(t.getFirstAircon()),
        second(t.getSecondAircon()),
        fan(t.getFan()) {}
  ~SetUpObjects() {
    delete internal;
    delete external;
    for (aircon* unit : {first, second}) {
      if (unit != nullptr) {
        delete unit->getControlPort();
        delete unit;
      }
    }
    if (fan != nullptr) {
      delete fan->getControlPort();
      delete fan;
    }
  }
  cObjectAInput* internal;
  cObjectAInput* external;
  aircon* first;
  aircon* second;
  Fan* fan;
};

// A port object of the class that goes with `type`.
std::unique_ptr<cObjectPort> portOfType(ePortType type, uint32_t portId) {
  std::unique_ptr<cObjectPort> port;
  switch (type) {
    case PORT_TYPE_ANALOG_IN:
      port = std::make_unique<cObjectAInput>();
      break;
    case PORT_TYPE_ANALOG_OUT:
      port = std::make_unique<cObjectAOutput>();
      break;
    default:
      port = std::make_unique<cObjectDOutput>();
      break;
  }
  port->setDeviceSerial(7);
  port->setPortId(portId);
  port->setPortLabel("fake");
  return port;
}

const cObjectPort* firstPortOf(const Frame& request) {
  return request.objects.empty() ? nullptr
                                 : dynamic_cast<const cObjectPort*>(request.objects[0].get());
}

// Answers a query with two ports of the asked type (ids 1 and 2),
// optionally after a bare event object, and a fetch with the port asked for.
void answerTwoPorts(const Frame& request, Frame& reply, bool leadWithNonPort) {
  const cObjectPort* asked = firstPortOf(request);
  if (asked == nullptr) {
    return;
  }
  if (request.kind == FrameKind::QueryRequest) {
    if (leadWithNonPort) {
      reply.objects.push_back(std::make_unique<cObject>(OBJ_EVENT));
    }
    reply.objects.push_back(portOfType(asked->getPortType(), 1));
    reply.objects.push_back(portOfType(asked->getPortType(), 2));
  } else {
    reply.objects.emplace_back(asked->clone());
  }
}

TEST(BridgeFakeServer, ReplyStartingWithSomethingElseThanAPortYieldsNoPort) {
  for (bool leadWithNonPort : {false, true}) {
    LoopbackServer server;
    ASSERT_TRUE(server.start());
    server.script([&](const Frame& request, Frame& reply) {
      answerTwoPorts(request, reply, leadWithNonPort);
    });
    auto translator = translatorOn(server.port());
    cObjectDOutput* unit = translator->getAirconControlPortFromPortLabel("fake");
    cObjectAOutput* fan = translator->getFanControlPortFromPortLabel("fake");
    cObjectAInput* probe = translator->getProbePortFromPortLabel("fake");
    if (leadWithNonPort) {
      EXPECT_EQ(unit, nullptr);
      EXPECT_EQ(fan, nullptr);
      EXPECT_EQ(probe, nullptr);
      EXPECT_EQ(server.requestCount(FrameKind::FetchRequest), 0u);
    } else {
      // The same ports without the leading object are found: the first
      // output, the last probe.
      ASSERT_NE(unit, nullptr);
      ASSERT_NE(fan, nullptr);
      ASSERT_NE(probe, nullptr);
      EXPECT_EQ(unit->getPortId(), 1u);
      EXPECT_EQ(fan->getPortId(), 1u);
      EXPECT_EQ(probe->getPortId(), 2u);
      EXPECT_EQ(server.requestCount(FrameKind::FetchRequest), 4u);
    }
    delete unit;
    delete fan;
    delete probe;
  }
}

TEST(BridgeFakeServer, FailedFetchEndsTheWalkWithNoPort) {
  // Fetches of port 2 find nothing; fetches of a digital output are
  // answered with an analogue input.
  LoopbackServer server;
  ASSERT_TRUE(server.start());
  server.script([](const Frame& request, Frame& reply) {
    const cObjectPort* asked = firstPortOf(request);
    if (request.kind == FrameKind::FetchRequest && asked != nullptr) {
      if (asked->getPortId() == 2) {
        return;
      }
      if (asked->getPortType() == PORT_TYPE_DISCRETE_OUT) {
        reply.objects.push_back(portOfType(PORT_TYPE_ANALOG_IN, asked->getPortId()));
        return;
      }
    }
    answerTwoPorts(request, reply, false);
  });
  auto translator = translatorOn(server.port());
  LogCapture log;

  // The probe walk fetched port 1, then failed on port 2: no result.
  EXPECT_EQ(translator->getProbePortFromPortLabel("fake"), nullptr);
  EXPECT_EQ(log.take(),
            (std::vector<std::string>{"we have rx_out", "The Return Probe Port is NULL"}));
  EXPECT_EQ(server.requestCount(FrameKind::FetchRequest), 2u);

  // An answer of another class is no port either, on every attempt.
  EXPECT_FALSE(translator->setupFirstAircon("fake"));
  EXPECT_EQ(log.count("The Return Aircon Port is NULL"), 3u);
  EXPECT_TRUE(log.contains("First Aircon setup failed"));
  EXPECT_FALSE(log.contains("found ROP"));
  SetUpObjects made(*translator);
  translator.reset();
}

TEST(BridgeFakeServer, WithoutAServerEveryAttemptGetsNoReply) {
  const int port = unusedLoopbackPort();
  ASSERT_NE(port, 0);
  auto translator = translatorOn(port);
  LogCapture log;
  EXPECT_FALSE(translator->setupFirstAircon("ac1"));
  EXPECT_FALSE(translator->setupFan("fan"));
  EXPECT_FALSE(translator->setupInternalProbe("probe-int"));
  EXPECT_EQ(log.count("Aircon port Label returns NULL"), 3u);
  EXPECT_EQ(log.count("Fan port Label returns NULL"), 3u);
  EXPECT_EQ(log.count("Probe port Label returns NULL"), 3u);
  EXPECT_TRUE(log.contains("First Aircon setup failed"));
  SetUpObjects made(*translator);
  translator.reset();
}

// A trend event delivered while a probe's read is out is newer than the
// read's answer: the answer must not replace it. The server pushes the trend
// ahead of its answer and sends the answer only once the trend is stored.
TEST(BridgeFakeServer, ATrendDeliveredWhileAReadIsOutWins) {
  constexpr float kPolled = 20.0f;
  constexpr float kPushed = 25.0f;
  std::atomic<cObjectAInput*> internal{nullptr};
  LoopbackServer server;
  ASSERT_TRUE(server.start());
  server.script([&](const Frame& request, Frame& reply) {
    const cObjectPort* asked = firstPortOf(request);
    if (request.kind != FrameKind::FetchRequest || asked == nullptr) {
      return;
    }
    if (asked->getPortId() == 1 && server.pushTrend(7, 1, kPushed, 0xfff00001u)) {
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
      while (internal.load()->getCalculatedValue() != kPushed &&
             std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    }
    auto answer = std::make_unique<cObjectAInput>();
    answer->setDeviceSerial(7);
    answer->setPortId(asked->getPortId());
    answer->setCalculatedValue(kPolled);
    reply.objects.push_back(std::move(answer));
  });
  auto translator = translatorOn(server.port());
  for (uint32_t portId : {1u, 2u}) {
    auto* probe = new cObjectAInput();
    probe->setDeviceSerial(7);
    probe->setPortId(portId);
    probe->setPortType(PORT_TYPE_ANALOG_IN);
    probe->setPortLabel("fake");
    (portId == 1 ? translator->setInternalProbe(probe) : translator->setExternalProbe(probe));
  }
  internal.store(translator->getInternalProbe());
  SetUpObjects made(*translator);

  translator->readProbeValues();
  EXPECT_EQ(translator->getInternalProbe()->getCalculatedValue(), kPushed);
  EXPECT_EQ(translator->getExternalProbe()->getCalculatedValue(), kPolled);
  translator.reset();
}

TEST(BridgeFakeServer, DestroyedTranslatorGetsNoMoreMessages) {
  LoopbackServer server;
  ASSERT_TRUE(server.start());
  server.script([](const Frame& request, Frame& reply) { answerTwoPorts(request, reply, false); });
  auto translator = translatorOn(server.port());
  ASSERT_TRUE(translator->setupInternalProbe("fake"));
  SetUpObjects made(*translator);
  // Trend events for serial 7, port 1 (the probe walk took port 2), valued
  // by their number, one after the other until the end.
  struct Stream {
    LoopbackServer& server;
    std::atomic<bool> pushing{true};
    std::thread thread{[this] {
      for (uint32_t seq = 1; pushing.load(); ++seq) {
        server.pushTrend(7, 1, static_cast<float>(seq), seq);
        std::this_thread::yield();  // lets the server thread at the socket too
      }
    }};
    ~Stream() {
      pushing.store(false);
      thread.join();
    }
  } stream{server};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (lastTrend.load() < 100 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_GE(lastTrend.load(), 100u);  // messages are flowing
  // Destroyed while pushes keep coming; a delivery into the destroyed
  // object would be caught by the address sanitizer.
  translator.reset();
}

}  // namespace
