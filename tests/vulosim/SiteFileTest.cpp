// Site files: the sample loads; every broken one stops the simulator with
// status 2 and a message naming the file and the problem.
#include <gtest/gtest.h>

#include <string>

#include "ConsoleAnswers.h"
#include "TempDir.h"
#include "VulosimProcess.h"

namespace {

std::string site(const std::string& devices) {
  return "<site>\n" + devices + "</site>\n";
}

// A site of one port, 7/1 labelled "a", of `type` and with `more` attributes.
std::string port(const std::string& type, const std::string& more) {
  return site("<device serial=\"7\"><port id=\"1\" type=\"" + type + "\" label=\"a\" " + more +
              "/></device>");
}

struct BadSite {
  const char* name;
  std::string content;
  const char* problem;  // part of the message
};

const BadSite kBadSites[] = {
    {"empty", "", "malformed XML"},
    {"unclosed", "<site><device serial=\"1\">", "malformed XML"},
    {"wrong-root", "<config><device serial=\"1\"/></config>", "document element is <config>"},
    {"duplicate-port",
     site("<device serial=\"7\">\n<port id=\"1\" type=\"ain\" label=\"a\"/>\n"
          "<port id=\"1\" type=\"din\" label=\"b\"/>\n</device>\n"),
     ":4: duplicate port: device 7 already has port 1"},
    {"device-twice", site("<device serial=\"7\"/>\n<device serial=\"7\"/>\n"),
     "device 7 is listed twice"},
    {"bad-type", port("analog", ""), "unknown type 'analog'"},
    {"missing-type", site("<device serial=\"7\"><port id=\"1\" label=\"a\"/></device>"),
     "missing attribute 'type'"},
    {"bad-value", port("ain", "value=\"warm\""), "value 'warm' is not a finite number"},
    {"infinite-value", port("aout", "value=\"inf\""), "value 'inf' is not a finite number"},
    {"value-on-digital", port("dout", "value=\"1\""), "'value' is for analogue ports"},
    {"state-on-analogue", port("ain", "state=\"set\""), "'state' is for digital ports"},
    {"bad-state", port("dout", "state=\"on\""), "state 'on' is not 'set' or 'clear'"},
    {"missing-serial", site("<device/>"), "missing attribute 'serial'"},
    {"negative-serial", site("<device serial=\"-1\"/>"), "attribute 'serial' is '-1'"},
    {"serial-too-big", site("<device serial=\"4294967296\"/>"), "attribute 'serial' is"},
    {"missing-id", site("<device serial=\"7\"><port type=\"ain\" label=\"a\"/></device>"),
     "missing attribute 'id'"},
    {"missing-label", site("<device serial=\"7\"><port id=\"1\" type=\"ain\"/></device>"),
     "missing attribute 'label'"},
    {"spaced-label",
     site("<device serial=\"7\"><port id=\"1\" type=\"ain\" label=\"room temp\"/></device>"),
     "label 'room temp' must be non-empty and contain no white space"},
    {"unknown-element", site("<device serial=\"7\"><probe id=\"1\"/></device>"),
     "unexpected element <probe>"},
    {"unknown-attribute", port("ain", "vaule=\"1\""), "unknown attribute 'vaule'"},
};

// The simulator on the site file at `path` stops with status 2 and a
// message naming the file and holding `problem`.
void expectRefused(const std::string& path, const char* problem) {
  VulosimProcess sim;
  EXPECT_FALSE(sim.startSite(path));
  EXPECT_EQ(sim.wait(), 2);
  auto message = sim.waitForLine(path, 1000, ChildProcess::kStderr);
  ASSERT_TRUE(message) << "no message naming " << path;
  EXPECT_NE(message->find(problem), std::string::npos) << *message;
}

TEST(VulosimSiteFile, ABrokenSiteStopsWithStatusTwoNamingFileAndProblem) {
  TempDir folder;
  for (const BadSite& bad : kBadSites) {
    SCOPED_TRACE(bad.name);
    expectRefused(folder.write(std::string(bad.name) + ".xml", bad.content), bad.problem);
  }
}

TEST(VulosimSiteFile, AMissingFileIsNamed) {
  TempDir folder;
  expectRefused(folder.path() + "/absent.xml", "cannot open");
}

TEST(VulosimSiteFile, TheSampleSiteHasTheDaemonsPorts) {
  VulosimProcess sim;
  ASSERT_TRUE(sim.startSite(VULOSIM_SAMPLE_SITE));
  expectAnswers(sim, {
                         {"get shelter-temp-internal", "value shelter-temp-internal 24.5"},
                         {"get shelter-temp-external", "value shelter-temp-external 18"},
                         {"get aircon-1-run", "state aircon-1-run CLEAR"},
                         {"get aircon-2-run", "state aircon-2-run CLEAR"},
                         {"get fan-speed", "value fan-speed 0"},
                         {"get shelter-door", "state shelter-door CLEAR"},
                     });
}

}  // namespace
