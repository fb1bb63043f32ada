// Hostile parameter and properties files read in-process: whatever a file
// holds, reading ends, in bounded time and memory, with a clear message or
// the values it really states, and nothing outside the file is ever read.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "Globals.h"
#include "TempDir.h"
#include "parameterFiles.h"
#include "properties.h"

namespace {

// What the settings file asked to set up.
std::vector<PortSetupRequest> setupCalls;

// The secret that a hostile file tries to pull in. If any of it reached a
// label, the label would hold "SECRET"; if it reached a number, 42.5.
constexpr const char* kSecretText = "42.5SECRET";

class ConfigAttackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setupCalls.clear();
    zeroAllParameters();
    secretPath = dir.write("secret.txt", kSecretText);
    dir.write("secret.dtd", std::string("<!ENTITY stolen \"") + kSecretText + "\">\n");
  }

  // Reads the two files (an empty text: the file is absent) and returns
  // what was printed on standard output.
  std::string read(const std::string& settings, const std::string& constants) {
    std::string settingsPath = dir.path() + "/settings.xml";
    std::string constantsPath = dir.path() + "/constants.xml";
    if (!settings.empty()) {
      dir.write("settings.xml", settings);
    }
    if (!constants.empty()) {
      dir.write("constants.xml", constants);
    }
    ::testing::internal::CaptureStdout();
    setupCalls = readParameterFilesRecordingSetup(settingsPath.c_str(), constantsPath.c_str());
    return ::testing::internal::GetCapturedStdout();
  }

  void expectNoSecretAnywhere() {
    for (const PortSetupRequest& call : setupCalls) {
      EXPECT_EQ(call.label.find("SECRET"), std::string::npos) << call.label;
    }
    EXPECT_NE(goalTemperature, 42.5f);
    EXPECT_NE(coolingPullIn, 42.5f);
    EXPECT_NE(aircon1PullIn, 42.5f);
  }

  TempDir dir;
  std::string secretPath;
};

std::string labelOf(PortSetupRequest::Kind kind) {
  for (const PortSetupRequest& call : setupCalls) {
    if (call.kind == kind) {
      return call.label;
    }
  }
  return "<no call>";
}

// External entities by relative path, absolute path and file URI, an
// external DTD and a parameter entity: none is loaded, the references read
// as empty text, and the set-up calls still happen (with what is left).
TEST_F(ConfigAttackTest, ExternalEntitiesAreNeverRead) {
  std::string settings =
      "<?xml version=\"1.0\"?>\n"
      "<!DOCTYPE config [\n"
      "  <!ENTITY relative SYSTEM \"secret.txt\">\n"
      "  <!ENTITY absolute SYSTEM \"" +
      secretPath +
      "\">\n"
      "  <!ENTITY uri SYSTEM \"file://" +
      secretPath +
      "\">\n"
      "]>\n"
      "<config>\n"
      "  <internalProbeLabel>&relative;</internalProbeLabel>\n"
      "  <externalProbeLabel>t-&absolute;</externalProbeLabel>\n"
      "  <aircon><number>1</number><label>ac-&uri;</label></aircon>\n"
      "  <fan><label>fan&relative;</label></fan>\n"
      "  <goalTemperature>&absolute;</goalTemperature>\n"
      "</config>\n";
  std::string constants =
      "<?xml version=\"1.0\"?>\n"
      "<!DOCTYPE config SYSTEM \"secret.dtd\" [\n"
      "  <!ENTITY % pulled SYSTEM \"secret.dtd\">\n"
      "  %pulled;\n"
      "]>\n"
      "<config><coolingPullIn>&stolen;</coolingPullIn><aircon1PullIn>30</aircon1PullIn></config>\n";
  read(settings, constants);
  expectNoSecretAnywhere();
  EXPECT_EQ(labelOf(PortSetupRequest::InternalProbe), "");
  EXPECT_EQ(labelOf(PortSetupRequest::ExternalProbe), "t-");
  EXPECT_EQ(labelOf(PortSetupRequest::Aircon), "ac-");
  EXPECT_EQ(labelOf(PortSetupRequest::Fan), "fan");
  EXPECT_EQ(goalTemperature, 0.0f);
}

// A network entity is not fetched (there is nothing listening there, and
// reading must not wait for it either).
TEST_F(ConfigAttackTest, NetworkEntitiesAreNotFetched) {
  read(
      "<?xml version=\"1.0\"?>\n"
      "<!DOCTYPE config [ <!ENTITY remote SYSTEM \"http://127.0.0.1:9/secret\"> ]>\n"
      "<config><internalProbeLabel>t-int&remote;</internalProbeLabel></config>\n",
      "");
  EXPECT_EQ(labelOf(PortSetupRequest::InternalProbe), "t-int");
}

// Two levels of internal entities that the parser accepts but that would
// expand to 10^12 bytes when an element's text is read: the file is refused
// like a malformed one, and the other file is still read.
TEST_F(ConfigAttackTest, EntityExpansionBombIsRefused) {
  std::string bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE config [\n  <!ENTITY a \"" +
                     std::string(10000, 'y') + "\">\n  <!ENTITY b \"";
  for (int i = 0; i < 10000; ++i) {
    bomb += "&a;";
  }
  bomb += "\">\n]>\n<config><internalProbeLabel>";
  for (int i = 0; i < 10000; ++i) {
    bomb += "&b;";
  }
  bomb += "</internalProbeLabel><goalTemperature>21</goalTemperature></config>\n";
  std::string printed = read(bomb, "<config><coolingPullIn>25</coolingPullIn></config>");
  EXPECT_EQ(printed, "Failed to open xml file\n");
  EXPECT_TRUE(setupCalls.empty());
  EXPECT_EQ(goalTemperature, 0.0f);
  EXPECT_EQ(coolingPullIn, 25.0f);
}

// Each limit of the entity budget holds on its own: 2 MB of text behind 200
// references, far below the node limit, is refused by the text limit.
// Without it, a few large entities nested a few levels deep would expand to
// gigabytes through a few thousand nodes.
TEST_F(ConfigAttackTest, LargeTextBehindFewReferencesIsRefused) {
  std::string bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE config [\n  <!ENTITY a \"" +
                     std::string(10000, 'y') + "\">\n  <!ENTITY b \"";
  for (int i = 0; i < 200; ++i) {
    bomb += "&a;";
  }
  bomb +=
      "\">\n]>\n<config><internalProbeLabel>&b;</internalProbeLabel>"
      "<goalTemperature>21</goalTemperature></config>\n";
  EXPECT_EQ(read(bomb, "<config><coolingPullIn>25</coolingPullIn></config>"),
            "Failed to open xml file\n");
  EXPECT_TRUE(setupCalls.empty());
  EXPECT_EQ(goalTemperature, 0.0f);
  EXPECT_EQ(coolingPullIn, 25.0f);
}

// The classic nested bomb is stopped by the parser itself.
TEST_F(ConfigAttackTest, NestedEntityBombIsRefused) {
  std::string bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE config [\n <!ENTITY l0 \"lol\">\n";
  for (int level = 1; level <= 9; ++level) {
    bomb += " <!ENTITY l" + std::to_string(level) + " \"";
    for (int i = 0; i < 10; ++i) {
      bomb += "&l" + std::to_string(level - 1) + ";";
    }
    bomb += "\">\n";
  }
  bomb += "]>\n<config><internalProbeLabel>&l9;</internalProbeLabel></config>\n";
  EXPECT_EQ(read(bomb, ""), "Failed to open xml file\nFailed to open xml file\n");
  EXPECT_TRUE(setupCalls.empty());
}

// Small internal entities, which a site may use for a repeated label, keep
// working.
TEST_F(ConfigAttackTest, SmallInternalEntitiesStillExpand) {
  read(
      "<?xml version=\"1.0\"?>\n"
      "<!DOCTYPE config [ <!ENTITY site \"shelter-7\"> ]>\n"
      "<config><internalProbeLabel>&site;-int</internalProbeLabel>"
      "<fan><label>&site;-fan</label></fan></config>\n",
      "");
  EXPECT_EQ(labelOf(PortSetupRequest::InternalProbe), "shelter-7-int");
  EXPECT_EQ(labelOf(PortSetupRequest::Fan), "shelter-7-fan");
}

// 10,000 nested elements: the parser stops at its depth limit, the file is
// reported, and the constants file is still read.
TEST_F(ConfigAttackTest, DeepNestingIsReportedNotFollowed) {
  std::string deep = "<config><internalProbeLabel>t-int</internalProbeLabel>";
  for (int i = 0; i < 10000; ++i) {
    deep += "<a>";
  }
  for (int i = 0; i < 10000; ++i) {
    deep += "</a>";
  }
  deep += "</config>";
  std::string printed = read(deep, "<config><aircon1PullIn>30</aircon1PullIn></config>");
  EXPECT_EQ(printed, "Failed to open xml file\n");
  EXPECT_TRUE(setupCalls.empty());
  EXPECT_EQ(aircon1PullIn, 30.0f);
}

// A 10 MB settings file of repeated elements is read whole: the last
// occurrence of each value wins, every label is set up.
TEST_F(ConfigAttackTest, TenMegabyteFileIsReadWhole) {
  const std::string filler = "  <goalTemperature>19</goalTemperature><unknown>x</unknown>\n";
  std::string big = "<config>\n";
  while (big.size() < 10u * 1024 * 1024) {
    big += filler;
  }
  big +=
      "<goalTemperature>23.5</goalTemperature><internalProbeLabel>t-int</internalProbeLabel>"
      "<externalProbeLabel>t-ext</externalProbeLabel></config>\n";
  std::string printed = read(big, "");
  EXPECT_EQ(printed, "Failed to open xml file\n");  // only the missing constants file
  EXPECT_EQ(goalTemperature, 23.5f);
  EXPECT_EQ(labelOf(PortSetupRequest::InternalProbe), "t-int");
  EXPECT_EQ(labelOf(PortSetupRequest::ExternalProbe), "t-ext");
}

// Labels of 10,000 characters are handed on whole, also inside aircon and
// fan elements.
TEST_F(ConfigAttackTest, LongLabelsAreHandedOnWhole) {
  const std::string longLabel(10000, 'L');
  read("<config><internalProbeLabel>" + longLabel +
           "</internalProbeLabel><aircon><number>2</number>"
           "<label>" +
           longLabel + "</label></aircon><fan><label>" + longLabel + "</label></fan></config>",
       "");
  EXPECT_EQ(labelOf(PortSetupRequest::InternalProbe), longLabel);
  EXPECT_EQ(labelOf(PortSetupRequest::Aircon), longLabel);
  EXPECT_EQ(labelOf(PortSetupRequest::Fan), longLabel);
}

// Binary bytes where a file should be text: nothing is stored or set up,
// and the message is the usual one.
TEST_F(ConfigAttackTest, BinaryParameterFilesAreReported) {
  std::mt19937 random(7);
  std::string bytes(64 * 1024, '\0');
  for (char& byte : bytes) {
    byte = static_cast<char>(random());
  }
  EXPECT_EQ(read(bytes, "<config>" + bytes), "Failed to open xml file\nFailed to open xml file\n");
  EXPECT_TRUE(setupCalls.empty());
}

// A properties file of random bytes (NUL bytes, no line ends for long
// stretches, lone carriage returns): loading completes, keeps only lines
// of at most 255 characters, and every look-up answers.
TEST(PropertiesAttackTest, BinaryPropertiesFileLoadsAndAnswers) {
  TempDir dir;
  std::mt19937 random(11);
  std::string bytes(1024 * 1024, '\0');
  for (char& byte : bytes) {
    byte = static_cast<char>(random());
  }
  // Some lines that do hold entries, among the noise.
  bytes += "\nSyncTime=7\n";
  bytes.insert(4096, "\nSyncTime=9\n");
  cProperties props;
  EXPECT_TRUE(props.load(dir.write("frigel.conf", bytes).c_str()));
  EXPECT_EQ(props.getInt("SyncTime", 300), 9);  // the first one wins
  EXPECT_STREQ(props.getString("missing", "default"), "default");
}

// A properties file that is one 8 MB line: skipped as too long.
TEST(PropertiesAttackTest, OneHugeLineIsSkipped) {
  TempDir dir;
  cProperties props;
  EXPECT_TRUE(props.load(
      dir.write("frigel.conf", "SyncTime=" + std::string(8 << 20, '5') + "\nother=1\n").c_str()));
  EXPECT_EQ(props.getInt("SyncTime", 300), 300);
  EXPECT_EQ(props.getInt("other", 0), 1);
}

}  // namespace
