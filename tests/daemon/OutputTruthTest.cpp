// The outputs match the controller's decision across the events of a live
// site: a unit found running at start-up, a restart of the daemon, a restart
// of the object server, and sends the client refuses. The real daemon
// against the real simulator; each scenario has its settings at the top,
// one run, then named checks.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "DaemonSite.h"

namespace {

// The test site with unit 1 running and the room at `internalCelsius`.
std::string siteWithUnit1Running(const std::string& internalCelsius) {
  std::string site = readWholeFile(kDaemonSiteFile);
  const std::string probe = "label=\"t-int\" value=\"20\"";
  site.replace(site.find(probe), probe.size(), "label=\"t-int\" value=\"" + internalCelsius + "\"");
  const std::string output = "label=\"ac-1\" state=\"clear\"";
  site.replace(site.find(output), output.size(), "label=\"ac-1\" state=\"set\"");
  return site;
}

// The number in `line` right after `before`, e.g. 28.7 in "held 28.7 s".
double numberAfter(const std::string& line, const std::string& before) {
  const std::size_t at = line.find(before);
  return at == std::string::npos ? -1.0 : std::atof(line.c_str() + at + before.size());
}

class OutputTruthTest : public ::testing::Test {
 protected:
  DaemonSite site;
};

// 1. A unit found running in a cool room is switched off in the first pass,
//    and the re-poll (every second) never sets it again.
TEST_F(OutputTruthTest, AUnitFoundRunningIsSwitchedOffAndNeverReasserted) {
  site.writeSiteFile(siteWithUnit1Running("20"));
  site.writeProperties(std::string(kSiteLogProperties) + kRepollEverySecond);
  ASSERT_TRUE(site.startServer());
  ASSERT_TRUE(site.startDaemon());
  ASSERT_TRUE(site.serverSays("dout ac-1 CLEAR"));
  // Two re-polls later (each re-sends the outputs as confirmed) the unit
  // is still off.
  const long setsAfterStop = site.server().setCount("ac-1");
  for (int polls = 0; polls < 100 && site.server().setCount("ac-1") < setsAfterStop + 2; ++polls) {
    site.daemon().pump(100);
  }
  EXPECT_GE(site.server().setCount("ac-1"), setsAfterStop + 2);
  EXPECT_EQ(site.server().countLines("dout ac-1 SET"), 0u);
  nlohmann::json status = site.readStatus();
  EXPECT_EQ(status["aircons"][0]["on"], false) << status;
  EXPECT_EQ(status["aircons"][0]["decidedOn"], false);
  EXPECT_EQ(site.stopDaemon(), 0);
}

// 2. A daemon restarted right after it stopped a unit keeps what is left of
//    the unit's rest (from the record it left in the runtime directory),
//    not none and not the whole minimum off time.
TEST_F(OutputTruthTest, ADaemonRestartRightAfterAStopWaitsTheRestLeft) {
  site.writeSiteFile(siteWithUnit1Running("31"));
  site.writeProperties(std::string(kSiteLogProperties) + "AirconMinimumOffSeconds=30\n");
  ASSERT_TRUE(site.startServer());
  ASSERT_TRUE(site.startDaemon());
  ASSERT_TRUE(site.daemon().waitForLine("rest record "));  // none yet: the first start
  ASSERT_TRUE(site.setInternalTemperature(20));
  ASSERT_TRUE(site.serverSays("dout ac-1 CLEAR"));
  ASSERT_EQ(site.stopDaemon(), 0);
  // Down for a second at least: the rest left then tells from a whole one.
  site.server().pump(1000);

  ASSERT_TRUE(site.setInternalTemperature(31));
  ASSERT_TRUE(site.startDaemon());
  const auto record = site.daemon().waitForLine("rest record ");
  ASSERT_TRUE(record.has_value());
  const double offFor = numberAfter(*record, "unit 1 off for ");
  const double left = numberAfter(*record, " s, ");
  EXPECT_GE(offFor, 1.0) << *record;
  EXPECT_NEAR(offFor + left, 30.0, 0.011) << *record;
  const auto held = site.daemon().waitForLine("aircon 1 start held ");
  ASSERT_TRUE(held.has_value());
  EXPECT_LE(numberAfter(*held, "held "), left + 0.05) << *held;
  EXPECT_EQ(site.server().countLines("dout ac-1 SET"), 0u);
  EXPECT_EQ(site.stopDaemon(), 0);
}

// 3. An object server that restarts holds the outputs clear: the running
//    unit is taken as stopped then and rests its minimum off time before it
//    is set again, however often the re-poll comes.
TEST_F(OutputTruthTest, AServerRestartWaitsTheRest) {
  site.writeSiteFile(siteWithUnit1Running("31"));
  site.writeProperties(std::string(kSiteLogProperties) + kRepollEverySecond +
                       "AirconMinimumOffSeconds=30\n");
  ASSERT_TRUE(site.startServer());
  ASSERT_TRUE(site.startDaemon());
  ASSERT_TRUE(site.serverSays("connected 1"));
  ASSERT_TRUE(site.daemon().waitForLine("rest record "));
  site.killServer();
  site.writeSiteFile(readWholeFile(kDaemonSiteFile));  // clear, and a cool room
  ASSERT_TRUE(site.restartServer());
  ASSERT_TRUE(site.setInternalTemperature(31));
  ASSERT_TRUE(site.daemon().waitForLine("object server connected again"));
  const auto held = site.daemon().waitForLine("aircon 1 start held ");
  ASSERT_TRUE(held.has_value());
  EXPECT_GT(numberAfter(*held, "held "), 29.0) << *held;
  // A few re-polls later, still no start.
  site.daemon().pump(2500);
  EXPECT_EQ(site.server().countLines("dout ac-1 SET"), 0u);
  nlohmann::json status = site.readStatus();
  EXPECT_EQ(status["aircons"][0]["decidedOn"], true) << status;
  EXPECT_EQ(status["aircons"][0]["startHeld"], true);
  EXPECT_GT(status["aircons"][0]["restLeftSeconds"], 0.0);
  EXPECT_EQ(site.stopDaemon(), 0);
}

// 4. A stop decided while the client refuses every send (the server is
//    down) is tried in every pass and goes out once the server is back:
//    one line when sends start failing, one when they go out again.
TEST_F(OutputTruthTest, ARefusedSendIsTriedUntilItGoesOut) {
  site.writeSiteFile(siteWithUnit1Running("31"));
  // The unit's minimum run (5 s) ends while the server is down.
  site.writeProperties(std::string(kSiteLogProperties) + "PassPeriodMicroseconds=10000\n");
  site.writeConstants(siteConstants({{"aircon1MinimumRunTimeValue", "500"}}));
  ASSERT_TRUE(site.startServer());
  ASSERT_TRUE(site.startDaemon());
  ASSERT_TRUE(site.daemon().waitForLine("mode no cooling -> single aircon"));
  ASSERT_TRUE(site.setInternalTemperature(20));
  site.killServer();
  ASSERT_TRUE(site.daemon().waitForLine(
      "aircon 1: the object-server client refused the send; trying again every pass",
      DaemonSite::kWaitMs));
  ASSERT_TRUE(site.restartServer());
  ASSERT_TRUE(site.daemon().waitForLine("aircon 1: sends go out again"));
  for (int tries = 0; tries < 100 && site.server().setCount("ac-1") < 1; ++tries) {
    site.daemon().pump(100);
  }
  EXPECT_GE(site.server().setCount("ac-1"), 1);
  EXPECT_EQ(site.daemon().countLines("aircon 1: the object-server client refused the send"), 1u);
  EXPECT_EQ(site.stopDaemon(), 0);
}

}  // namespace
