// What reaches the controller of the probes, and the no-cooling alarm, pass
// by pass on a clock of seconds.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "Globals.h"
#include "LogCapture.h"
#include "noCoolingWatch.h"
#include "probeGuard.h"

namespace {

constexpr int64_t kSecond = 1000000000;

// One probe's story, a step a second, in words: what it reads ("N24.5" a
// new value 24.5 arrives, "r24" a read of the port gives 24, "." nothing),
// what the controller works with after each step ("-": nothing written, 0,
// its start value) and whether the probe is lost ('!') or not ('.').
struct GuardCase {
  const char* name;
  ProbeLostAction action;
  const char* steps;
  const char* controller;
  const char* lost;
};

// The words of `text`, split at blanks.
std::vector<std::string> words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> out;
  for (std::string word; in >> word;) {
    out.push_back(word);
  }
  return out;
}

class ProbeGuardTable : public ::testing::TestWithParam<GuardCase> {};

TEST_P(ProbeGuardTable, GivesTheControllerOnlyWhatItCanTrust) {
  const GuardCase& c = GetParam();
  const std::vector<std::string> steps = words(c.steps);
  const std::vector<std::string> controller = words(c.controller);
  ASSERT_EQ(controller.size(), steps.size());
  ASSERT_EQ(std::string(c.lost).size(), steps.size());
  ProbeGuardSettings settings;
  settings.lostAfter = 3 * kSecond;
  settings.action = c.action;
  settings.lostInternalCelsius = 28.0f;
  settings.lostExternalCelsius = 90.0f;
  ProbeGuard guard(settings, 0, nullptr);
  internalTemperatureAveraging = 0.0f;
  int64_t trendAt = 0;
  for (std::size_t step = 0; step < steps.size(); ++step) {
    const int64_t now = static_cast<int64_t>(step + 1) * kSecond;
    const char what = steps[step][0];
    if (what == 'N') {
      trendAt = now;
    }
    if (what != '.') {
      guard.reported(ProbeGuard::kInternal, std::strtof(steps[step].c_str() + 1, nullptr), trendAt,
                     now);
    }
    guard.tick(now);
    guard.giveToController();
    const float expected = controller[step] == "-" ? 0.0f : std::stof(controller[step]);
    EXPECT_EQ(internalTemperatureAveraging, expected) << "step " << step;
    EXPECT_EQ(guard.lost(ProbeGuard::kInternal), c.lost[step] == '!') << "step " << step;
  }
}

const float kNaN = NAN;

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Table, ProbeGuardTable,
    ::testing::ValuesIn(std::vector<GuardCase>{
        {"PlausibleValuesGoThrough",                ProbeLostAction::Cool, "N24 N24.5 N-40 N85",          "24 24.5 -40 85",    "...."},
        {"ImplausibleValuesNeverReachTheController", ProbeLostAction::Hold, "N24 N-100 N500 Nnan N25",     "24 24 24 24 25",    "....."},
        // No new plausible value for more than 3 s: lost. With hold the last
        // value stays; with cool the substitute goes in, until a new value.
        {"HoldKeepsTheLastValueOfALostProbe",        ProbeLostAction::Hold, "N24 . . . . N23",             "24 24 24 24 24 23", "....!."},
        {"CoolGivesTheSubstituteUntilANewValue",     ProbeLostAction::Cool, "N24 . . . . N23",             "24 24 24 24 28 23", "....!."},
        // Implausible values are no new values: the probe is lost all the same.
        {"ImplausibleValuesDoNotKeepAProbeAlive",    ProbeLostAction::Cool, "N24 N-100 N-101 N-102 N-103", "24 24 24 24 28",    "....!"},
        // A read of the port (a re-poll of a frozen probe) ends no loss.
        {"AReadOfThePortEndsNoLoss",                 ProbeLostAction::Cool, "N24 . . . r24 r24",           "24 24 24 24 28 28", "....!!"},
        {"NothingYetLeavesTheControllerAlone",       ProbeLostAction::Cool, "N-100 .",                     "- -",               ".."},
    }),
    [](const ::testing::TestParamInfo<GuardCase>& info) { return std::string(info.param.name); });
// clang-format on

TEST(ProbeGuard, TheBlockingOutsideValueLiesAboveEveryInsideOne) {
  EXPECT_GT(freeAirBlockingOutsideCelsius(85.0f, 2.0f) - 2.0f, 85.0f);
  EXPECT_GT(freeAirBlockingOutsideCelsius(85.0f, -2.0f) + 2.0f, 85.0f);
}

// A unit's story, a step a minute: which units run ('1', '2', 'b' both,
// '.' none) and the inside temperature; the alarm of unit 1 after it.
struct WatchCase {
  const char* name;
  std::vector<std::pair<char, float>> steps;
  const char* alarm;  // '!' unit 1 called out, '.' not
};

class NoCoolingTable : public ::testing::TestWithParam<WatchCase> {};

TEST_P(NoCoolingTable, CallsOutAUnitThatRunsAloneWithoutCooling) {
  const WatchCase& c = GetParam();
  NoCoolingWatch watch(3 * 60 * kSecond, 0.3f, nullptr);
  std::string alarms;
  for (std::size_t step = 0; step < c.steps.size(); ++step) {
    const auto [units, inside] = c.steps[step];
    const bool running[2] = {units == '1' || units == 'b', units == '2' || units == 'b'};
    watch.update(running, inside, static_cast<int64_t>(step) * 60 * kSecond);
    alarms += watch.alarm(1) ? '!' : '.';
  }
  EXPECT_EQ(alarms, c.alarm);
}

INSTANTIATE_TEST_SUITE_P(
    Table, NoCoolingTable,
    ::testing::Values(
        WatchCase{"ACoolingUnitIsNeverCalledOut",
                  {{'1', 27.0f}, {'1', 26.9f}, {'1', 26.8f}, {'1', 26.7f}, {'1', 26.6f}},
                  "....."},
        WatchCase{
            "AUnitAloneWithoutCoolingIsCalledOutUntilItStops",
            {{'1', 27.0f}, {'1', 27.1f}, {'1', 27.0f}, {'1', 26.8f}, {'1', 26.9f}, {'.', 27.0f}},
            "...!!."},
        WatchCase{"TheAlarmEndsWhenTheRoomCools",
                  {{'1', 27.0f}, {'1', 27.0f}, {'1', 27.0f}, {'1', 27.0f}, {'1', 26.7f}},
                  "...!."},
        // Once both ran, nobody can tell which one fails: the run is not
        // judged until the unit stops and starts again.
        WatchCase{"ARunSharedWithTheOtherUnitIsNotJudged",
                  {{'1', 27.0f},
                   {'b', 27.0f},
                   {'1', 27.0f},
                   {'1', 27.0f},
                   {'1', 27.0f},
                   {'1', 27.0f},
                   {'.', 27.0f},
                   {'1', 27.0f},
                   {'1', 27.0f},
                   {'1', 27.0f},
                   {'1', 27.0f}},
                  "..........!"},
        // A run that brought the room down once has shown that the unit
        // cools: the room warming later (a hotter hour) is no alarm.
        WatchCase{"ARunThatCooledOnceIsNotCalledOutLater",
                  {{'1', 27.0f}, {'1', 26.6f}, {'1', 26.8f}, {'1', 27.0f}, {'1', 27.1f}},
                  "....."},
        WatchCase{"NoTrustedTemperatureNoJudgement",
                  {{'1', kNaN}, {'1', kNaN}, {'1', kNaN}, {'1', kNaN}, {'1', 27.0f}},
                  "....."}),
    [](const ::testing::TestParamInfo<WatchCase>& info) { return std::string(info.param.name); });

TEST(NoCoolingWatch, SaysSoOnceAndWhenItEnds) {
  LogCapture capture("NoCoolingTest");
  cQlog log("NoCoolingTest");
  NoCoolingWatch watch(60 * kSecond, 0.3f, &log);
  const bool on[2] = {false, true};
  const bool off[2] = {false, false};
  for (int minute = 0; minute < 3; ++minute) {
    watch.update(on, 27.0f, minute * 60 * kSecond);
  }
  watch.update(off, 27.0f, 3 * 60 * kSecond);
  EXPECT_EQ(capture.take(),
            (std::vector<std::string>{"aircon 2 runs without cooling",
                                      "aircon 2: inside 27.0 degC, 27.0 degC when it started "
                                      "running alone",
                                      "aircon 2: stopped"}));
}

}  // namespace
