// The real daemon started on hostile configuration files at once: it says
// what it refused, keeps running, and controls with what it could read.
// What the readers make of each kind of hostile file is tested in-process
// (ConfigAttackTest).
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "DaemonSite.h"

namespace {

// Properties (also the logging configuration): 256 KB of random bytes.
// Constants: entity references that would expand to 10^12 bytes. Settings
// and site: every port labelled with 10,000 characters (discovery, the
// first poll and actuation carry them; the probe starts hot, as the
// simulator's console takes no line that long).
TEST(HostileFilesTest, TheDaemonSurvivesHostileFilesAndSaysSo) {
  std::mt19937 random(3);
  std::string properties(256 * 1024, '\0');
  for (char& byte : properties) {
    byte = static_cast<char>(random());
  }
  std::string bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE config [ <!ENTITY a \"" +
                     std::string(10000, 'y') + "\"> <!ENTITY b \"";
  for (int i = 0; i < 10000; ++i) {
    bomb += "&a;";
  }
  bomb += "\"> ]>\n<config><coolingPullIn>";
  for (int i = 0; i < 10000; ++i) {
    bomb += "&b;";
  }
  bomb += "</coolingPullIn></config>\n";
  auto label = [](char c) { return std::string(10000, c); };
  auto port = [](const std::string& idAndType, const std::string& label, const std::string& rest) {
    return "<port " + idAndType + " label=\"" + label + "\" " + rest + "/>";
  };
  DaemonSite site;
  site.writeProperties(properties);
  site.writeConstantsText(bomb);
  site.writeSiteFile(
      "<site><device serial=\"1001\">" + port("id=\"1\" type=\"ain\"", label('i'), "value=\"31\"") +
      port("id=\"2\" type=\"ain\"", label('e'), "value=\"15\"") +
      "</device><device serial=\"2002\">" +
      port("id=\"1\" type=\"dout\"", label('a'), "state=\"clear\"") +
      port("id=\"3\" type=\"aout\"", label('f'), "value=\"50\"") + "</device></site>");
  site.writeSettingsText("<config><internalProbeLabel>" + label('i') +
                         "</internalProbeLabel><externalProbeLabel>" + label('e') +
                         "</externalProbeLabel><aircon><number>1</number><label>" + label('a') +
                         "</label></aircon><fan><label>" + label('f') + "</label></fan></config>");
  ASSERT_TRUE(site.startServer());
  ASSERT_TRUE(site.startDaemon());

  // What it refused and why, in the order it says so; every port found by
  // its long label.
  EXPECT_TRUE(site.daemon().waitForLine("Failed to open xml file", DaemonSite::kWaitMs));
  for (const std::string& line :
       {std::string("logging to stderr at INFO"),
        std::string("Internal temperature probe setup complete"),
        std::string("External temperature probe setup complete"), std::string("Fan setup complete"),
        site.etcDir() + "/" + kConstantsFile + ": entity references expand"}) {
    EXPECT_TRUE(site.daemon().waitForLine(line, DaemonSite::kWaitMs, ChildProcess::kStderr))
        << line;
  }
  // Without constants (all thresholds 0) the hot probe means emergency
  // with no air conditioner counted: the fan at full speed.
  EXPECT_TRUE(site.serverSays("aout " + label('f') + " 100"));
  EXPECT_TRUE(site.daemon().running());
  EXPECT_EQ(site.stopDaemon(), 0);
}

}  // namespace
