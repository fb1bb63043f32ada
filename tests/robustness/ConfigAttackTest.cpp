// Hostile parameter and properties files read in-process: whatever a file
// holds, reading ends, in bounded time and memory, with a clear message or
// the values it really states, and nothing outside the file is ever read.
// (HostileFilesTest starts the real daemon on such files.)
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
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

std::string randomBytes(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& byte : bytes) {
    byte = static_cast<char>(random());
  }
  return bytes;
}

std::string repeated(const std::string& text, int times) {
  std::string result;
  for (int i = 0; i < times; ++i) {
    result += text;
  }
  return result;
}

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
    const std::string settingsPath = place("settings.xml", settings);
    const std::string constantsPath = place("constants.xml", constants);
    ::testing::internal::CaptureStdout();
    setupCalls = readParameterFilesRecordingSetup(settingsPath.c_str(), constantsPath.c_str());
    return ::testing::internal::GetCapturedStdout();
  }

  std::string place(const std::string& name, const std::string& text) {
    std::filesystem::remove(dir.path() + "/" + name);
    return text.empty() ? dir.path() + "/" + name : dir.write(name, text);
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

// Files refused whole, each as the settings beside good constants and as
// the constants beside good settings: one "Failed to open xml file",
// nothing of the file set up or stored, and the other file still read.
TEST_F(ConfigAttackTest, RefusedFilesAreReportedAndTheOtherIsStillRead) {
  // What each refused file states in its elements, were it read.
  const std::string stated =
      "<internalProbeLabel>t-int</internalProbeLabel><goalTemperature>21</goalTemperature>"
      "<coolingPullIn>25</coolingPullIn>";
  // Two levels of internal entities that the parser accepts but that would
  // expand to 10^12 bytes when an element's text is read.
  const std::string expansionBomb =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE config [\n  <!ENTITY a \"" + std::string(10000, 'y') +
      "\">\n  <!ENTITY b \"" + repeated("&a;", 10000) + "\">\n]>\n<config><externalProbeLabel>" +
      repeated("&b;", 10000) + "</externalProbeLabel>" + stated + "</config>\n";
  // 2 MB of text behind 200 references: far below the budget's node limit,
  // refused by its text limit alone. (Each limit must hold on its own:
  // without this one, a few large entities nested a few levels deep would
  // expand to gigabytes through a few thousand nodes.)
  const std::string largeText = "<?xml version=\"1.0\"?>\n<!DOCTYPE config [\n  <!ENTITY a \"" +
                                std::string(10000, 'y') + "\">\n  <!ENTITY b \"" +
                                repeated("&a;", 200) + "\">\n]>\n<config><externalProbeLabel>&b;" +
                                "</externalProbeLabel>" + stated + "</config>\n";
  // The classic nested bomb ("billion laughs"), stopped by the parser.
  std::string nestedBomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE config [\n <!ENTITY l0 \"lol\">\n";
  for (int level = 1; level <= 9; ++level) {
    nestedBomb += " <!ENTITY l" + std::to_string(level) + " \"" +
                  repeated("&l" + std::to_string(level - 1) + ";", 10) + "\">\n";
  }
  nestedBomb +=
      "]>\n<config><externalProbeLabel>&l9;</externalProbeLabel>" + stated + "</config>\n";
  const std::map<std::string, std::string> kRefused = {
      {"entity expansion to 10^12 bytes", expansionBomb},
      {"2 MB of text behind 200 references", largeText},
      {"nested entity bomb", nestedBomb},
      {"elements nested 10,000 deep",
       "<config>" + stated + repeated("<a>", 10000) + repeated("</a>", 10000) + "</config>"},
      {"64 KB of random bytes", randomBytes(64 * 1024, 7)},
      {"random bytes after a config element", "<config>" + randomBytes(64 * 1024, 8)},
  };
  const std::string goodSettings = "<config><fan><label>fan</label></fan></config>";
  const std::string goodConstants = "<config><aircon1PullIn>30</aircon1PullIn></config>";
  for (const auto& [name, text] : kRefused) {
    for (bool asSettings : {true, false}) {
      SCOPED_TRACE(name + (asSettings ? " as the settings" : " as the constants"));
      setupCalls.clear();
      zeroAllParameters();
      EXPECT_EQ(read(asSettings ? text : goodSettings, asSettings ? goodConstants : text),
                "Failed to open xml file\n");
      EXPECT_EQ(setupCalls.size(), asSettings ? 0u : 1u);
      EXPECT_EQ(labelOf(PortSetupRequest::Fan), asSettings ? "<no call>" : "fan");
      EXPECT_EQ(aircon1PullIn, asSettings ? 30.0f : 0.0f);
      EXPECT_EQ(goalTemperature, 0.0f);
      EXPECT_EQ(coolingPullIn, 0.0f);
    }
  }
}

// Files that are odd but readable hand on exactly what they state: a
// network entity is not fetched (nothing listens there, and reading does
// not wait for it either) and reads as empty, small internal entities
// (a repeated label) still expand, labels of 10,000 characters are whole,
// and a 10 MB file of repeated elements is read whole with the last
// occurrence winning.
TEST_F(ConfigAttackTest, ReadableFilesHandOnWhatTheyState) {
  struct Case {
    const char* name;
    std::string settings;
    std::map<PortSetupRequest::Kind, std::string> labels;
    float goal;
  };
  const std::string longLabel(10000, 'L');
  std::string tenMegabytes = "<config>\n";
  while (tenMegabytes.size() < 10u * 1024 * 1024) {
    tenMegabytes += "  <goalTemperature>19</goalTemperature><unknown>x</unknown>\n";
  }
  tenMegabytes +=
      "<goalTemperature>23.5</goalTemperature><internalProbeLabel>t-int</internalProbeLabel>"
      "<externalProbeLabel>t-ext</externalProbeLabel></config>\n";
  const Case kCases[] = {
      {"network entity",
       "<?xml version=\"1.0\"?>\n"
       "<!DOCTYPE config [ <!ENTITY remote SYSTEM \"http://127.0.0.1:9/secret\"> ]>\n"
       "<config><internalProbeLabel>t-int&remote;</internalProbeLabel></config>\n",
       {{PortSetupRequest::InternalProbe, "t-int"}},
       0.0f},
      {"small internal entities",
       "<?xml version=\"1.0\"?>\n"
       "<!DOCTYPE config [ <!ENTITY site \"shelter-7\"> ]>\n"
       "<config><internalProbeLabel>&site;-int</internalProbeLabel>"
       "<fan><label>&site;-fan</label></fan></config>\n",
       {{PortSetupRequest::InternalProbe, "shelter-7-int"},
        {PortSetupRequest::Fan, "shelter-7-fan"}},
       0.0f},
      {"labels of 10,000 characters",
       "<config><internalProbeLabel>" + longLabel +
           "</internalProbeLabel><aircon><number>2</number>"
           "<label>" +
           longLabel + "</label></aircon><fan><label>" + longLabel + "</label></fan></config>",
       {{PortSetupRequest::InternalProbe, longLabel},
        {PortSetupRequest::Aircon, longLabel},
        {PortSetupRequest::Fan, longLabel}},
       0.0f},
      {"10 MB of repeated elements",
       tenMegabytes,
       {{PortSetupRequest::InternalProbe, "t-int"}, {PortSetupRequest::ExternalProbe, "t-ext"}},
       23.5f},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    setupCalls.clear();
    zeroAllParameters();
    // Only the constants file is missing.
    EXPECT_EQ(read(c.settings, ""), "Failed to open xml file\n");
    EXPECT_EQ(setupCalls.size(), c.labels.size());
    for (const auto& [kind, label] : c.labels) {
      EXPECT_EQ(labelOf(kind), label);
    }
    EXPECT_EQ(goalTemperature, c.goal);
  }
}

// A properties file of random bytes (NUL bytes, no line ends for long
// stretches, lone carriage returns): loading completes, keeps only lines
// of at most 255 characters, and every look-up answers.
TEST(PropertiesAttackTest, BinaryPropertiesFileLoadsAndAnswers) {
  TempDir dir;
  std::string bytes = randomBytes(1024 * 1024, 11);
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
