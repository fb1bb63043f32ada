#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include <libxml/tree.h>

#include "Globals.h"
#include "TempDir.h"
#include "parameterFiles.h"

namespace {

// What the settings file asked to set up, in order, as "int:label",
// "ext:label", "aircon<n>:label", "fan:label".
std::vector<std::string> setupCalls;

void readRecording(const char* settingsPath, const char* constantsPath) {
  static const char* const kPrefixes[] = {"int:", "ext:", "aircon", "fan:"};
  for (const PortSetupRequest& request :
       readParameterFilesRecordingSetup(settingsPath, constantsPath)) {
    std::string call = kPrefixes[request.kind];
    if (request.kind == PortSetupRequest::Aircon) {
      call += std::to_string(request.number) + ":";
    }
    setupCalls.push_back(call + request.label);
  }
}

std::string config(const std::string& body) {
  return "<?xml version=\"1.0\"?>\n<config>\n" + body + "</config>\n";
}

class ParameterFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    zeroAllParameters();
    setupCalls.clear();
  }

  // Reads the two files (an empty text means the file does not exist) and
  // returns what was printed on standard output.
  std::string read(const std::string& settings, const std::string& constants) {
    std::string settingsPath = dir.path() + "/frigel/frigelconfig.xml";
    std::string constantsPath = dir.path() + "/frigel/frigelConstants.xml";
    if (!settings.empty()) {
      dir.write("frigel/frigelconfig.xml", settings);
    }
    if (!constants.empty()) {
      dir.write("frigel/frigelConstants.xml", constants);
    }
    ::testing::internal::CaptureStdout();
    readRecording(settingsPath.c_str(), constantsPath.c_str());
    return ::testing::internal::GetCapturedStdout();
  }

  TempDir dir;
};

TEST_F(ParameterFilesTest, ReadsEverySettingAndConstant) {
  std::string out =
      read(config("<airconRotation>1</airconRotation><useFreeAir>1</useFreeAir>"
                  "<useFanInHiTemp>1</useFanInHiTemp>"
                  "<goalTemperature>22.5</goalTemperature>"),
           config("<maximumExtAboveIntTemperature>-3</maximumExtAboveIntTemperature>"
                  "<hiTemperaturePullIn>40</hiTemperaturePullIn>"
                  "<aircon1PullIn>28</aircon1PullIn><aircon2PullIn>32</aircon2PullIn>"
                  "<coolingPullIn>24</coolingPullIn><hiTempFanPullIn>38</hiTempFanPullIn>"
                  "<aircon1DropOut>25</aircon1DropOut><aircon2DropOut>29</aircon2DropOut>"
                  "<hiTemperatureDropOut>36</hiTemperatureDropOut>"
                  "<numberOfAircons>2</numberOfAircons>"
                  "<aircon1MinimumRunTimeValue>1000</aircon1MinimumRunTimeValue>"
                  "<aircon2MinimumRunTimeValue>2000</aircon2MinimumRunTimeValue>"
                  "<airconRunTimeAfterDropOutValue>3000</airconRunTimeAfterDropOutValue>"
                  "<fanMinimumRunTimePreCoolingValue>4000</fanMinimumRunTimePreCoolingValue>"
                  "<airconFailRetryPeriod>5000</airconFailRetryPeriod>"
                  "<fanRampDownTimeValue>6000</fanRampDownTimeValue>"
                  "<fanRampUpTimeValue>7000</fanRampUpTimeValue>"
                  "<fanMinimumRunTimePreAirconValue>8000</fanMinimumRunTimePreAirconValue>"
                  "<fanSpeedIncreaseTimeOutValue>9000</fanSpeedIncreaseTimeOutValue>"
                  "<fanSpeedDecreaseTimeOutValue>10000</fanSpeedDecreaseTimeOutValue>"
                  "<fanSpeedStepUpSize>5</fanSpeedStepUpSize>"
                  "<fanSpeedStepDownSize>2.5</fanSpeedStepDownSize>"));
  EXPECT_EQ(out, "");
  EXPECT_EQ(airconRotation, 1);
  EXPECT_EQ(useFreeAir, 1);
  EXPECT_EQ(useFanInHiTemp, 1);
  EXPECT_FLOAT_EQ(goalTemperature, 22.5f);
  EXPECT_FLOAT_EQ(maximumExtAboveIntTemperature, -3.0f);
  EXPECT_FLOAT_EQ(hiTemperaturePullIn, 40.0f);
  EXPECT_FLOAT_EQ(aircon1PullIn, 28.0f);
  EXPECT_FLOAT_EQ(aircon2PullIn, 32.0f);
  EXPECT_FLOAT_EQ(coolingPullIn, 24.0f);
  EXPECT_FLOAT_EQ(hiTempFanPullIn, 38.0f);
  EXPECT_FLOAT_EQ(aircon1DropOut, 25.0f);
  EXPECT_FLOAT_EQ(aircon2DropOut, 29.0f);
  EXPECT_FLOAT_EQ(hiTemperatureDropOut, 36.0f);
  EXPECT_EQ(numberOfAircons, 2);
  EXPECT_EQ(aircon1MinimumRunTimeValue, 1000u);
  EXPECT_EQ(aircon2MinimumRunTimeValue, 2000u);
  EXPECT_EQ(airconRunTimeAfterDropOutValue, 3000u);
  EXPECT_EQ(fanMinimumRunTimePreCoolingValue, 4000u);
  EXPECT_EQ(airconFailRetryPeriod, 5000u);
  EXPECT_EQ(fanRampDownTimeValue, 6000u);
  EXPECT_EQ(fanRampUpTimeValue, 7000u);
  EXPECT_EQ(fanMinimumRunTimePreAirconValue, 8000u);
  EXPECT_EQ(fanSpeedIncreaseTimeOutValue, 9000u);
  EXPECT_EQ(fanSpeedDecreaseTimeOutValue, 10000u);
  EXPECT_FLOAT_EQ(fanSpeedStepUpSize, 5.0f);
  EXPECT_FLOAT_EQ(fanSpeedStepDownSize, 2.5f);
}

TEST_F(ParameterFilesTest, ConversionsKeepTheirOddities) {
  read(config("<useFreeAir>257</useFreeAir><useFanInHiTemp>-1</useFanInHiTemp>"
              "<goalTemperature>22.5abc</goalTemperature><airconRotation>abc</airconRotation>"),
       config("<aircon1MinimumRunTimeValue>-1</aircon1MinimumRunTimeValue>"
              "<aircon2MinimumRunTimeValue> +12xyz</aircon2MinimumRunTimeValue>"
              "<hiTemperaturePullIn></hiTemperaturePullIn>"
              "<fanRampUpTimeValue>99999999999</fanRampUpTimeValue>"
              "<fanRampDownTimeValue>-99999999999</fanRampDownTimeValue>"
              "<coolingPullIn>1e1</coolingPullIn><aircon1PullIn>  2,5</aircon1PullIn>"));
  EXPECT_EQ(useFreeAir, 1);        // low 8 bits of 257
  EXPECT_EQ(useFanInHiTemp, 255);  // low 8 bits of -1
  EXPECT_FLOAT_EQ(goalTemperature, 22.5f);
  EXPECT_EQ(airconRotation, 0);
  EXPECT_EQ(aircon1MinimumRunTimeValue, 4294967295u);
  EXPECT_EQ(aircon2MinimumRunTimeValue, 12u);
  EXPECT_FLOAT_EQ(hiTemperaturePullIn, 0.0f);
  EXPECT_EQ(fanRampUpTimeValue, 2147483647u);    // saturates as on the 32-bit target
  EXPECT_EQ(fanRampDownTimeValue, 2147483648u);  // INT_MIN, saturated the same way
  EXPECT_FLOAT_EQ(coolingPullIn, 10.0f);
  EXPECT_FLOAT_EQ(aircon1PullIn, 2.0f);  // "." is the only decimal separator
}

TEST_F(ParameterFilesTest, LastOccurrenceWinsAndUnknownNodesAreIgnored) {
  read(config("<!-- a comment --><goalTemperature>20</goalTemperature>"
              "<goalTemperature unit=\"C\">21</goalTemperature>"
              "<GoalTemperature>99</GoalTemperature><other><useFreeAir>1</useFreeAir></other>"),
       config("<coolingPullIn>24</coolingPullIn><coolingPullIn>25</coolingPullIn>"));
  EXPECT_FLOAT_EQ(goalTemperature, 21.0f);
  EXPECT_EQ(useFreeAir, 0);  // only direct children of config count
  EXPECT_FLOAT_EQ(coolingPullIn, 25.0f);
}

TEST_F(ParameterFilesTest, PortsAreSetUpInDocumentOrderWithLabelsUntouched) {
  read(config("<fan><label>fan-speed</label></fan>"
              "<internalProbeLabel> temp in\n</internalProbeLabel>"
              "<aircon><label>ac-2</label><number>2</number></aircon>"
              "<aircon><number>1</number><label>ac-1</label></aircon>"
              "<externalProbeLabel></externalProbeLabel>"),
       "");
  EXPECT_EQ(setupCalls, (std::vector<std::string>{"fan:fan-speed", "int: temp in\n", "aircon2:ac-2",
                                                  "aircon1:ac-1", "ext:"}));
}

TEST_F(ParameterFilesTest, IncompleteOutputElementsSetUpNothing) {
  read(config("<aircon/>"
              "<aircon><label>no-number</label></aircon>"
              "<aircon><number>0</number><label>zero</label></aircon>"
              "<aircon><number>1</number><label></label></aircon>"
              "<aircon><number>1</number><label>first</label><label></label></aircon>"
              "<aircon><number>3</number><label>third</label></aircon>"
              "<fan><label>a</label><label>b</label></fan>"
              "<fan><label>c</label><label/></fan>"),
       "");
  // A number other than 1 or 2 is passed on; the set-up call ignores it.
  EXPECT_EQ(setupCalls, (std::vector<std::string>{"aircon3:third", "fan:b"}));
}

TEST_F(ParameterFilesTest, MissingFilesPrintOneLineEachAndTheOtherIsStillRead) {
  EXPECT_EQ(read("", config("<coolingPullIn>24</coolingPullIn>")), "Failed to open xml file\n");
  EXPECT_FLOAT_EQ(coolingPullIn, 24.0f);
  EXPECT_TRUE(setupCalls.empty());

  std::string settingsMissing = dir.path() + "/nowhere.xml";
  ::testing::internal::CaptureStdout();
  readRecording(settingsMissing.c_str(), settingsMissing.c_str());
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "Failed to open xml file\nFailed to open xml file\n");
}

TEST_F(ParameterFilesTest, MalformedFileSetsNothingFromIt) {
  std::string out = read(config("<internalProbeLabel>t</internalProbeLabel><useFreeAir>1"),
                         config("<coolingPullIn>24</coolingPullIn>"));
  EXPECT_EQ(out, "Failed to open xml file\n");
  EXPECT_TRUE(setupCalls.empty());
  EXPECT_EQ(useFreeAir, 0);
  EXPECT_FLOAT_EQ(coolingPullIn, 24.0f);
}

TEST_F(ParameterFilesTest, OtherDocumentElementIsSkippedSilently) {
  std::string out = read("<settings><useFreeAir>1</useFreeAir></settings>",
                         "<Config><coolingPullIn>24</coolingPullIn></Config>");
  EXPECT_EQ(out, "");
  EXPECT_EQ(useFreeAir, 0);
  EXPECT_FLOAT_EQ(coolingPullIn, 0.0f);
}

TEST_F(ParameterFilesTest, NotANumberTextStaysAFloat) {
  read("", config("<coolingPullIn>nan</coolingPullIn>"));
  EXPECT_TRUE(std::isnan(coolingPullIn));
}

// An element's text is gathered whole across comments and entity
// references, and the reader leaves libxml2's buffer scheme as it found it
// (it widens it only while gathering).
TEST_F(ParameterFilesTest, TextInManyPiecesIsReadWholeAndTheBufferSchemeIsRestored) {
  xmlSetBufferAllocationScheme(XML_BUFFER_ALLOC_EXACT);
  std::string pieces;
  for (int i = 0; i < 2000; ++i) {
    pieces += "<!---->";
  }
  read("<!DOCTYPE config [<!ENTITY five \"5\">]>\n<config><internalProbeLabel>in" + pieces +
           "side</internalProbeLabel>"
           "<goalTemperature>2<!-- -->&five;.<![CDATA[2]]>5</goalTemperature></config>",
       "");
  EXPECT_EQ(setupCalls, (std::vector<std::string>{"int:inside"}));
  EXPECT_FLOAT_EQ(goalTemperature, 25.25f);
  EXPECT_EQ(xmlGetBufferAllocationScheme(), XML_BUFFER_ALLOC_EXACT);
}

}  // namespace
