#include "ControllerRig.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ChildProcess.h"
#include "CqTranslator.h"
#include "EarlySite.h"
#include "frigel.h"
#include "iostub.h"

namespace {

const char* const kAircon1Label = "controller-aircon-1";
const char* const kAircon2Label = "controller-aircon-2";
const char* const kFanLabel = "controller-fan";

// Marks a test process that was started to run one test afresh.
const char* const kFreshChildVariable = "FRIGEL_FRESH_CONTROLLER_CHILD";

long controllerPasses = 0;

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

bool endsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The number right after `prefix` in `line`, if `line` is exactly
// prefix NUMBER suffix.
bool unitNumberBetween(const std::string& line, const std::string& prefix,
                       const std::string& suffix, int& unit) {
  if (!startsWith(line, prefix) || !endsWith(line, suffix) ||
      line.size() <= prefix.size() + suffix.size()) {
    return false;
  }
  std::string digits = line.substr(prefix.size(), line.size() - prefix.size() - suffix.size());
  char* end = nullptr;
  long value = std::strtol(digits.c_str(), &end, 10);
  if (end == digits.c_str() || *end != '\0') {
    return false;
  }
  unit = static_cast<int>(value);
  return true;
}

// Zeroes every controller variable, settings included (the first-pass
// marker aside).
void zeroControllerState() {
#define FRIGEL_RIG_ZERO(type, name) ::name = type{};
  FRIGEL_CONTROLLER_SETTINGS(FRIGEL_RIG_ZERO)
  FRIGEL_CONTROLLER_LIVE_STATE(FRIGEL_RIG_ZERO)
#undef FRIGEL_RIG_ZERO
}

std::string selfExecutable() {
  char path[PATH_MAX];
  ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) {
    return "";
  }
  path[length] = '\0';
  return path;
}

}  // namespace

ControllerSettings::ControllerSettings() {
  numberOfAircons = 2;
  useFreeAir = 1;
  goalTemperature = 24.0f;
  maximumExtAboveIntTemperature = 2.0f;
  coolingPullIn = 22.0f;
  aircon1PullIn = 28.0f;
  aircon1DropOut = 25.0f;
  aircon2PullIn = 32.0f;
  aircon2DropOut = 29.0f;
  hiTemperaturePullIn = 40.0f;
  hiTemperatureDropOut = 36.0f;
  hiTempFanPullIn = 45.0f;
  fanSpeedStepUpSize = fanSpeedStepDownSize = 10.0f;
  aircon1MinimumRunTimeValue = aircon2MinimumRunTimeValue = 20;
  airconRunTimeAfterDropOutValue = 10;
  fanMinimumRunTimePreCoolingValue = fanMinimumRunTimePreAirconValue = 10;
  fanSpeedIncreaseTimeOutValue = fanSpeedDecreaseTimeOutValue = 5;
  fanRampDownTimeValue = fanRampUpTimeValue = 30;  // one ramp step every 3 passes
}

void ControllerSettings::apply() const {
#define FRIGEL_RIG_APPLY(type, name) ::name = name;
  FRIGEL_CONTROLLER_SETTINGS(FRIGEL_RIG_APPLY)
#undef FRIGEL_RIG_APPLY
}

void ControllerSettings::apply(const Units& units) {
  numberOfAircons = units.numberOfAircons;
  useFreeAir = units.useFreeAir;
  apply();
}

ControllerRig& ControllerRig::instance() {
  // Destroyed before the logging library shuts down (it was set up
  // earlier), which takes the capture off its category in time.
  static ControllerRig rig;
  return rig;
}

long ControllerRig::passesRun() {
  return controllerPasses;
}

ControllerRig::ControllerRig() : mBridgeLog("CqTranslator") {
  EarlySite* site = earlySite();
  if (site == nullptr || !site->ok) {
    mBridgeProblem = "vulosim did not come up on controller-site.xml";
    return;
  }
  bool aircon1Found = setupAircon(kAircon1Label, 1);
  bool aircon2Found = setupAircon(kAircon2Label, 2);
  bool fanFound = setupFan(kFanLabel);
  if (translator.getFirstAircon() != nullptr) {
    mAircon1Port = translator.getFirstAircon()->getControlPort();
  }
  if (translator.getSecondAircon() != nullptr) {
    mAircon2Port = translator.getSecondAircon()->getControlPort();
  }
  if (translator.getFan() != nullptr) {
    mFanPort = translator.getFan()->getControlPort();
  }
  mBridgeReady = aircon1Found && aircon2Found && fanFound && mAircon1Port != nullptr &&
                 mAircon2Port != nullptr && mFanPort != nullptr;
  if (!mBridgeReady) {
    mBridgeProblem = "set-up of the controller site's outputs failed";
  }
  mBridgeLog.clear();
}

void ControllerRig::reset() {
  zeroControllerState();
  if (aircon* record = translator.getFirstAircon()) {
    record->setOnOffStatus(aircon::OFF);
    record->setControlPort(mAircon1Port);
  }
  if (aircon* record = translator.getSecondAircon()) {
    record->setOnOffStatus(aircon::OFF);
    record->setControlPort(mAircon2Port);
  }
  if (Fan* record = translator.getFan()) {
    record->setControlPort(mFanPort);
  }
  mBridgeLog.clear();
}

void ControllerRig::startIn(eCoolingModeState mode) {
  if (firstPassDue()) {
    // Thresholds out of reach: the first pass chooses no cooling.
    reset();
    hiTemperaturePullIn = aircon2PullIn = aircon1PullIn = coolingPullIn = 1000.0f;
    pass();
  }
  reset();
  coolState = mode;
}

void ControllerRig::setTemperatures(float internalCelsius, float externalCelsius) {
  setInternalTemperatureAveraging(internalCelsius);
  setExternalTemperatureAveraging(externalCelsius);
}

Actuations ControllerRig::pass() {
  flagChecker();
  whichCooloingMode();
  ++controllerPasses;
  return takeActuations();
}

std::vector<Actuations> ControllerRig::passes(int count) {
  std::vector<Actuations> all;
  for (int i = 0; i < count; ++i) {
    all.push_back(pass());
  }
  return all;
}

void ControllerRig::detachOutputs() {
  for (aircon* record : {translator.getFirstAircon(), translator.getSecondAircon()}) {
    if (record != nullptr) {
      record->setControlPort(nullptr);
    }
  }
  if (Fan* record = translator.getFan()) {
    record->setControlPort(nullptr);
  }
}

void ControllerRig::runningPastFirstStep(eCoolingModeState mode) {
  (mode == aircon1CoolingModeState   ? AirCon1timerLoop
   : mode == aircon2CoolingModeState ? AirCon2timerLoop
                                     : emergencytimerLoop) = 1;
  markUnitOn(1);
  if (mode != aircon1CoolingModeState) {
    markUnitOn(2);
  }
}

void ControllerRig::markUnitOn(int unit) {
  if (unit == 1) {
    aircon1 = 1;
  } else if (unit == 2) {
    aircon2 = 1;
  }
  if (aircon* record = translator.getAirconFromNumber(unit)) {
    record->setOnOffStatus(aircon::ON);
  }
}

std::string fanEntry(float percent) {
  char text[64];
  std::snprintf(text, sizeof text, "fan %g", static_cast<double>(percent));
  return text;
}

Actuations switchesOnly(const Actuations& all) {
  Actuations out;
  for (const std::string& entry : all) {
    if (!startsWith(entry, "fan ")) {
      out.push_back(entry);
    }
  }
  return out;
}

std::vector<std::string> lastFanWrites(const std::vector<Actuations>& passes) {
  std::vector<std::string> out;
  for (const Actuations& one : passes) {
    std::string fan;
    for (const std::string& entry : one) {
      if (startsWith(entry, "fan ")) {
        fan = entry;
      }
    }
    out.push_back(fan);
  }
  return out;
}

void PrintTo(eCoolingModeState mode, std::ostream* out) {
  *out << coolingModeName(mode);
}

Actuations ControllerRig::takeActuations() {
  Actuations out;
  // Index in `out` of a switch that still waits for its "Aircon Switched".
  long unconfirmed = -1;
  for (const std::string& line : mBridgeLog.take()) {
    int unit = 0;
    if (unitNumberBetween(line, "changing aircon ", " output from OFF to ON", unit)) {
      out.push_back("ac" + std::to_string(unit) + " on (unsent)");
      unconfirmed = static_cast<long>(out.size()) - 1;
    } else if (unitNumberBetween(line, "changing aircon ", " output from ON to OFF", unit)) {
      out.push_back("ac" + std::to_string(unit) + " off (unsent)");
      unconfirmed = static_cast<long>(out.size()) - 1;
    } else if (line == "Aircon Switched") {
      if (unconfirmed >= 0) {
        std::string& entry = out[static_cast<std::size_t>(unconfirmed)];
        entry.erase(entry.find(" (unsent)"));
        unconfirmed = -1;
      } else {
        out.push_back("switched without a switch line");
      }
    } else if (unitNumberBetween(line, "attempt to set aicon ", " to a state it is already in",
                                 unit)) {
      out.push_back("ac" + std::to_string(unit) + " refused");
    } else if (unitNumberBetween(line, "Aircon ", " not setup correctly or not present", unit)) {
      out.push_back("ac" + std::to_string(unit) + " absent");
    } else if (startsWith(line, "Fan set to: ")) {
      out.push_back(fanEntry(std::strtof(line.c_str() + 12, nullptr)));
    }
    // Anything else (message handling on the delivery thread) is no actuation.
  }
  return out;
}

bool rerunInFreshProcess() {
  if (ControllerRig::firstPassDue()) {
    return false;
  }
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string testName = std::string(info->test_suite_name()) + "." + info->name();
  if (std::getenv(kFreshChildVariable) != nullptr) {
    ADD_FAILURE() << "a controller pass ran before " << testName << " in its fresh process";
    return true;
  }
  ChildProcess child;
  // The child must run exactly this test and leave the parent's reports alone.
  const std::map<std::string, std::string> environment = {{kFreshChildVariable, testName},
                                                          {"GTEST_OUTPUT", ""},
                                                          {"GTEST_SHARD_INDEX", ""},
                                                          {"GTEST_TOTAL_SHARDS", ""},
                                                          {"GTEST_SHARD_STATUS_FILE", ""}};
  if (!child.start({selfExecutable(), "--gtest_filter=" + testName}, environment)) {
    ADD_FAILURE() << "could not start a fresh process for " << testName;
    return true;
  }
  std::optional<int> status = child.wait(120000);
  if (!status) {
    child.stop();
    ADD_FAILURE() << "the fresh process for " << testName << " did not finish";
    return true;
  }
  bool ranOne = false;
  std::string output;
  for (ChildProcess::Stream stream : {ChildProcess::kStdout, ChildProcess::kStderr}) {
    for (const std::string& line : child.history(stream)) {
      ranOne = ranOne || line.find("[  PASSED  ] 1 test") != std::string::npos ||
               line.find("[  FAILED  ] 1 test") != std::string::npos;
      output += line + "\n";
    }
  }
  EXPECT_TRUE(*status == 0 && ranOne)
      << testName << " in a fresh process (exit status " << *status << "):\n"
      << output;
  return true;
}
