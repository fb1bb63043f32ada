// The real daemon started on hostile configuration files: it never crashes
// or hangs, says what it refused, reads nothing outside its files, and
// controls normally whenever the files still describe a usable site.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "DaemonSite.h"

namespace {

// The daemon came up with its site incomplete: it idles, sets nothing, and
// a stop signal still ends it at once with status 0.
void expectIdleAndStoppable(DaemonSite& site) {
  EXPECT_TRUE(site.daemon().waitForLine("setup incomplete", DaemonSite::kWaitMs));
  EXPECT_EQ(site.server().setCount("fan"), 0);
  EXPECT_EQ(site.server().setCount("ac-1"), 0);
  EXPECT_EQ(site.stopDaemon(), 0);
}

// The daemon controls: a hot probe switches the air conditioner on.
void expectControl(DaemonSite& site) {
  site.server().writeLine("ain t-int 31");
  EXPECT_TRUE(site.serverSays("dout ac-1 SET"));
  EXPECT_EQ(site.stopDaemon(), 0);
}

// An external entity in the internal probe's label names a file whose
// content is the label of a real probe. Were it read, the daemon would find
// that probe and start controlling; it must not.
TEST(HostileFilesTest, ExternalEntityNeverReachesTheServer) {
  DaemonSite site(kRepollEverySecond);
  std::string secret = site.writeEtcFile("frigel/secret.txt", "t-int");
  site.writeSettingsText(
      "<?xml version=\"1.0\"?>\n"
      "<!DOCTYPE config [ <!ENTITY relative SYSTEM \"secret.txt\">"
      " <!ENTITY absolute SYSTEM \"" +
      secret +
      "\"> ]>\n"
      "<config><internalProbeLabel>&relative;</internalProbeLabel>"
      "<externalProbeLabel>&absolute;</externalProbeLabel>"
      "<aircon><number>1</number><label>ac-1</label></aircon></config>\n");
  ASSERT_TRUE(site.startServer());
  ASSERT_TRUE(site.startDaemon());
  expectIdleAndStoppable(site);
}

// Two levels of entities that would expand to 10^12 bytes: the file is
// refused with a message, and the daemon idles instead of eating memory.
TEST(HostileFilesTest, EntityExpansionBombIsRefused) {
  std::string bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE config [ <!ENTITY a \"" +
                     std::string(10000, 'y') + "\"> <!ENTITY b \"";
  for (int i = 0; i < 10000; ++i) {
    bomb += "&a;";
  }
  bomb += "\"> ]>\n<config><internalProbeLabel>";
  for (int i = 0; i < 10000; ++i) {
    bomb += "&b;";
  }
  bomb += "</internalProbeLabel></config>\n";
  DaemonSite site(kRepollEverySecond);
  site.writeSettingsText(bomb);
  ASSERT_TRUE(site.startServer());
  ASSERT_TRUE(site.startDaemon());
  EXPECT_TRUE(site.daemon().waitForLine("Failed to open xml file", DaemonSite::kWaitMs));
  EXPECT_TRUE(site.daemon().waitForLine("entity references expand", DaemonSite::kWaitMs,
                                        ChildProcess::kStderr));
  expectIdleAndStoppable(site);
}

// Settings nested 10,000 elements deep: reported, not followed.
TEST(HostileFilesTest, DeeplyNestedSettingsAreReported) {
  std::string deep;
  for (int i = 0; i < 10000; ++i) {
    deep += "<n>";
  }
  for (int i = 0; i < 10000; ++i) {
    deep += "</n>";
  }
  DaemonSite site(kRepollEverySecond);
  site.writeSettingsText(configXml(siteSettings(), deep));
  ASSERT_TRUE(site.startServer());
  ASSERT_TRUE(site.startDaemon());
  EXPECT_TRUE(site.daemon().waitForLine("Failed to open xml file", DaemonSite::kWaitMs));
  expectIdleAndStoppable(site);
}

// A 10 MB settings file (the real elements among 10 MB of others) is read
// and the daemon controls.
TEST(HostileFilesTest, TenMegabyteSettingsAreRead) {
  std::string filler;
  while (filler.size() < 10u * 1024 * 1024) {
    filler += "<comment>a site note that the daemon does not use</comment>\n";
  }
  DaemonSite site(kRepollEverySecond);
  site.writeSettingsText(configXml(siteSettings(), filler));
  ASSERT_TRUE(site.startServer());
  ASSERT_TRUE(site.startDaemon());
  ASSERT_TRUE(site.serverSays("aout fan 0"));
  expectControl(site);
}

// Every port labelled with 10,000 characters, in the site and in the
// settings: discovery, the first poll and actuation all carry them. (The
// probe starts hot: the simulator's console takes no line that long, and
// trend events carry no label anyway.)
TEST(HostileFilesTest, TenThousandCharacterLabelsWork) {
  auto label = [](char c) { return std::string(10000, c); };
  auto port = [](const std::string& idAndType, const std::string& label, const std::string& rest) {
    return "<port " + idAndType + " label=\"" + label + "\" " + rest + "/>";
  };
  DaemonSite site(kRepollEverySecond);
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
  EXPECT_TRUE(site.serverSays("dout " + label('a') + " SET"));
  EXPECT_TRUE(site.serverSays("aout " + label('f') + " 0"));
  EXPECT_EQ(site.stopDaemon(), 0);
}

// A label longer than a whole wire frame cannot even be asked for: the
// probe is not found and the daemon idles.
TEST(HostileFilesTest, LabelLongerThanAFrameIsNotFound) {
  DaemonSite site(kRepollEverySecond);
  site.writeSettingsText("<config><internalProbeLabel>" + std::string(70000, 'x') +
                         "</internalProbeLabel><externalProbeLabel>t-ext</externalProbeLabel>"
                         "<fan><label>fan</label></fan></config>");
  ASSERT_TRUE(site.startServer());
  ASSERT_TRUE(site.startDaemon());
  expectIdleAndStoppable(site);
}

// A properties file (also the logging configuration) of random bytes: the
// daemon logs to its fallback and controls as usual.
TEST(HostileFilesTest, BinaryPropertiesFileIsSurvived) {
  std::mt19937 random(3);
  std::string bytes(256 * 1024, '\0');
  for (char& byte : bytes) {
    byte = static_cast<char>(random());
  }
  DaemonSite site(kRepollEverySecond);
  site.writeProperties(bytes);
  ASSERT_TRUE(site.startServer());
  ASSERT_TRUE(site.startDaemon());
  ASSERT_TRUE(site.serverSays("aout fan 0"));
  expectControl(site);
}

}  // namespace
