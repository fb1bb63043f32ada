#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <chrono>
#include <thread>

#include <nlohmann/json.hpp>

#include "Globals.h"
#include "LogCapture.h"
#include "TempDir.h"
#include "operatorStatus.h"

namespace {

TEST(StatusJson, RendersEveryFieldAndNullForWhatIsUnknown) {
  StatusSnapshot s;
  s.controlling = true;
  s.mode = aircon2CoolingModeState;
  s.internalTemperature = 31.25f;
  s.externalTemperature = NAN;
  s.fanSpeedPercent = 40.0f;
  s.airconDecidedOn[0] = 1;
  s.airconOn[0] = 1;
  s.starts[0] = 3;
  s.runNanoseconds[0] = 5400LL * 1000000000;  // 1.5 h
  s.airconDecidedOn[1] = 1;
  s.startHeld[1] = 1;
  s.restLeftSeconds[1] = 42.04;
  s.sendFailures[1] = 5;
  s.sendFailures[2] = 7;
  s.noCooling[1] = 1;
  s.probeImplausible[1] = 1;
  s.firstRoleUnit = 2;
  const StatusWriteStamp stamp{4242, 1700000000};
  const auto json = nlohmann::json::parse(renderStatusJson(s, 99.96, 1.5, -1.0, stamp));
  EXPECT_EQ(json["state"], "controlling");
  EXPECT_EQ(json["pid"], 4242);
  EXPECT_EQ(json["writtenAt"], "2023-11-14T22:13:20Z");
  EXPECT_EQ(json["writtenAtUnixSeconds"], 1700000000);
  EXPECT_EQ(json["mode"], "two aircon");
  EXPECT_EQ(json["passesPerSecond"], 100.0);
  EXPECT_EQ(json["probes"]["internal"],
            nlohmann::json::parse(
                R"({"temperature": 31.25, "lastTrendAgeSeconds": 1.5, "lost": false,
                    "implausible": false})"));
  EXPECT_EQ(json["probes"]["external"],
            nlohmann::json::parse(
                R"({"temperature": null, "lastTrendAgeSeconds": null, "lost": false,
                    "implausible": true})"));
  EXPECT_EQ(json["aircons"][0], nlohmann::json::parse(R"({"unit": 1, "decidedOn": true,
      "on": true, "startHeld": false, "restLeftSeconds": 0.0, "starts": 3, "runHours": 1.5,
      "sendFailures": 0, "noCooling": false})"));
  EXPECT_EQ(json["aircons"][1], nlohmann::json::parse(R"({"unit": 2, "decidedOn": true,
      "on": false, "startHeld": true, "restLeftSeconds": 42.0, "starts": 0, "runHours": 0.0,
      "sendFailures": 5, "noCooling": true})"));
  EXPECT_EQ(json["firstRoleUnit"], 2);
  EXPECT_EQ(json["fanSpeedPercent"], 40.0);
  EXPECT_EQ(json["fanSendFailures"], 7);

  const auto idle =
      nlohmann::json::parse(renderStatusJson(StatusSnapshot(), -1.0, -1.0, -1.0, stamp));
  EXPECT_EQ(idle["state"], "idle: set-up incomplete");
  EXPECT_TRUE(idle["passesPerSecond"].is_null());

  s.stopped = true;  // the last mode and units stay, marked as no longer controlled
  const auto stopped = nlohmann::json::parse(renderStatusJson(s, -1.0, 1.5, -1.0, stamp));
  EXPECT_EQ(stopped["state"], "stopped");
  EXPECT_EQ(stopped["mode"], "two aircon");
}

TEST(SnapshotExchange, TheReaderGetsTheLatestOnlyOnce) {
  SnapshotExchange exchange;
  StatusSnapshot out;
  EXPECT_FALSE(exchange.take(out));
  for (uint64_t pass = 1; pass <= 3; ++pass) {
    StatusSnapshot s;
    s.passes = pass;
    exchange.publish(s);
  }
  ASSERT_TRUE(exchange.take(out));
  EXPECT_EQ(out.passes, 3u);
  EXPECT_FALSE(exchange.take(out));
}

TEST(SnapshotExchange, ConcurrentPublishingNeverTearsASnapshot) {
  SnapshotExchange exchange;
  constexpr uint64_t kPasses = 200000;
  std::thread writer([&] {
    for (uint64_t pass = 1; pass <= kPasses; ++pass) {
      StatusSnapshot s;
      s.passes = pass;
      s.takenNanoseconds = static_cast<int64_t>(pass) * 7;
      s.starts[1] = static_cast<uint32_t>(pass);
      exchange.publish(s);
    }
  });
  uint64_t last = 0;
  StatusSnapshot out;
  while (last < kPasses) {
    if (exchange.take(out)) {
      ASSERT_EQ(out.takenNanoseconds, static_cast<int64_t>(out.passes) * 7);
      ASSERT_EQ(out.starts[1], static_cast<uint32_t>(out.passes));
      ASSERT_GT(out.passes, last);  // never an older one
      last = out.passes;
    }
  }
  writer.join();
}

class OperatorStatusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    coolState = noCoolingModeState;
    aircon1 = aircon2 = 0;
  }
  TempDir dir;
  cQlog log{"OperatorStatusTest"};
};

TEST_F(OperatorStatusTest, CountsStartsAndWritesTheFileAtomically) {
  const std::string path = dir.path() + "/status";
  {
    OperatorStatus status(log, dir.path());
    AirconStates outputs;
    status.afterPass(outputs);
    outputs.on[1] = true;  // unit 2 starts
    coolState = aircon1CoolingModeState;
    status.afterPass(outputs);
    outputs.on[1] = false;
    status.afterPass(outputs);
    outputs.startHeld[1] = true;  // a start waits for the minimum off time
    status.afterPass(outputs);
    outputs.startHeld[1] = false;
    outputs.on[1] = true;  // and goes out
    status.afterPass(outputs);
  }  // the destructor makes a last write
  const auto json = nlohmann::json::parse(readWholeFile(path));
  EXPECT_EQ(json["mode"], "single aircon");
  EXPECT_EQ(json["aircons"][1]["on"], true);
  EXPECT_EQ(json["aircons"][1]["starts"], 2);
  EXPECT_EQ(json["aircons"][0]["on"], false);
  EXPECT_EQ(json["aircons"][0]["starts"], 0);
  // No temporary file is left beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(OperatorStatusTest, AWriteFailureIsLoggedOnceAndTheRecoveryToo) {
  LogCapture capture("OperatorStatusTest");
  const std::string missing = dir.path() + "/not/yet";  // mkdir of it fails
  {
    OperatorStatus status(log, missing);
    status.idle();
    ASSERT_TRUE(capture.waitFor("cannot write the status file " + missing +
                                "/status: No such file or directory; "
                                "retrying every second"));
    std::filesystem::create_directories(missing);
    ASSERT_TRUE(capture.waitFor("status file " + missing + "/status written again"));
  }
  EXPECT_EQ(capture.count("cannot write the status file " + missing +
                          "/status: No such file or directory; retrying every second"),
            1u);
  EXPECT_NE(readWholeFile(missing + "/status").find("idle: set-up incomplete"), std::string::npos);
}

// A loop that makes no pass is told, however recent its last snapshot:
// the writer counts passes on its own clock. The stall shows in the status
// file and the log, and goes once passes come again.
TEST_F(OperatorStatusTest, ALoopThatMakesNoPassIsToldStalled) {
  LogCapture capture("OperatorStatusTest");
  const std::string path = dir.path() + "/status";
  auto waitForState = [&](const std::string& state) {
    nlohmann::json json;
    for (int tries = 0; tries < 300 && json["state"] != state; ++tries) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      json = nlohmann::json::parse(readWholeFile(path), nullptr, false);
      if (json.is_discarded()) {
        json = nullptr;  // not written yet
      }
    }
    return json;
  };
  OperatorStatus status(log, dir.path());
  for (int pass = 0; pass < 3; ++pass) {
    status.afterPass(AirconStates());
  }
  nlohmann::json json = waitForState("stalled");
  EXPECT_EQ(json["state"], "stalled");
  EXPECT_EQ(json["passesPerSecond"], 0.0);
  EXPECT_TRUE(capture.waitForStart("control loop stalled: no pass for "));

  status.afterPass(AirconStates());
  EXPECT_EQ(waitForState("controlling")["state"], "controlling");
  EXPECT_TRUE(capture.waitFor("control loop runs again"));
}

}  // namespace
