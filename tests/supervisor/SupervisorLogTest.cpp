#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "Globals.h"
#include "LogCapture.h"
#include "supervisorLog.h"

namespace {

TEST(SupervisorLog, ModeNamesAndTheModeChangeLine) {
  cQlog log("SupervisorLogTest");
  LogCapture capture("SupervisorLogTest");
  logModeChange(log, freeAirCoolingModeState, aircon1CoolingModeState, 27.14f, 18.26f);
  logModeChange(log, noCoolingModeState, emergencyCoolingModeState, NAN, -3.0f);
  logModeChange(log, aircon2CoolingModeState, static_cast<eCoolingModeState>(9), 20.0f, 20.0f);
  EXPECT_EQ(capture.messages(), (std::vector<std::string>{
                                    "mode free air -> single aircon (internal 27.1, external 18.3)",
                                    "mode no cooling -> emergency (internal nan, external -3.0)",
                                    "mode two aircon -> unknown (internal 20.0, external 20.0)"}));
  for (const LogEntry& entry : capture.entries()) {
    EXPECT_EQ(entry.priority, 600);  // INFO
  }
}

TEST(SupervisorLog, EveryParameterIsLoggedOnceWithItsUnit) {
  aircon1PullIn = 30.0f;
  aircon1MinimumRunTimeValue = 30000;
  useFreeAir = 1;
  cQlog log("SupervisorLogTest");
  LogCapture capture("SupervisorLogTest");
  logEffectiveParameters(log, 10000);
  std::vector<std::string> lines = capture.messages();
  EXPECT_EQ(lines.size(), 26u);
  auto has = [&](const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  };
  EXPECT_TRUE(has("parameter aircon1PullIn = 30 degC"));
  EXPECT_TRUE(has("parameter aircon1MinimumRunTimeValue = 30000 passes (300.0 s)"));
  EXPECT_TRUE(has("parameter useFreeAir = 1"));
  capture.clear();
  logEffectiveParameters(log, 0);  // literal loop: no seconds
  EXPECT_TRUE(capture.contains("parameter aircon1MinimumRunTimeValue = 30000 passes"));
}

}  // namespace
