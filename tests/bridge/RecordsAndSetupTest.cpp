// Set-up of the device records: discovery by label, and what a set-up leaves.
#include <gtest/gtest.h>

#include "BridgeFixture.h"
#include "CqTranslator.h"
#include "LogCapture.h"
#include "aircon.h"
#include "iostub.h"

namespace {

constexpr int kInfo = 600;
constexpr int kDebug = 700;

using BridgeSetup = BridgeTest;

TEST_F(BridgeSetup, AirconNumberOtherThanOneOrTwoDoesNothing) {
  aircon* first = translator.getFirstAircon();
  aircon* second = translator.getSecondAircon();
  LogCapture log;
  EXPECT_FALSE(setupAircon("ac1", 3));
  EXPECT_FALSE(setupAircon("ac1", 0));
  EXPECT_TRUE(log.messages().empty());
  EXPECT_EQ(translator.getFirstAircon(), first);
  EXPECT_EQ(translator.getSecondAircon(), second);
  EXPECT_EQ(translator.getAirconFromNumber(0), nullptr);
  EXPECT_EQ(translator.getAirconFromNumber(3), nullptr);
}

TEST_F(BridgeSetup, FoundPortsAreKeptWithTheirLabels) {
  LogCapture log;
  ASSERT_TRUE(setupAircon("ac1", 1));
  ASSERT_TRUE(setupAircon("ac2", 2));
  ASSERT_TRUE(setupFan("fan"));
  ASSERT_TRUE(setupIntProbe("probe-int"));
  ASSERT_TRUE(setupExProbe("probe-ext"));

  aircon* first = translator.getAirconFromNumber(1);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(first->getControlPort(), nullptr);
  EXPECT_EQ(first->getControlPort()->getDeviceSerial(), 1001u);
  EXPECT_EQ(first->getControlPort()->getPortId(), 3u);
  EXPECT_STREQ(first->getControlPort()->getPortLabel(), "ac1");
  EXPECT_EQ(first->getAirconNumber(), 0);  // set-up does not number the unit
  ASSERT_NE(translator.getAirconFromNumber(2), nullptr);
  EXPECT_EQ(translator.getAirconFromNumber(2)->getControlPort()->getPortId(), 4u);
  EXPECT_EQ(translator.getFan()->getControlPort()->getPortId(), 5u);
  EXPECT_EQ(translator.getInternalProbe()->getPortId(), 1u);
  EXPECT_EQ(translator.getExternalProbe()->getPortId(), 2u);
  EXPECT_STREQ(translator.getExternalProbe()->getPortLabel(), "probe-ext");

  std::vector<LogEntry> entries = log.entries();
  auto levelOf = [&](const std::string& message) {
    for (const LogEntry& e : entries) {
      if (e.message == message) {
        return e.priority;
      }
    }
    return -1;
  };
  EXPECT_EQ(levelOf("First Aircon setup complete"), kDebug);
  EXPECT_EQ(levelOf("Second Aircon setup complete"), kDebug);
  EXPECT_EQ(levelOf("prt lbl:ac1"), kDebug);
  EXPECT_EQ(levelOf("Fan setup complete"), kInfo);
  EXPECT_EQ(levelOf("Internal temperature probe setup complete"), kInfo);
  EXPECT_EQ(levelOf("External temperature probe setup complete"), kInfo);
}

TEST_F(BridgeSetup, UnknownLabelIsTriedThreeTimesAndLeavesARecordWithoutPort) {
  ASSERT_TRUE(setupAircon("ac1", 1));
  LogCapture log;
  EXPECT_FALSE(setupIntProbe("no-such-label"));
  EXPECT_EQ(translator.getInternalProbe(), nullptr);
  // The probe discovery traces each reply: one per attempt.
  EXPECT_EQ(log.count("we have rx_out"), 3u);
  EXPECT_FALSE(log.contains("Internal temperature probe setup complete"));

  log.clear();
  EXPECT_FALSE(setupAircon("no-such-label", 2));
  ASSERT_NE(translator.getSecondAircon(), nullptr);
  EXPECT_EQ(translator.getSecondAircon()->getControlPort(), nullptr);
  EXPECT_EQ(log.messages(), std::vector<std::string>{"Second Aircon setup failed"});
  // A failed set-up touches no other device.
  ASSERT_NE(translator.getFirstAircon()->getControlPort(), nullptr);
  EXPECT_STREQ(translator.getFirstAircon()->getControlPort()->getPortLabel(), "ac1");

  log.clear();
  EXPECT_FALSE(setupFan("no-such-label"));
  ASSERT_NE(translator.getFan(), nullptr);
  EXPECT_EQ(translator.getFan()->getControlPort(), nullptr);
  EXPECT_TRUE(log.messages().empty());

  // A later set-up of the same device moves it to that outcome.
  aircon* second = translator.getSecondAircon();
  EXPECT_TRUE(setupAircon("ac2", 2));
  EXPECT_EQ(translator.getSecondAircon(), second);
  EXPECT_NE(second->getControlPort(), nullptr);
}

using Place = std::pair<uint32_t, uint32_t>;

// Device serial and port id of a port a discovery query found, {0, 0} for
// none; the query's copy is freed here.
template <class Port>
Place placeOf(Port* found) {
  std::unique_ptr<Port> port(found);
  return port ? Place(port->getDeviceSerial(), port->getPortId()) : Place(0u, 0u);
}

TEST_F(BridgeSetup, DiscoveryTakesThePortOfTheRightTypeAndPlace) {
  // A probe takes the last analogue input of its label: port 2, not port 1
  // nor the digital output 7 with the same label.
  EXPECT_EQ(placeOf(translator.getProbePortFromPortLabel("probe-dup")), Place(2001u, 2u));
  // An output takes the first port of its label.
  EXPECT_EQ(placeOf(translator.getAirconControlPortFromPortLabel("ac-dup")), Place(2001u, 3u));
  EXPECT_EQ(placeOf(translator.getFanControlPortFromPortLabel("fan-dup")), Place(2001u, 5u));
  // "ac1" is a digital output, no analogue one.
  EXPECT_EQ(placeOf(translator.getFanControlPortFromPortLabel("ac1")), Place(0u, 0u));
}

}  // namespace
