// A model run inside the test, tick by tick: the outputs in the site drive
// the room, probe changes go out as trend events (and only changes), the
// CSV gets its rows, and the end brings the summary and a stop request.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "CsvRecorder.h"
#include "ModelFile.h"
#include "ModelRun.h"
#include "Simulator.h"
#include "SiteFile.h"
#include "TempDir.h"
#include "cObjectList.h"

namespace {

// The hub of a simulator without sockets: keeps the trend events pushed.
class RecordingHub : public ClientHub {
 public:
  struct Trend {
    uint32_t serial;
    uint32_t portId;
    float value;
  };

  void sendToAll(const std::vector<uint8_t>& bytes) override {
    mAssembler.append(bytes.data(), bytes.size());
    vulowire::Frame frame;
    while (mAssembler.next(frame) == vulowire::DecodeStatus::Ok) {
      for (const auto& object : frame.objects) {
        if (auto* trend = dynamic_cast<const cObjectTrend*>(object.get())) {
          trends.push_back(
              {trend->getDeviceSerial(), trend->getPortId(), trend->getCalculatedValue()});
        }
      }
    }
  }
  void dropAllClients() override {}
  void requestStop() override { stopRequested = true; }

  // The values pushed for one port, in order.
  std::vector<float> valuesOf(uint32_t serial, uint32_t portId) const {
    std::vector<float> values;
    for (const Trend& trend : trends) {
      if (trend.serial == serial && trend.portId == portId) {
        values.push_back(trend.value);
      }
    }
    return values;
  }

  std::vector<Trend> trends;
  bool stopRequested = false;

 private:
  vulowire::FrameAssembler mAssembler;
};

class LinesSink : public LineSink {
 public:
  void line(const std::string& text) override { lines.push_back(text); }
  std::vector<std::string> lines;
};

// A room of 100 kJ/K and 100 W/K (tau 1000 s) with 1 kW inside and 20 C
// outside: from 20 C it heads for 30 C. One-second steps.
std::string roomModel(const std::string& extra = "", const std::string& duration = "600",
                      const std::string& resolution = "0.5") {
  return "<model>\n"
         "<time step=\"1\" factor=\"1000\" duration=\"" +
         duration +
         "\"/>\n"
         "<record interval=\"60\"/>\n"
         "<room heatCapacity=\"100\" initialTemperature=\"20\"/>\n"
         "<load watts=\"1000\"/>\n"
         "<walls conductance=\"100\"/>\n"
         "<outside min=\"20\" max=\"20\"/>\n"
         "<probes internal=\"temp-in\" external=\"temp-out\" resolution=\"" +
         resolution +
         "\"/>\n"
         "<aircon number=\"1\" label=\"ac-1\" coolingWatts=\"2000\" electricWatts=\"700\"/>\n"
         "<fan label=\"fan\" airflow=\"1500\" electricWatts=\"200\"/>\n" +
         extra + "</model>\n";
}

class ModelRunTest : public ::testing::Test {
 protected:
  void start(const std::string& model, bool withCsv = false,
             std::function<bool()> clientConnected = {}) {
    std::string error;
    ASSERT_TRUE(loadSiteFile(VULOSIM_TEST_SITE, site, error)) << error;
    const std::string path = folder.write("model.xml", model);
    ASSERT_TRUE(loadModelFile(path, definition, error)) << error;
    ASSERT_TRUE(bindModelPorts(definition, path, site, ports, error)) << error;
    if (withCsv) {
      ASSERT_TRUE(csv.open(folder.path() + "/out/run.csv", error)) << error;
    }
    simulator = std::make_unique<Simulator>(site, out, hub, false);
    run = std::make_unique<ModelRun>(definition, ports, site, *simulator, out, hub,
                                     withCsv ? &csv : nullptr, clientConnected);
  }
  void ticks(int count) {
    for (int i = 0; i < count; ++i) {
      run->tick();
    }
  }
  SitePort& port(const std::string& label) { return *site.findFirstByLabel(label); }

  TempDir folder;
  SiteStore site;
  ModelSpec definition;
  ModelPorts ports;
  CsvRecorder csv;
  RecordingHub hub;
  LinesSink out;
  std::unique_ptr<Simulator> simulator;
  std::unique_ptr<ModelRun> run;
};

TEST_F(ModelRunTest, PushesATrendEventOnlyWhenTheReportedValueChanges) {
  start(roomModel());
  // The probes start at the model's first readings, without a push.
  EXPECT_EQ(port("temp-in").value, 20.0f);
  EXPECT_EQ(port("temp-out").value, 20.0f);
  EXPECT_TRUE(hub.trends.empty());
  ticks(600);
  // T(600) = 30 - 10 e^-0.6 = 24.51: the half degrees 20.5 to 24.5, once each.
  EXPECT_NEAR(run->internalC(), 30.0 - 10.0 * std::exp(-0.6), 1e-9);
  const std::vector<float> expected = {20.5f, 21.0f, 21.5f, 22.0f, 22.5f,
                                       23.0f, 23.5f, 24.0f, 24.5f};
  EXPECT_EQ(hub.valuesOf(100, 1), expected);
  EXPECT_TRUE(hub.valuesOf(100, 2).empty());  // the outside stays at 20
  EXPECT_EQ(port("temp-in").value, 24.5f);
}

TEST_F(ModelRunTest, AValueTypedOnTheConsoleIsPutRightAtTheNextStep) {
  start(roomModel());
  simulator->consoleLine("ain temp-in 50");
  ASSERT_EQ(hub.valuesOf(100, 1), std::vector<float>{50.0f});
  ticks(1);
  EXPECT_EQ(hub.valuesOf(100, 1), (std::vector<float>{50.0f, 20.0f}));
}

TEST_F(ModelRunTest, AThawedProbeReportsThePresentAtOnce) {
  start(roomModel());
  simulator->consoleLine("freeze temp-in");
  simulator->consoleLine("ain temp-in 50");
  ticks(100);
  EXPECT_TRUE(hub.valuesOf(100, 1).empty());
  EXPECT_EQ(port("temp-in").servedValue(), 20.0f);
  // 30 - 10 e^-0.1 = 20.95, read to the half degree, without a step.
  simulator->consoleLine("thaw temp-in");
  EXPECT_EQ(hub.valuesOf(100, 1), std::vector<float>{21.0f});
}

TEST_F(ModelRunTest, TheOutputsInTheSiteDriveTheRoom) {
  start(roomModel("", "3000"));
  // Aircon 1 (2 kW) against the 1 kW load: heads for 20 - 10 = 10 C.
  port("ac-1").state = OBJ_IO_STATE_SET;
  ticks(1000);
  EXPECT_NEAR(run->internalC(), 10.0 + 10.0 * std::exp(-1.0), 1e-9);
  // Off again, with the fan at 150 % (taken as 100 %): 100 + 502.5 W/K.
  port("ac-1").state = OBJ_IO_STATE_CLEAR;
  port("fan").value = 150.0f;
  const double startC = run->internalC();
  const double equilibriumC = 20.0 + 1000.0 / 602.5;
  ticks(100);
  EXPECT_NEAR(run->internalC(),
              equilibriumC + (startC - equilibriumC) * std::exp(-100.0 * 602.5 / 1e5), 1e-9);
  // A fan value that is no number, or negative, moves no air.
  for (float fan : {std::numeric_limits<float>::quiet_NaN(), -20.0f}) {
    port("fan").value = fan;
    const double beforeC = run->internalC();
    ticks(10);
    const double walledC = 30.0 + (beforeC - 30.0) * std::exp(-10.0 * 100.0 / 1e5);
    EXPECT_NEAR(run->internalC(), walledC, 1e-9) << fan;
  }
  EXPECT_EQ(run->statistics().airconStarts(1), 1u);
  EXPECT_DOUBLE_EQ(run->statistics().airconRunS(1), 1000.0);
  EXPECT_DOUBLE_EQ(run->statistics().airconEnergyJ(1), 700.0 * 1000.0);
  EXPECT_DOUBLE_EQ(run->statistics().fanEnergyJ(), 200.0 * 100.0);
}

TEST_F(ModelRunTest, AFailedAirconFollowsItsOutputButCoolsNothing) {
  std::string model = roomModel("", "3000");
  const std::string power = "electricWatts=\"700\"";
  model.replace(model.find(power), power.size(), power + " failed=\"true\"");
  start(model);
  // Failed from the start: off for 100 s, then on (as the daemon sets it)
  // for 500 s, and the room warms as if it were off all along.
  ticks(100);
  vulowire::Frame set;
  set.kind = vulowire::FrameKind::SetRequest;
  auto output = std::make_unique<cObjectDOutput>();
  output->setDeviceSerial(200);
  output->setPortId(1);
  output->setOutputState(OBJ_IO_STATE_SET);
  set.objects.push_back(std::move(output));
  std::vector<uint8_t> reply;
  std::string why;
  ASSERT_TRUE(simulator->clientFrame(set, reply, why)) << why;
  ticks(500);
  EXPECT_EQ(port("ac-1").state, OBJ_IO_STATE_SET);
  EXPECT_NEAR(run->internalC(), 30.0 - 10.0 * std::exp(-0.6), 1e-9);
  // Repaired, its 2 kW against the 1 kW load head for 10 C; failed again,
  // the walls alone for 30 C.
  simulator->consoleLine("repair ac-1");
  double startC = run->internalC();
  ticks(1000);
  EXPECT_NEAR(run->internalC(), 10.0 + (startC - 10.0) * std::exp(-1.0), 1e-9);
  simulator->consoleLine("fail ac-1");
  startC = run->internalC();
  ticks(100);
  EXPECT_NEAR(run->internalC(), 30.0 + (startC - 30.0) * std::exp(-0.1), 1e-9);
  simulator->consoleLine("fail temp-in");

  // It ran and drew power 1600 s, but cooled only the 1000 s it was sound.
  EXPECT_DOUBLE_EQ(run->statistics().airconEnergyJ(1), 700.0 * 1600.0);
  EXPECT_DOUBLE_EQ(run->statistics().airconCoolingJ(), 2000.0 * 1000.0);
  run->finish();
  const std::vector<std::string> expected = {
      "dout ac-1 SET",
      "error no air conditioner of the room model is labelled temp-in",
      "summary aircon 1 run 0.44 h starts 1 energy 0.311 kWh",
      "summary aircon 1 failed 0.19 h run without cooling 0.17 h",
      "summary cooling by outside air 0.000 kWh by aircons 0.556 kWh share 0.0 %",
  };
  for (const std::string& line : expected) {
    EXPECT_NE(std::find(out.lines.begin(), out.lines.end(), line), out.lines.end()) << line;
  }
}

TEST_F(ModelRunTest, RecordsTheCsvAndEndsWithTheSummaryAndAStop) {
  start(roomModel("<threshold name=\"warm\" temperature=\"22\"/>\n"), true);
  ticks(599);
  EXPECT_FALSE(hub.stopRequested);
  EXPECT_TRUE(out.lines.empty());
  port("ac-1").state = OBJ_IO_STATE_SET;
  ticks(1);
  EXPECT_TRUE(hub.stopRequested);
  EXPECT_TRUE(run->complete());
  ticks(5);  // nothing more once the run is over
  EXPECT_EQ(run->steps(), 600u);
  ASSERT_FALSE(out.lines.empty());
  EXPECT_EQ(out.lines.front(), "summary simulated 600 of 600 s from 00:00:00 in 600 steps of 1 s");
  // From 20 towards 30 with tau 1000 s: above 22 from 1000 ln(10/8) s.
  const std::string above = "summary above warm 22 C for " +
                            std::to_string(std::lround(600.0 - 1000.0 * std::log(1.25))) +
                            " s (0.10 h)";
  EXPECT_NE(std::find(out.lines.begin(), out.lines.end(), above), out.lines.end()) << above;
  EXPECT_EQ(out.lines.back(), "summary csv " + folder.path() + "/out/run.csv rows 11");
  EXPECT_TRUE(run->finish());  // a second call prints nothing more
  EXPECT_EQ(out.lines.back(), "summary csv " + folder.path() + "/out/run.csv rows 11");

  std::ifstream in(folder.path() + "/out/run.csv");
  std::vector<std::string> rows;
  for (std::string row; std::getline(in, row);) {
    rows.push_back(row);
  }
  ASSERT_EQ(rows.size(), 12u);
  EXPECT_EQ(rows[0], "time_s,hour,internal_c,external_c,aircon1,aircon2,fan_percent,load_w");
  EXPECT_EQ(rows[1], "0,0.0000,20.000,20.000,0,0,0.0,1000");
  EXPECT_EQ(rows[2], "60,0.0167,20.582,20.000,0,0,0.0,1000");
  // The last row shows the aircon that ran over the last step.
  EXPECT_EQ(rows[11].substr(0, 4), "600,");
  EXPECT_NE(rows[11].find(",1,0,0.0,1000"), std::string::npos) << rows[11];
}

TEST_F(ModelRunTest, ARunStoppedEarlyRecordsWhereItStopped) {
  start(roomModel(), true);
  ticks(90);
  EXPECT_TRUE(run->finish());
  EXPECT_FALSE(hub.stopRequested);  // the stop came from outside
  EXPECT_EQ(out.lines.front(), "summary simulated 90 of 600 s from 00:00:00 in 90 steps of 1 s");
  EXPECT_EQ(out.lines.back(), "summary csv " + folder.path() + "/out/run.csv rows 3");
  std::ifstream in(folder.path() + "/out/run.csv");
  std::string last;
  for (std::string row; std::getline(in, row);) {
    last = row;
  }
  EXPECT_EQ(last.substr(0, 3), "90,");
  ticks(10);  // finished: the clock does not move on
  EXPECT_EQ(run->steps(), 90u);
}

TEST_F(ModelRunTest, TheClockWaitsForAClientWhenAskedTo) {
  bool connected = false;
  start(roomModel(), false, [&connected] { return connected; });
  ticks(50);
  EXPECT_EQ(run->steps(), 0u);
  connected = true;
  ticks(50);
  EXPECT_EQ(run->steps(), 50u);
  connected = false;  // once started, the clock runs on
  ticks(50);
  EXPECT_EQ(run->steps(), 100u);
}

TEST_F(ModelRunTest, NoiseIsTheSameOnEveryRunWithTheSameSeed) {
  const std::string noisy = roomModel("", "600", "0.1");
  auto readings = [&](const std::string& seed) {
    RecordingHub seen;
    SiteStore store;
    std::string error;
    EXPECT_TRUE(loadSiteFile(VULOSIM_TEST_SITE, store, error));
    std::string text = noisy;
    text.replace(text.find("resolution="), 0, "noise=\"0.3\" seed=\"" + seed + "\" ");
    const std::string path = folder.write("noisy.xml", text);
    ModelSpec model;
    ModelPorts bound;
    EXPECT_TRUE(loadModelFile(path, model, error)) << error;
    EXPECT_TRUE(bindModelPorts(model, path, store, bound, error)) << error;
    LinesSink lines;
    Simulator sim(store, lines, seen, false);
    ModelRun noisyRun(model, bound, store, sim, lines, seen, nullptr);
    for (int i = 0; i < 300; ++i) {
      noisyRun.tick();
    }
    std::vector<float> values = seen.valuesOf(100, 2);  // the steady outside, noise only
    values.push_back(store.at(0).value);
    return values;
  };
  const std::vector<float> first = readings("5");
  EXPECT_GT(first.size(), 100u);  // with 0.3 C of noise the 0.1 C readings move
  EXPECT_EQ(readings("5"), first);
  EXPECT_NE(readings("6"), first);
}

}  // namespace
