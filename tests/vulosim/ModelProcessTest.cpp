// The simulator with --model, as a demo or an installer runs it: a client
// switches an output and sees the probe follow through trend events; at the
// end come the CSV, the summary and status 0. Bad model files, misfitting
// labels and unwritable CSV paths stop it with status 2.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "RawClient.h"
#include "TempDir.h"
#include "VulosimProcess.h"
#include "cObjectList.h"

namespace {

constexpr uint32_t kProbeSerial = 100;  // temp-in is port 1 of device 100, temp-out port 2
constexpr uint32_t kInternalPort = 1;
constexpr uint32_t kExternalPort = 2;

struct ProbeReading {
  uint32_t portId;
  float value;
};

// The next pushed reading of a probe; nothing when none came in time.
std::optional<ProbeReading> nextProbeReading(RawClient& client) {
  for (;;) {
    auto push = client.nextPush(10000);
    if (!push) {
      return std::nullopt;
    }
    for (const auto& object : push->objects) {
      auto* trend = dynamic_cast<const cObjectTrend*>(object.get());
      if (trend && trend->getDeviceSerial() == kProbeSerial) {
        return ProbeReading{trend->getPortId(), trend->getCalculatedValue()};
      }
    }
  }
}

// The next pushed value of the internal probe; NaN when none came in time.
float nextInternalReading(RawClient& client) {
  for (;;) {
    const std::optional<ProbeReading> reading = nextProbeReading(client);
    if (!reading) {
      return std::numeric_limits<float>::quiet_NaN();
    }
    if (reading->portId == kInternalPort) {
      return reading->value;
    }
  }
}

const cObjectDOutput& aircon1(eObjectIOState state) {
  static cObjectDOutput out;
  out.setDeviceSerial(200);
  out.setPortId(1);
  out.setOutputState(state);
  return out;
}

bool hasLine(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::string lineStartingWith(const std::vector<std::string>& lines, const std::string& prefix) {
  for (const std::string& line : lines) {
    if (line.rfind(prefix, 0) == 0) {
      return line;
    }
  }
  return "";
}

TEST(VulosimModelRun, AClientSwitchesAnAirconAndTheRunEndsWithCsvAndSummary) {
  TempDir folder;
  const std::string csvPath = folder.path() + "/runs/today/short.csv";
  VulosimProcess sim;
  ASSERT_TRUE(sim.startSite(VULOSIM_TEST_SITE, {"--model", VULOSIM_SHORT_MODEL, "--csv", csvPath}));
  ASSERT_EQ(sim.ask("get temp-in", "value temp-in"), "value temp-in 25");

  RawClient client;
  ASSERT_TRUE(client.connect(sim.port()));  // the clock starts with the first client
  // Warming: each event a tenth of a degree up from the last.
  float previous = 25.0f;
  while (previous < 26.0f) {
    const float reading = nextInternalReading(client);
    ASSERT_FALSE(std::isnan(reading)) << "no trend event after " << previous;
    ASSERT_NEAR(reading, previous + 0.1f, 1e-4f);
    previous = reading;
  }
  ASSERT_TRUE(client.set(aircon1(OBJ_IO_STATE_SET)));
  // The 6 kW aircon beats the 3 kW load: the readings turn and fall.
  float highest = previous;
  float reading = previous;
  do {
    reading = nextInternalReading(client);
    ASSERT_FALSE(std::isnan(reading)) << "no trend event after " << previous;
    highest = std::max(highest, reading);
  } while (reading > highest - 0.5f);

  const auto status = sim.wait(60000);
  ASSERT_TRUE(status.has_value()) << "the run did not end";
  EXPECT_EQ(*status, 0);
  const std::vector<std::string> lines = sim.history();
  EXPECT_TRUE(hasLine(lines, "dout ac-1 SET"));
  EXPECT_TRUE(
      hasLine(lines, "summary simulated 3600 of 3600 s from 00:00:00 in 3600 steps of 1 s"));
  const std::string aircon = lineStartingWith(lines, "summary aircon 1 run ");
  EXPECT_NE(aircon.find(" starts 1 energy "), std::string::npos) << aircon;
  EXPECT_TRUE(hasLine(lines, "summary aircon 2 run 0.00 h starts 0 energy 0.000 kWh"));
  EXPECT_FALSE(lineStartingWith(lines, "summary internal min ").empty());
  EXPECT_FALSE(lineStartingWith(lines, "summary above hot 30 C for ").empty());
  EXPECT_TRUE(hasLine(lines, "summary csv " + csvPath + " rows 61"));

  std::ifstream in(csvPath);
  std::vector<std::string> rows;
  for (std::string row; std::getline(in, row);) {
    rows.push_back(row);
  }
  ASSERT_EQ(rows.size(), 62u);
  EXPECT_EQ(rows[1], "0,0.0000,25.000,20.000,0,0,0.0,3000");
  EXPECT_EQ(rows[61].substr(0, 5), "3600,");
  EXPECT_NE(rows[61].find(",1,0,0.0,3000"), std::string::npos) << rows[61];
}

// The value of a "value LABEL V" answer.
float answeredValue(const std::string& answer) {
  return std::stof(answer.substr(answer.rfind(' ') + 1));
}

TEST(VulosimModelRun, AFrozenProbeSendsNothingAndAnswersItsValueUntilThawed) {
  // The short model's room, from 25 C towards 50 C, under an outside air
  // that rises from 20 C by about a tenth of a degree every 23 s: the
  // external probe's events tell how far the simulated clock has gone.
  const char model[] = R"(<model>
    <time step="1" factor="1000" duration="36000" startWhen="client"/>
    <room heatCapacity="300" initialTemperature="25"/>
    <load watts="3000"/>
    <walls conductance="100"/>
    <outside min="10" max="30" coldestHour="23" warmestHour="1"/>
    <probes internal="temp-in" external="temp-out" resolution="0.1"/>
  </model>)";
  TempDir folder;
  VulosimProcess sim;
  ASSERT_TRUE(sim.startSite(VULOSIM_TEST_SITE, {"--model", folder.write("rising.xml", model)}));
  RawClient client;
  ASSERT_TRUE(client.connect(sim.port()));
  for (float reading = 25.0f; reading < 25.5f;) {
    reading = nextInternalReading(client);
    ASSERT_FALSE(std::isnan(reading)) << "no trend event of the internal probe";
  }

  ASSERT_TRUE(sim.writeLine("freeze temp-in"));
  const float frozenC = answeredValue(sim.ask("get temp-in", "value temp-in"));
  const float outsideC = answeredValue(sim.ask("get temp-out", "value temp-out"));
  // Until the outside is a degree warmer (some 230 s, in which the room
  // warms by about two) only the readings sent before the freeze come in.
  for (;;) {
    const std::optional<ProbeReading> reading = nextProbeReading(client);
    ASSERT_TRUE(reading) << "no trend event of the external probe";
    if (reading->portId == kInternalPort) {
      ASSERT_LE(reading->value, frozenC);
    } else if (reading->value >= outsideC + 1.0f) {
      break;
    }
  }
  cObjectAInput probe;
  probe.setDeviceSerial(kProbeSerial);
  probe.setPortId(kInternalPort);
  const auto polled = client.fetch(probe);
  ASSERT_TRUE(polled && polled->objects.size() == 1u);
  EXPECT_FLOAT_EQ(dynamic_cast<const cObjectAInput&>(*polled->objects[0]).getCalculatedValue(),
                  frozenC);

  ASSERT_TRUE(sim.writeLine("thaw temp-in"));
  EXPECT_GT(nextInternalReading(client), frozenC + 1.0f);
  ASSERT_TRUE(sim.writeLine("quit"));
  EXPECT_EQ(sim.wait(10000), 0);
}

TEST(VulosimModelRun, QuitBeforeTheEndStillGivesTheSummary) {
  TempDir folder;
  const std::string csvPath = folder.path() + "/early.csv";
  VulosimProcess sim;
  ASSERT_TRUE(sim.startSite(VULOSIM_TEST_SITE, {"--model", VULOSIM_SHORT_MODEL, "--csv", csvPath}));
  // No client: the clock never started.
  ASSERT_TRUE(sim.writeLine("quit"));
  const auto status = sim.wait(10000);
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(*status, 0);
  EXPECT_TRUE(sim.waitForLine("summary simulated 0 of 3600 s from 00:00:00 in 0 steps of 1 s"));
  EXPECT_TRUE(sim.waitForLine("summary csv " + csvPath + " rows 1"));
}

struct BadStart {
  const char* what;
  std::vector<std::string> arguments;  // after vulosim
  std::string message;                 // part of the standard error
};

TEST(VulosimModelRun, BadModelSetupsStopWithStatusTwo) {
  TempDir folder;
  const std::string blocker = folder.write("blocker", "a file, not a folder\n");
  const std::string badModel = folder.write("bad-model.xml", "<model><time step=\"1\"/></model>");
  const BadStart cases[] = {
      {"csv without model",
       {"--site", VULOSIM_TEST_SITE, "--csv", folder.path() + "/x.csv"},
       "vulosim: --csv FILE needs --model FILE"},
      {"model without value", {"--site", VULOSIM_TEST_SITE, "--model"}, "--model needs a value"},
      {"missing model",
       {"--site", VULOSIM_TEST_SITE, "--model", folder.path() + "/none.xml"},
       "none.xml: cannot open"},
      {"bad model",
       {"--site", VULOSIM_TEST_SITE, "--model", badModel},
       "vulosim: bad model file " + std::string(folder.path()) +
           "/bad-model.xml:1: <time>: "
           "missing attribute 'factor'"},
      {"labels of another site",
       {"--site", VULOSIM_SAMPLE_SITE, "--model", VULOSIM_SHORT_MODEL},
       "internal probe: label 'temp-in' names no port of the site"},
      {"unwritable csv",
       {"--site", VULOSIM_TEST_SITE, "--model", VULOSIM_SHORT_MODEL, "--csv", blocker + "/x.csv"},
       "vulosim: cannot write CSV " + blocker + "/x.csv"},
  };
  for (const BadStart& bad : cases) {
    ChildProcess sim;
    std::vector<std::string> argv = {VulosimProcess::binaryPath(), "--port", "0"};
    argv.insert(argv.end(), bad.arguments.begin(), bad.arguments.end());
    ASSERT_TRUE(sim.start(argv)) << bad.what;
    const auto status = sim.wait(10000);
    ASSERT_TRUE(status.has_value()) << bad.what;
    EXPECT_EQ(*status, 2) << bad.what;
    EXPECT_TRUE(sim.waitForLine(bad.message, 2000, ChildProcess::kStderr))
        << bad.what << ": expected '" << bad.message << "'";
    EXPECT_EQ(sim.countLines("ready"), 0u) << bad.what;
  }
}

}  // namespace
