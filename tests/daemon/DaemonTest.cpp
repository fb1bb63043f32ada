// The real daemon against the real simulator: numbered scenarios, each with
// its settings at the top, one run, then named checks.
#include <gtest/gtest.h>

#include <signal.h>

#include <cstdlib>
#include <ctime>
#include <sstream>

#include "DaemonSite.h"

namespace {

class DaemonTest : public ::testing::Test {
 protected:
  void start() {
    ASSERT_TRUE(site.startServer());
    ASSERT_TRUE(site.startDaemon());
    ASSERT_TRUE(site.serverSays("connected 1"));
  }

  // The status file the daemon left names it, the time of its last write
  // and the state it was in then.
  void expectLastStatus(const std::string& state) {
    nlohmann::json status = site.readStatus();
    EXPECT_EQ(status["state"], state) << status;
    EXPECT_EQ(status["pid"], site.daemon().pid());
    ASSERT_TRUE(status["writtenAtUnixSeconds"].is_number());
    EXPECT_LE(std::labs(status["writtenAtUnixSeconds"].get<long>() - std::time(nullptr)), 60);
  }

  // The site with both units configured: `settingsXml` after the ports'
  // labels, `constants` over the site's constants.
  void writeTwoUnitSite(const std::string& settingsXml, ConfigElements constants = {}) {
    site.writeSettingsText(
        "<config><internalProbeLabel>t-int</internalProbeLabel>"
        "<externalProbeLabel>t-ext</externalProbeLabel>"
        "<aircon><number>1</number><label>ac-1</label></aircon>"
        "<aircon><number>2</number><label>ac-2</label></aircon>"
        "<fan><label>fan</label></fan>" +
        settingsXml + "</config>");
    constants["numberOfAircons"] = "2";
    site.writeConstants(siteConstants(constants));
  }

  DaemonSite site;
};

// 1. All five ports are found; a probe change switches the air conditioner
//    on, and a later one switches it off after its minimum run time.
TEST_F(DaemonTest, ProbeChangesSwitchTheAirconOnAndOff) {
  start();
  // No cooling at 20 degrees: the fan is written with 0, once set-up is over.
  EXPECT_TRUE(site.serverSays("aout fan 0"));
  for (const char* found : {"Internal temperature probe setup complete",
                            "External temperature probe setup complete", "Fan setup complete"}) {
    EXPECT_EQ(site.daemon().countLines(found), 1u) << found;
  }
  site.server().writeLine("ain t-int 31");
  EXPECT_TRUE(site.serverSays("dout ac-1 SET"));
  site.server().writeLine("ain t-int 20");
  EXPECT_TRUE(site.serverSays("dout ac-1 CLEAR"));
  EXPECT_EQ(site.stopDaemon(), 0);
}

// 2. Rotation: the unit that cools alone alternates between cycles.
TEST_F(DaemonTest, RotationAlternatesTheUnits) {
  writeTwoUnitSite("<airconRotation>1</airconRotation>");
  start();
  site.server().writeLine("ain t-int 31");
  EXPECT_TRUE(site.serverSays("dout ac-2 SET"));  // the first role starts on unit 2
  site.server().writeLine("ain t-int 20");
  EXPECT_TRUE(site.serverSays("dout ac-2 CLEAR"));
  site.server().writeLine("ain t-int 31");
  EXPECT_TRUE(site.serverSays("dout ac-1 SET"));
  site.server().writeLine("ain t-int 20");
  EXPECT_TRUE(site.serverSays("dout ac-1 CLEAR"));
  EXPECT_EQ(site.server().countLines("dout ac-2 SET"), 1u);
  EXPECT_EQ(site.stopDaemon(), 0);
}

// 3. Emergency at start-up: the second pass switches unit 2, then unit 1.
//    SIGINT ends it cleanly, and its last status says it stopped.
TEST_F(DaemonTest, EmergencyAtStartRunsBothUnits) {
  writeTwoUnitSite("");
  ASSERT_TRUE(site.startServer());
  site.server().writeLine("ain t-int 45");
  ASSERT_TRUE(site.server().ask("get t-int", "value t-int") == "value t-int 45");
  ASSERT_TRUE(site.startDaemon());
  ASSERT_TRUE(site.serverSays("dout ac-2 SET"));
  ASSERT_TRUE(site.serverSays("dout ac-1 SET"));  // after unit 2
  EXPECT_EQ(site.stopDaemon(SIGINT), 0);
  expectLastStatus("stopped");
}

// 4. A probe the site does not have: the daemon idles, sends nothing, and
//    a stop signal ends it at once without waiting out its sleep. Its last
//    status says it stopped.
TEST_F(DaemonTest, IncompleteSetupIdlesAndStopsAtOnce) {
  site.writeSettings(siteSettings({{"internalProbeLabel", "no-such-probe"}}));
  start();
  EXPECT_TRUE(site.daemon().waitForLine("Missing probe... setup incomplete"));
  EXPECT_TRUE(site.daemon().waitForLine("doing nothing"));
  // A fetch round trip after the daemon's only poll: nothing was set.
  EXPECT_EQ(site.server().setCount("fan"), 0);
  EXPECT_EQ(site.server().setCount("ac-1"), 0);
  site.daemon().sendSignal(SIGTERM);
  auto status = site.daemon().wait(1900);  // less than one idle sleep
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(*status, 0);
  expectLastStatus("stopped");
}

// 5. Every configuration file missing: one message each, the daemon stays
//    up (idle) and stops cleanly.
TEST_F(DaemonTest, MissingFilesAreReportedAndTheDaemonKeepsGoing) {
  site.removeEtcFile("frigel.conf");
  site.removeEtcFile("frigel/frigelconfig.xml");
  site.removeEtcFile("frigel/frigelConstants.xml");
  start();
  EXPECT_TRUE(
      site.daemon().waitForLine("Failed to load input file " + site.etcDir() + "/frigel.conf"));
  EXPECT_TRUE(site.daemon().waitForLine("Failed to open xml file"));
  EXPECT_TRUE(site.daemon().waitForLine("Failed to open xml file"));
  EXPECT_TRUE(site.daemon().running());
  EXPECT_EQ(site.stopDaemon(), 0);
}

// 6. Exact pacing, the operator's log and status: a probe change switches
//    the unit at once, the mode change is logged with both temperatures and
//    the status file shows the unit running; after SIGTERM, that it stopped.
TEST_F(DaemonTest, ExactPacingLogsModeChangesAndWritesTheStatus) {
  site.writeProperties(std::string(kSiteLogProperties) + "PassPeriodMicroseconds=500\n");
  start();
  EXPECT_TRUE(site.daemon().waitForLine("parameter aircon1PullIn = 30 degC"));
  EXPECT_TRUE(site.daemon().waitForLine("PassPeriodMicroseconds 500 is below 1000; using 1000"));
  site.server().writeLine("ain t-int 31");
  EXPECT_TRUE(site.serverSays("dout ac-1 SET"));
  EXPECT_TRUE(
      site.daemon().waitForLine("mode no cooling -> single aircon (internal 31.0, external 15.0)"));
  nlohmann::json status;
  for (int attempt = 0; attempt < 100 && status["aircons"][0]["on"] != true; ++attempt) {
    site.daemon().pump(50);
    status = site.readStatus();
  }
  EXPECT_EQ(status["mode"], "single aircon") << status;
  EXPECT_EQ(status["aircons"][0]["starts"], 1);
  EXPECT_EQ(site.stopDaemon(), 0);
  expectLastStatus("stopped");
}

// 7. The minimum off time: an emergency right after the unit stopped calls
//    it at once; the start is held (nothing reaches the server) and goes
//    out once the unit has rested.
TEST_F(DaemonTest, AStartSoonAfterAStopWaitsForTheMinimumOffTime) {
  site.writeProperties(std::string(kSiteLogProperties) + "AirconMinimumOffSeconds=1.5\n");
  start();
  EXPECT_TRUE(site.daemon().waitForLine(
      "air conditioners rest at least 1.5 s between runs (AirconMinimumOffSeconds)"));
  site.server().writeLine("ain t-int 31");
  ASSERT_TRUE(site.serverSays("dout ac-1 SET"));
  site.server().writeLine("ain t-int 20");
  ASSERT_TRUE(site.serverSays("dout ac-1 CLEAR"));
  site.server().writeLine("ain t-int 45");
  ASSERT_TRUE(site.daemon().waitForLine("aircon 1 start held "));
  EXPECT_EQ(site.server().countLines("dout ac-1 SET"), 1u) << "the start is held";
  EXPECT_TRUE(site.serverSays("dout ac-1 SET"));
  EXPECT_EQ(site.stopDaemon(), 0);
}

// 8. Two hot hours of a simulated room: the daemon holds it below the
//    emergency level, and needs both units for it.
TEST_F(DaemonTest, SimulatedHotHoursAreHeldWithBothUnits) {
  // One pass is one simulated second (1 ms at a factor of 1000).
  writeTwoUnitSite(
      "<useFreeAir>1</useFreeAir><airconRotation>1</airconRotation>"
      "<goalTemperature>27</goalTemperature>",
      {{"aircon1MinimumRunTimeValue", "300"},
       {"aircon2MinimumRunTimeValue", "300"},
       {"airconRunTimeAfterDropOutValue", "600"},
       {"fanMinimumRunTimePreCoolingValue", "180"},
       {"fanMinimumRunTimePreAirconValue", "300"},
       {"fanRampDownTimeValue", "120"}});
  site.writeProperties("PassPeriodMicroseconds=1000\n");
  ASSERT_TRUE(site.startServer({"--model", FRIGEL_TEST_DATA_DIR "/daemon-model.xml"}));
  ASSERT_TRUE(site.startDaemon());
  auto ended = site.server().wait(60000);  // the model ends the run itself
  ASSERT_TRUE(ended.has_value());
  EXPECT_EQ(*ended, 0);
  auto summaryValue = [&](const std::string& prefix, int field) {
    for (const std::string& line : site.server().history()) {
      if (line.rfind(prefix, 0) == 0) {
        std::istringstream words(line.substr(prefix.size()));
        std::string word;
        for (int i = 0; i <= field; ++i) {
          words >> word;
        }
        return std::stod(word);
      }
    }
    ADD_FAILURE() << "no line " << prefix;
    return -1.0;
  };
  // "summary internal min A mean B max C C"
  EXPECT_LT(summaryValue("summary internal ", 5), 40.0);
  // "summary aircon N run H h starts S energy E kWh" (not the unit's cycling line)
  EXPECT_GT(summaryValue("summary aircon 1 run ", 0), 0.0);
  EXPECT_GT(summaryValue("summary aircon 2 run ", 0), 0.0);
  EXPECT_EQ(site.stopDaemon(), 0);
}

}  // namespace
