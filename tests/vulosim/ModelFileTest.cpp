// Model files: a good one is read completely, the sample fits the sample
// site, and each kind of mistake is refused with a message naming the file,
// the line and the problem.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ModelFile.h"
#include "ModelPorts.h"
#include "SiteFile.h"
#include "TempDir.h"

namespace {

const char kGoodModel[] = R"(<?xml version="1.0"?>
<model>
  <!-- a comment is fine -->
  <time step="2" factor="100" duration="3600" start="21600" startWhen="client"/>
  <record interval="120"/>
  <room heatCapacity="500" initialTemperature="22"/>
  <load watts="3000"/>
  <walls conductance="100"/>
  <outside min="17" max="35" coldestHour="4" warmestHour="14"/>
  <probes internal="temp-in" external="temp-out" resolution="0.1" noise="0.05" seed="7"/>
  <aircon number="2" label="ac-2" coolingWatts="3000" electricWatts="1100" failed="true"/>
  <aircon number="1" label="ac-1" coolingWatts="3500" electricWatts="1300"/>
  <fan label="fan" airflow="1500" electricWatts="250"/>
  <threshold name="alarm" temperature="35"/>
  <threshold name="emergency" temperature="40"/>
</model>
)";

// kGoodModel with the first occurrence of `from` replaced by `to`.
std::string modelWith(const std::string& from, const std::string& to) {
  std::string text = kGoodModel;
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// kGoodModel with the value of the first attribute `name` replaced by `value`.
std::string withAttribute(const std::string& name, const std::string& value) {
  std::string text = kGoodModel;
  const std::size_t at = text.find(" " + name + "=\"");
  EXPECT_NE(at, std::string::npos) << name;
  const std::size_t begin = at + name.size() + 3;
  return at == std::string::npos ? text : text.replace(begin, text.find('"', begin) - begin, value);
}

class ModelFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(loadSiteFile(VULOSIM_TEST_SITE, site, error)) << error;
  }

  // Loads `text` as model.xml; the error message, or "" when it loaded and
  // bound to the test site.
  std::string problemWith(const std::string& text) {
    const std::string path = folder.write("model.xml", text);
    ModelSpec definition;
    std::string error;
    if (!loadModelFile(path, definition, error)) {
      EXPECT_EQ(error.rfind(path, 0), 0u) << "names the file: " << error;
      return error;
    }
    ModelPorts ports;
    if (!bindModelPorts(definition, path, site, ports, error)) {
      EXPECT_EQ(error.rfind(path, 0), 0u) << "names the file: " << error;
      return error;
    }
    return "";
  }

  TempDir folder;
  SiteStore site;
};

TEST_F(ModelFileTest, ReadsEverySetting) {
  const std::string path = folder.write("model.xml", kGoodModel);
  ModelSpec definition;
  std::string error;
  ASSERT_TRUE(loadModelFile(path, definition, error)) << error;
  EXPECT_DOUBLE_EQ(definition.stepS, 2.0);
  EXPECT_DOUBLE_EQ(definition.factor, 100.0);
  EXPECT_EQ(definition.totalSteps(), 1800u);
  EXPECT_EQ(definition.stepsPerRecord(), 60u);
  EXPECT_DOUBLE_EQ(definition.startClockS, 21600.0);
  EXPECT_TRUE(definition.waitForClient);
  EXPECT_DOUBLE_EQ(definition.heatCapacityJPerK, 500000.0);
  ASSERT_TRUE(definition.initialC);
  EXPECT_DOUBLE_EQ(*definition.initialC, 22.0);
  EXPECT_DOUBLE_EQ(definition.loadW.at(12345.0), 3000.0);
  EXPECT_DOUBLE_EQ(definition.wallConductanceWPerK, 100.0);
  EXPECT_DOUBLE_EQ(definition.outside.at(4 * 3600.0), 17.0);
  EXPECT_DOUBLE_EQ(definition.outside.at(14 * 3600.0), 35.0);
  EXPECT_EQ(definition.internalLabel, "temp-in");
  EXPECT_EQ(definition.externalLabel, "temp-out");
  EXPECT_DOUBLE_EQ(definition.resolutionC, 0.1);
  EXPECT_DOUBLE_EQ(definition.noiseC, 0.05);
  EXPECT_EQ(definition.seed, 7u);
  ASSERT_EQ(definition.aircons.size(), 2u);  // in number order
  EXPECT_EQ(definition.aircons[0].number, 1);
  EXPECT_EQ(definition.aircons[0].label, "ac-1");
  EXPECT_DOUBLE_EQ(definition.aircons[0].coolingW, 3500.0);
  EXPECT_DOUBLE_EQ(definition.aircons[1].electricW, 1100.0);
  EXPECT_FALSE(definition.aircons[0].failed);
  EXPECT_TRUE(definition.aircons[1].failed);
  ASSERT_TRUE(definition.fan);
  EXPECT_DOUBLE_EQ(definition.fan->airflowM3PerH, 1500.0);
  ASSERT_EQ(definition.thresholds.size(), 2u);
  EXPECT_EQ(definition.thresholds[1].name, "emergency");

  ModelPorts ports;
  ASSERT_TRUE(bindModelPorts(definition, path, site, ports, error)) << error;
  EXPECT_EQ(ports.internalInputs, std::vector<std::size_t>{0});
  EXPECT_EQ(ports.externalInputs, std::vector<std::size_t>{1});
  EXPECT_EQ(ports.aircon[0], 3u);
  EXPECT_EQ(ports.aircon[1], 4u);
  EXPECT_EQ(ports.fan, 7u);
}

TEST_F(ModelFileTest, OptionalPartsHaveDefaults) {
  const std::string minimal =
      "<model><time step=\"7\" factor=\"1\" duration=\"70\"/><room heatCapacity=\"1\"/>"
      "<load watts=\"0\"/><walls conductance=\"0\"/><outside min=\"1\" max=\"2\"/>"
      "<probes internal=\"twin\" external=\"temp-out\"/></model>";
  const std::string path = folder.write("minimal.xml", minimal);
  ModelSpec definition;
  std::string error;
  ASSERT_TRUE(loadModelFile(path, definition, error)) << error;
  EXPECT_FALSE(definition.initialC);
  EXPECT_FALSE(definition.waitForClient);
  EXPECT_DOUBLE_EQ(definition.startClockS, 0.0);
  EXPECT_DOUBLE_EQ(definition.recordIntervalS, 7.0);  // 60 is not a whole number of 7 s steps
  EXPECT_DOUBLE_EQ(definition.outside.at(5 * 3600.0), 1.0);  // coldest at 5, warmest at 15
  EXPECT_DOUBLE_EQ(definition.outside.at(15 * 3600.0), 2.0);
  EXPECT_DOUBLE_EQ(definition.resolutionC, 0.0);
  EXPECT_EQ(definition.seed, 1u);
  EXPECT_TRUE(definition.aircons.empty());
  EXPECT_FALSE(definition.fan);
  ModelPorts ports;
  ASSERT_TRUE(bindModelPorts(definition, path, site, ports, error)) << error;
  EXPECT_EQ(ports.internalInputs.size(), 2u);  // both "twin" inputs follow the room
  EXPECT_FALSE(ports.aircon[0]);
  EXPECT_FALSE(ports.fan);
}

TEST_F(ModelFileTest, ReadsALoadProfileAndAnOutsideCsvBesideTheModel) {
  folder.write("weather/day.csv", "time,temperature\n0:00,16\n12:00,30\n24:00,16\n");
  std::string text = modelWith("<load watts=\"3000\"/>",
                               "<load>\n  <point hour=\"6\" watts=\"2000\"/>\n  <point hour=\"18\" "
                               "watts=\"4000\"/>\n</load>");
  const std::string curve = "<outside min=\"17\" max=\"35\" coldestHour=\"4\" warmestHour=\"14\"/>";
  text.replace(text.find(curve), curve.size(), "<outside csv=\"weather/day.csv\"/>");
  const std::string path = folder.write("model.xml", text);
  ModelSpec definition;
  std::string error;
  ASSERT_TRUE(loadModelFile(path, definition, error)) << error;
  EXPECT_DOUBLE_EQ(definition.loadW.at(12 * 3600.0), 3000.0);
  EXPECT_DOUBLE_EQ(definition.loadW.at(0.0), 3000.0);  // half-way from 18 h back to 6 h
  EXPECT_DOUBLE_EQ(definition.outside.at(6 * 3600.0), 23.0);
  EXPECT_DOUBLE_EQ(definition.outside.at(48 * 3600.0), 16.0);
}

TEST_F(ModelFileTest, TheSampleFitsTheSampleSite) {
  SiteStore sample;
  std::string error;
  ASSERT_TRUE(loadSiteFile(VULOSIM_SAMPLE_SITE, sample, error)) << error;
  ModelSpec definition;
  ASSERT_TRUE(loadModelFile(VULOSIM_SAMPLE_MODEL, definition, error)) << error;
  ModelPorts ports;
  ASSERT_TRUE(bindModelPorts(definition, VULOSIM_SAMPLE_MODEL, sample, ports, error)) << error;
  EXPECT_EQ(definition.aircons.size(), 2u);
  EXPECT_TRUE(definition.fan);
  // The whole day within three minutes of real time.
  EXPECT_LE(definition.durationS / definition.factor, 180.0);
  EXPECT_DOUBLE_EQ(definition.durationS, 86400.0);
}

struct BadModel {
  std::string text;
  const char* problem;  // part of the message
};

TEST_F(ModelFileTest, RefusesEachKindOfMistake) {
  const std::string load = "<load watts=\"3000\"/>";
  const std::string outside =
      "<outside min=\"17\" max=\"35\" coldestHour=\"4\" warmestHour=\"14\"/>";
  const BadModel cases[] = {
      {"", "malformed XML"},
      {"<model><time", "malformed XML"},
      {"<site/>", "document element is <site>, expected <model>"},
      {modelWith("<walls", "<window/><walls"), ":8: unknown element <window>"},
      {modelWith("<walls", "hello<walls"), "unexpected text in <model>"},
      {modelWith("conductance=", "colour=\"red\" conductance="),
       "unknown attribute 'colour' on <walls>"},
      {modelWith("<walls conductance=\"100\"/>", ""), "<walls> is missing"},
      {modelWith("<walls", "<walls conductance=\"1\"/><walls"), "<walls> is given twice"},
      {modelWith("heatCapacity=\"500\"", ""), "<room>: missing attribute 'heatCapacity'"},
      {withAttribute("factor", "fast"), "<time> factor 'fast' is not a finite number"},
      {withAttribute("factor", "100x"), "is not a finite number"},
      {withAttribute("watts", "inf"), "is not a finite number"},
      {withAttribute("step", "0"), "<time> step '0' must be greater than 0"},
      {withAttribute("conductance", "-1"), "<walls> conductance '-1' must not be negative"},
      {withAttribute("duration", "3601"), "duration 3601 s is not a whole number of steps of 2 s"},
      {withAttribute("interval", "3"),
       "<record> interval 3 s is not a whole number of steps of 2 s"},
      {withAttribute("factor", "1e7"), "more than one step per microsecond"},
      {withAttribute("start", "86400"), "below 86400"},
      {withAttribute("startWhen", "later"), "startWhen 'later' is not 'ready' or 'client'"},
      {withAttribute("number", "3"), "number '3' must be 1 or 2"},
      {withAttribute("number", "1"), "aircon 1 is given twice"},
      {withAttribute("label", "ac-1"), "aircons 2 and 1 name the same label 'ac-1'"},
      {withAttribute("failed", "yes"), ":11: <aircon> failed 'yes' is not 'true' or 'false'"},
      {modelWith("label=\"fan\"", "label=\"the fan\""),
       "label 'the fan' must be non-empty and contain no white space"},
      {withAttribute("external", "temp-in"), "internal and external name the same label"},
      {withAttribute("seed", "7.5"), "seed '7.5' must be a whole number"},
      {modelWith(load, "<load watts=\"3000\"><point hour=\"1\" watts=\"1\"/></load>"),
       "<load> has both watts and points"},
      {modelWith(load, "<load></load>"), "<load> needs watts or at least one <point>"},
      {modelWith(load,
                 "<load><point hour=\"5\" watts=\"1\"/><point hour=\"5\" watts=\"2\"/></load>"),
       "<point> hour '5' must come after the point before (5)"},
      {modelWith(load, "<load><point hour=\"24\" watts=\"1\"/></load>"),
       "hour '24' must be below 24"},
      {withAttribute("max", "10"), "<outside> min 17 is above max 10"},
      {withAttribute("warmestHour", "4"), "must differ"},
      {modelWith(outside, "<outside csv=\"x.csv\" min=\"1\"/>"),
       "<outside> takes either csv or min"},
      {modelWith(outside, "<outside csv=\"nowhere.csv\"/>"), "<outside> csv: cannot open"},
      {modelWith(outside, "<outside csv=\"bad.csv\"/>"), "bad.csv: line 2: temperature 'warm'"},
      {withAttribute("internal", "temp-inside"),
       ":10: internal probe: label 'temp-inside' names no port of the site"},
      {withAttribute("external", "door"),
       "external probe: label 'door' is a din port in the site, expected an ain port"},
      {withAttribute("label", "temp-out"),
       ":11: aircon 2: label 'temp-out' is an ain port in the site, expected a dout port"},
      {modelWith("label=\"fan\"", "label=\"pair\""),
       "fan: label 'pair' is a dout port in the site, expected an aout port"},
      {modelWith("label=\"fan\"", "label=\"blower\""),
       "fan: label 'blower' names no port of the site"},
  };
  folder.write("bad.csv", "0,20\n60,warm\n");
  for (const BadModel& bad : cases) {
    const std::string problem = problemWith(bad.text);
    EXPECT_NE(problem.find(bad.problem), std::string::npos)
        << "wanted '" << bad.problem << "', got '" << problem << "'";
  }
  ModelSpec definition;
  std::string error;
  EXPECT_FALSE(loadModelFile(folder.path() + "/absent.xml", definition, error));
  EXPECT_NE(error.find("absent.xml: cannot open"), std::string::npos) << error;
}

}  // namespace
