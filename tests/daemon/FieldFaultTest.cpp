// The daemon when the field fails, against the simulator: a probe that
// stops reporting, a probe that reads nonsense, and a unit that runs without
// cooling. Each scenario has its settings at the top, one run, then named
// checks.
#include <gtest/gtest.h>

#include <string>

#include "DaemonSite.h"
#include "TempDir.h"

namespace {

// Lost after a second without a new value, and run safe.
const std::string kCoolWhenLost = "ProbeStaleSeconds=1\nProbeLostAction=cool\n";

std::string siteWithRoomAt(const std::string& internalCelsius) {
  std::string site = readWholeFile(kDaemonSiteFile);
  const std::string probe = "label=\"t-int\" value=\"20\"";
  site.replace(site.find(probe), probe.size(), "label=\"t-int\" value=\"" + internalCelsius + "\"");
  return site;
}

// 1. The internal probe of a cool room stops reporting: once it is lost the
//    controller is given the single-aircon pull-in, so one unit runs; a new
//    value lets the unit go.
TEST(FieldFaultTest, ALostInternalProbeRunsOneUnitUntilAValueArrives) {
  DaemonSite site(kCoolWhenLost);
  ASSERT_TRUE(site.startServer());
  ASSERT_TRUE(site.startDaemon());
  ASSERT_TRUE(site.serverSays("aout fan 0"));
  site.server().writeLine("freeze t-int");
  EXPECT_TRUE(site.daemon().waitForLine("internal probe lost: no new value for "));
  EXPECT_TRUE(site.serverSays("dout ac-1 SET"));
  site.server().writeLine("thaw t-int");  // the room's 20 degrees, as a new value
  EXPECT_TRUE(site.daemon().waitForLine("internal probe back: 20 degC goes to the controller"));
  EXPECT_TRUE(site.serverSays("dout ac-1 CLEAR"));
  nlohmann::json status =
      site.waitForStatus([](nlohmann::json s) { return s["probes"]["internal"]["lost"] == false; });
  EXPECT_EQ(status["probes"]["internal"]["lost"], false) << status;
  EXPECT_EQ(site.stopDaemon(), 0);
}

// 2. A broken wire reads -100 degrees in a room that needs cooling: the
//    value never reaches the controller, so the unit keeps running.
TEST(FieldFaultTest, AnImplausibleValueDoesNotStopTheUnit) {
  DaemonSite site;
  site.writeSiteFile(siteWithRoomAt("31"));
  ASSERT_TRUE(site.startServer());
  ASSERT_TRUE(site.startDaemon());
  ASSERT_TRUE(site.serverSays("dout ac-1 SET"));
  ASSERT_TRUE(site.setInternalTemperature(-100));
  EXPECT_TRUE(site.daemon().waitForLine(
      "internal probe implausible: -100 degC is outside -40 to 85; the controller does not get "
      "it"));
  site.daemon().pump(1000);  // the unit's minimum run is 20 passes: long over
  EXPECT_EQ(site.server().countLines("dout ac-1 CLEAR"), 0u);
  nlohmann::json status = site.waitForStatus(
      [](nlohmann::json s) { return s["probes"]["internal"]["implausible"] == true; });
  EXPECT_EQ(status["probes"]["internal"]["implausible"], true) << status;
  EXPECT_EQ(status["probes"]["internal"]["temperature"], 31.0);
  ASSERT_TRUE(site.setInternalTemperature(20));
  EXPECT_TRUE(site.daemon().waitForLine("internal probe plausible again: 20 degC"));
  EXPECT_TRUE(site.serverSays("dout ac-1 CLEAR"));
  EXPECT_EQ(site.stopDaemon(), 0);
}

// 3. The outside probe of a room cooled with outside air stops reporting:
//    once it is lost the controller is given an outside temperature that
//    keeps outside air out, so the fan falls to its lowest speed.
TEST(FieldFaultTest, ALostOutsideProbeKeepsOutsideAirOut) {
  DaemonSite site(kCoolWhenLost);
  site.writeSettings(siteSettings({{"useFreeAir", "1"}}));
  site.writeSiteFile(siteWithRoomAt("27"));
  ASSERT_TRUE(site.startServer());
  ASSERT_TRUE(site.startDaemon());
  ASSERT_TRUE(site.serverSays("aout fan 100"));  // free air: outside 15, room 27
  site.server().writeLine("freeze t-ext");
  // The room's probe keeps reporting.
  bool lost = false;
  for (int step = 0; step < 100 && !lost; ++step) {
    ASSERT_TRUE(site.setInternalTemperature(step % 2 == 0 ? 27.1 : 27.0));
    lost = site.daemon().waitForLine("external probe lost: no new value for ", 200).has_value();
  }
  ASSERT_TRUE(lost);
  EXPECT_TRUE(site.serverSays("aout fan 1"));
  for (int step = 0; step < 5; ++step) {
    ASSERT_TRUE(site.setInternalTemperature(step % 2 == 0 ? 27.1 : 27.0));
    site.daemon().pump(200);
  }
  EXPECT_EQ(site.server().ask("get fan", "value fan"), "value fan 1");
  nlohmann::json status =
      site.waitForStatus([](nlohmann::json s) { return s["probes"]["external"]["lost"] == true; });
  EXPECT_EQ(status["probes"]["external"]["lost"], true) << status;
  EXPECT_EQ(site.stopDaemon(), 0);
}

// 4. A unit that runs without cooling is called out within the time set
//    plus a minute of the room; a healthy one in the same room is not.
TEST(FieldFaultTest, AUnitThatRunsWithoutCoolingIsCalledOut) {
  for (bool failed : {true, false}) {
    SCOPED_TRACE(failed ? "failed unit" : "healthy unit");
    DaemonSite site("PassPeriodMicroseconds=1000\nAirconNoCoolingMinutes=0.02\n");
    // One 3.5 kW unit against 2 kW: it cools the room, unless it failed.
    // 1000 times faster than real time: 0.02 real minutes are 20 of the room's.
    TempDir models;
    const std::string model = models.write(
        "model.xml",
        std::string("<model><time step=\"1\" factor=\"1000\" duration=\"3600\" "
                    "startWhen=\"client\"/><room heatCapacity=\"300\" initialTemperature=\"31\"/>"
                    "<load watts=\"2000\"/><walls conductance=\"50\"/><outside min=\"25\" "
                    "max=\"25\"/><probes internal=\"t-int\" external=\"t-ext\" "
                    "resolution=\"0.1\"/><aircon number=\"1\" label=\"ac-1\" "
                    "coolingWatts=\"3500\" electricWatts=\"1300\" failed=\"") +
            (failed ? "true" : "false") + "\"/><fan label=\"fan\" airflow=\"1500\" " +
            "electricWatts=\"220\"/></model>");
    ASSERT_TRUE(site.startServer({"--model", model}));
    ASSERT_TRUE(site.startDaemon());
    ASSERT_TRUE(site.serverSays("dout ac-1 SET"));
    const auto called = site.daemon().waitForLine("aircon 1 runs without cooling", 5000);
    EXPECT_EQ(called.has_value(), failed);
    if (failed) {
      nlohmann::json status =
          site.waitForStatus([](nlohmann::json s) { return s["aircons"][0]["noCooling"] == true; });
      EXPECT_EQ(status["aircons"][0]["noCooling"], true) << status;
    }
    EXPECT_EQ(site.stopDaemon(), 0);
  }
}

}  // namespace
