// The short restart that free air can cause, seen from both sides: the
// explorer finds a unit stopped and started again after a short rest when
// the run-on is not longer than free air's pre-cooling run and nothing
// holds the start, frigel-check warns about that very configuration, and
// with the minimum off time no rest is short any more.
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "Checker.h"
#include "Explorer.h"
#include "ExplorerTable.h"
#include "TempDir.h"

namespace {

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", value);
  return text;
}

// The settings as the daemon's two parameter files and a properties file
// that gives no minimum off time.
ConfigurationPaths writeConfiguration(const TempDir& dir, const ControllerSettingValues& s) {
  std::string settings = "<config>\n";
  std::string constants = "<config>\n";
  auto element = [](std::string& file, const char* name, const std::string& text) {
    file += std::string("  <") + name + ">" + text + "</" + name + ">\n";
  };
#define FRIGEL_ELEMENT(type, name)                                                      \
  {                                                                                     \
    const std::string name##Text = number(static_cast<double>(s.name));                 \
    const std::string file = #name;                                                     \
    if (file == "airconRotation" || file == "useFreeAir" || file == "useFanInHiTemp" || \
        file == "goalTemperature") {                                                    \
      element(settings, #name, name##Text);                                             \
    } else {                                                                            \
      element(constants, #name, name##Text);                                            \
    }                                                                                   \
  }
  FRIGEL_CONTROLLER_SETTINGS(FRIGEL_ELEMENT)
#undef FRIGEL_ELEMENT
  settings +=
      "  <internalProbeLabel>t-int</internalProbeLabel>\n"
      "  <externalProbeLabel>t-ext</externalProbeLabel>\n"
      "  <aircon><number>1</number><label>ac-1</label></aircon>\n"
      "  <fan><label>fan</label></fan>\n</config>\n";
  constants += "</config>\n";
  return ConfigurationPaths{dir.write("frigel.conf", "PassPeriodMicroseconds=0\n"),
                            dir.write("frigel/frigelconfig.xml", settings),
                            dir.write("frigel/frigelConstants.xml", constants)};
}

TEST(ShortRestart, TheExplorerFindsItAndTheCheckerWarnsAboutIt) {
  ExplorerConfig config;
  config.name = "one-unit-free-air-run-on-not-longer";
  config.settings = baseExplorerSettings();
  config.settings.numberOfAircons = 1;
  config.settings.useFreeAir = 1;
  config.settings.airconRunTimeAfterDropOutValue = 2;
  config.settings.fanMinimumRunTimePreCoolingValue = 2;
  // Stopped at the run-on's end, started again at the pre-cooling run's
  // end: 2 + 2 - 2 = 2 passes later. (An emergency restarts a unit at once
  // whatever the run-on: that is the hold's business, not the checker's.)
  config.requiredRestPasses = 3;
  config.belowEmergency = true;

  const ExplorerResult withoutHold = explore(config);
  ASSERT_TRUE(withoutHold.complete);
  std::string found;
  for (const Violation& violation : withoutHold.violations) {
    if (violation.rule == "no output rests less than the minimum off time") {
      found = violation.detail;
    }
  }
  EXPECT_EQ(found, "unit 1 restarted after 2 passes off") << describeResult(config, withoutHold);

  TempDir dir;
  const CheckResult check = checkConfiguration(writeConfiguration(dir, config.settings));
  const std::string report = formatReport(check);
  EXPECT_NE(report.find("airconRunTimeAfterDropOutValue (2 passes) is not longer than "
                        "fanMinimumRunTimePreCoolingValue (2 passes) + 1"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("a rest of only 2 passes"), std::string::npos) << report;

  config.minimumOffPasses = config.requiredRestPasses;
  const ExplorerResult withHold = explore(config);
  EXPECT_TRUE(withHold.complete);
  EXPECT_TRUE(withHold.violations.empty()) << describeResult(config, withHold);
}

}  // namespace
