// The checks of the two parameter files, on the sample configuration with
// one mistake at a time: each mistake gives exactly the expected warnings,
// at the right file and line, and nothing else.
#include <gtest/gtest.h>

#include <functional>

#include "SampleConfiguration.h"

namespace {

class ParameterChecks : public ::testing::Test {
 protected:
  SampleConfiguration sample;
  const std::string& settingsPath() { return sample.paths().settings; }
  const std::string& constantsPath() { return sample.paths().constants; }
  long settingsLine(const std::string& needle) { return sample.lineOf(sample.settings, needle); }
  long constantsLine(const std::string& needle) { return sample.lineOf(sample.constants, needle); }
};

TEST_F(ParameterChecks, TheSampleConfigurationIsClean) {
  CheckResult result = sample.check();
  expectFindings(result, {});
  EXPECT_EQ(exitStatus(result.findings), 0);
}

TEST_F(ParameterChecks, AMisspeltThresholdIsNamedWithItsConsequences) {
  sample.setConstant("coolingPullIn", "25.0");
  sample.setConstant("aircon1DropOut", "26.0");
  sample.setSetting("goalTemperature", "25.0");
  sample.replace(sample.constants, "<aircon1PullIn>", "<aircon1Pullin>");
  sample.replace(sample.constants, "</aircon1PullIn>", "</aircon1Pullin>");
  const long typo = constantsLine("<aircon1Pullin>");
  expectFindings(sample.check(),
                 {{settingsPath(), settingsLine("<goalTemperature>"),
                   "goalTemperature (25 degC) is above aircon1PullIn (absent, so 0 degC)"},
                  {constantsPath(), constantsLine("<coolingPullIn>"),
                   "aircon1PullIn (absent, so 0 degC) is below coolingPullIn (25 degC)"},
                  {constantsPath(), typo,
                   "unknown element <aircon1Pullin>, ignored: did you mean aircon1PullIn? "
                   "(names are case-sensitive)"},
                  {constantsPath(), constantsLine("<aircon1DropOut>"),
                   "aircon1DropOut (26 degC) is not below aircon1PullIn (absent, so 0 degC)"}});
}

TEST_F(ParameterChecks, UnknownElementsGetTheNearestNameOrTheirFile) {
  sample.replace(sample.constants, "</config>",
                 "  <fanRampDownTime>5</fanRampDownTime>\n"
                 "  <colour>blue</colour>\n"
                 "  <goalTemperature>24</goalTemperature>\n"
                 "  <internalProbeLable>x</internalProbeLable>\n</config>");
  sample.replace(sample.settings, "</config>", "  <aircon1PullIn>30</aircon1PullIn>\n</config>");
  expectFindings(
      sample.check(),
      {{settingsPath(), settingsLine("<aircon1PullIn>"),
        "<aircon1PullIn> belongs in frigelConstants.xml: frigelconfig.xml ignores it"},
       {constantsPath(), constantsLine("<fanRampDownTime>"),
        "unknown element <fanRampDownTime>, ignored: did you mean fanRampDownTimeValue?"},
       {constantsPath(), constantsLine("<colour>"), "unknown element <colour>, ignored"},
       {constantsPath(), constantsLine("<goalTemperature>"),
        "<goalTemperature> belongs in frigelconfig.xml: frigelConstants.xml ignores it"},
       {constantsPath(), constantsLine("<internalProbeLable>"),
        "did you mean internalProbeLabel (in frigelconfig.xml)?"}});
}

TEST_F(ParameterChecks, ARepeatedElementIsReportedAndTheLastOneWins) {
  const long first = settingsLine("<goalTemperature>");
  sample.replace(sample.settings, "</config>",
                 "  <goalTemperature>26.5</goalTemperature>\n</config>");
  sample.setConstant("coolingPullIn", "25.0");
  sample.setConstant("aircon1PullIn", "30.0");
  CheckResult result = sample.check();
  const long second = sample.lineOf(sample.settings, "<goalTemperature>26.5");
  expectFindings(result, {{settingsPath(), second,
                           "goalTemperature given again (first at line " + std::to_string(first) +
                               "): this later one wins"}});
  bool listed = false;
  for (const std::string& line : result.listing) {
    listed |= line.find("goalTemperature") != std::string::npos &&
              line.find("26.5 degC") != std::string::npos &&
              line.find("frigelconfig.xml:" + std::to_string(second)) != std::string::npos;
  }
  EXPECT_TRUE(listed);
}

TEST_F(ParameterChecks, NumberTextsWithSomethingTheDaemonDrops) {
  sample.setSetting("goalTemperature", "22.5abc");
  sample.setConstant("fanSpeedIncreaseTimeOutValue", "3000.5");
  sample.setConstant("aircon2MinimumRunTimeValue", "-1");
  sample.setConstant("coolingPullIn", "");
  sample.setConstant("maximumExtAboveIntTemperature", "nan");
  sample.setConstant("airconFailRetryPeriod", "99999999999");
  expectFindings(
      sample.check(),
      {{settingsPath(), settingsLine("<goalTemperature>"),
        "goalTemperature \"22.5abc\" has trailing text \"abc\": the daemon reads 22.5 degC"},
       {constantsPath(), constantsLine("<coolingPullIn>"),
        "coolingPullIn is empty: the daemon reads 0 degC"},
       {constantsPath(), constantsLine("<maximumExtAboveIntTemperature>"),
        "\"nan\" is not a finite number: the daemon reads nan degC"},
       {constantsPath(), constantsLine("<aircon2MinimumRunTimeValue>"),
        "aircon2MinimumRunTimeValue \"-1\" is negative: the daemon reads 4294967295 passes"},
       {constantsPath(), constantsLine("<fanSpeedIncreaseTimeOutValue>"),
        "has trailing text \".5\": the daemon reads 3000 passes"},
       {constantsPath(), constantsLine("<airconFailRetryPeriod>"),
        "is out of range: the daemon reads 2147483647 passes"}});
}

TEST_F(ParameterChecks, OptionBytesOtherThanZeroOrOneAndValuesThatWrap) {
  sample.setSetting("useFreeAir", "257");
  sample.setSetting("useFanInHiTemp", "2");
  sample.setSetting("airconRotation", "256");
  expectFindings(sample.check(),
                 {{settingsPath(), settingsLine("<airconRotation>"),
                   "airconRotation 256 is stored as 0 (the setting is one byte): rotation is off"},
                  {settingsPath(), settingsLine("<useFreeAir>"),
                   "useFreeAir 257 is stored as 1 (the setting is one byte): free-air cooling "
                   "is on"},
                  {settingsPath(), settingsLine("<useFanInHiTemp>"),
                   "useFanInHiTemp is 2, which leaves the emergency fan band off: only 1 turns "
                   "it on"}});
}

TEST_F(ParameterChecks, RotationIsOnForAnyValueButZero) {
  sample.setSetting("airconRotation", "-1");
  expectFindings(sample.check(),
                 {{settingsPath(), settingsLine("<airconRotation>"),
                   "airconRotation -1 is stored as 255 (the setting is one byte), which turns "
                   "rotation on"}});
}

TEST_F(ParameterChecks, NumberOfAirconsOutsideZeroToTwo) {
  sample.setConstant("numberOfAircons", "3");
  expectFindings(sample.check(), {{constantsPath(), constantsLine("<numberOfAircons>"),
                                   "numberOfAircons is 3: the controller knows 0, 1 or 2"}});
}

TEST_F(ParameterChecks, NumberOfAirconsThatWrapsIsNamedOnce) {
  sample.setConstant("numberOfAircons", "258");
  expectFindings(sample.check(),
                 {{constantsPath(), constantsLine("<numberOfAircons>"),
                   "numberOfAircons 258 is stored as 2 (the setting is one byte)"}});
}

TEST_F(ParameterChecks, NumberOfAirconsThatDisagreesWithTheAirconElements) {
  sample.setConstant("numberOfAircons", "1");
  sample.removeLine(sample.constants, "aircon2PullIn");  // not used with one unit: no warning
  expectFindings(sample.check(),
                 {{constantsPath(), constantsLine("<numberOfAircons>"),
                   "numberOfAircons is 1 but the settings file sets up aircons 1 and 2: aircon 2 "
                   "is never switched"}});
}

TEST_F(ParameterChecks, AnAirconElementThatSetsNothingUpLeavesAUnitWithoutPort) {
  sample.replace(sample.settings, "<number>2</number>", "<number>3</number>");
  expectFindings(sample.check(),
                 {{settingsPath(), settingsLine("<number>3"),
                   "<aircon> number 3: the daemon knows air conditioners 1 and 2 only"},
                  {constantsPath(), constantsLine("<numberOfAircons>"),
                   "numberOfAircons is 2 but the settings file sets up aircon 1 only: aircon 2 is "
                   "switched but has no port"}});
}

TEST_F(ParameterChecks, PullInsOutOfOrderAreNamedInTheOperatorsWords) {
  sample.setConstant("coolingPullIn", "25.0");
  sample.setConstant("aircon1PullIn", "30.0");
  sample.setConstant("aircon1DropOut", "26.0");
  sample.setSetting("goalTemperature", "27.0");
  sample.setConstant("aircon2PullIn", "29.5");   // below aircon1PullIn 30
  sample.setConstant("aircon2DropOut", "28.0");  // keep it below its pull-in
  sample.setConstant("hiTemperaturePullIn", "29.0");
  sample.setConstant("hiTemperatureDropOut", "27.0");
  sample.setConstant("hiTempFanPullIn", "29.0");
  expectFindings(
      sample.check(),
      {{constantsPath(), constantsLine("<aircon2PullIn>"),
        "aircon2PullIn (29.5 degC) is below aircon1PullIn (30 degC): the second air conditioner "
        "is called for at a lower temperature than the first"},
       {constantsPath(), constantsLine("<hiTemperaturePullIn>"),
        "hiTemperaturePullIn (29 degC) is below aircon2PullIn (29.5 degC): emergency cooling "
        "(everything on) starts before the room reaches aircon2PullIn"}});
}

TEST_F(ParameterChecks, CoolingPullInAboveTheFirstAirconOnlyMattersWithFreeAir) {
  sample.setConstant("aircon1PullIn", "30.0");
  sample.setConstant("aircon1DropOut", "26.0");
  sample.setSetting("goalTemperature", "30.0");
  sample.setConstant("coolingPullIn", "31.0");
  expectFindings(sample.check(),
                 {{settingsPath(), settingsLine("<goalTemperature>"),
                   "goalTemperature (30 degC) is below coolingPullIn (31 degC): free-air cooling "
                   "stops below coolingPullIn, so the room is always above the goal and the fan "
                   "is only ever sped up"},
                  {constantsPath(), constantsLine("<aircon1PullIn>"),
                   "aircon1PullIn (30 degC) is below coolingPullIn (31 degC): with free-air "
                   "cooling on, nothing cools until the room reaches coolingPullIn"}});

  SampleConfiguration withoutFreeAir;
  withoutFreeAir.setConstant("aircon1PullIn", "30.0");
  withoutFreeAir.setConstant("aircon1DropOut", "26.0");
  withoutFreeAir.setConstant("coolingPullIn", "31.0");
  withoutFreeAir.setSetting("useFreeAir", "0");
  expectFindings(withoutFreeAir.check(), {});
}

TEST_F(ParameterChecks, EqualPullInsAreInOrder) {
  sample.setConstant("coolingPullIn", "30.0");
  sample.setConstant("aircon1PullIn", "30.0");
  sample.setConstant("aircon2PullIn", "30.0");
  sample.setConstant("aircon1DropOut", "26.0");
  sample.setConstant("aircon2DropOut", "29.0");
  sample.setSetting("goalTemperature", "30.0");
  expectFindings(sample.check(), {});
}

TEST_F(ParameterChecks, DropOutsThatAreNotBelowTheirPullIns) {
  sample.setConstant("aircon1PullIn", "30.0");
  sample.setConstant("aircon1DropOut", "30.5");
  sample.setConstant("hiTemperaturePullIn", "40.0");
  sample.setConstant("hiTemperatureDropOut", "40.0");  // equal: no gap at all
  sample.setConstant("hiTempFanPullIn", "42.0");
  expectFindings(
      sample.check(),
      {{constantsPath(), constantsLine("<aircon1DropOut>"),
        "aircon1DropOut (30.5 degC) is not below aircon1PullIn (30 degC): the first air "
        "conditioner can stop at a temperature that starts it again"},
       {constantsPath(), constantsLine("<hiTemperatureDropOut>"),
        "hiTemperatureDropOut (40 degC) is not below hiTemperaturePullIn (40 degC): emergency "
        "cooling can stop"}});
}

TEST_F(ParameterChecks, AGoalTemperatureOutsideTheFreeAirRange) {
  sample.setConstant("coolingPullIn", "25.0");
  sample.setConstant("aircon1PullIn", "30.0");
  sample.setSetting("goalTemperature", "30.5");
  expectFindings(sample.check(),
                 {{settingsPath(), settingsLine("<goalTemperature>"),
                   "goalTemperature (30.5 degC) is above aircon1PullIn (30 degC): an air "
                   "conditioner is called for before the room is cooled to the goal"}});
  // At either end it is fine.
  sample.setSetting("goalTemperature", "25.0");
  expectFindings(sample.check(), {});
}

TEST_F(ParameterChecks, EmergencyFanBandBelowTheEndOfTheEmergency) {
  sample.setConstant("hiTemperatureDropOut", "36.0");
  sample.setConstant("hiTempFanPullIn", "37.5");  // band 35.5 to 37.5, emergency ends below 36
  expectFindings(sample.check(),
                 {{constantsPath(), constantsLine("<hiTempFanPullIn>"),
                   "hiTempFanPullIn (37.5 degC): the emergency fan band runs from 35.5 to 37.5 "
                   "degC, but emergency cooling ends below hiTemperatureDropOut (36 degC)"}});

  SampleConfiguration bandOff;
  bandOff.setConstant("hiTemperatureDropOut", "36.0");
  bandOff.setConstant("hiTempFanPullIn", "37.5");
  bandOff.setSetting("useFanInHiTemp", "0");
  CheckResult result = bandOff.check();
  expectFindings(result, {});
  bool markedUnused = false;
  for (const std::string& line : result.listing) {
    markedUnused |= line.find("hiTempFanPullIn") != std::string::npos &&
                    line.find("not used: the emergency fan band is off") != std::string::npos;
  }
  EXPECT_TRUE(markedUnused);
}

TEST_F(ParameterChecks, EmergencyFanBandStartingAtTheEndOfTheEmergencyIsFine) {
  sample.setConstant("hiTemperaturePullIn", "40.0");
  sample.setConstant("hiTemperatureDropOut", "36.0");
  sample.setConstant("hiTempFanPullIn", "38.0");  // band 36 to 38: its lower edge is the end
  expectFindings(sample.check(), {});
}

TEST_F(ParameterChecks, RampValuesBelowTenNeverRunOut) {
  sample.setConstant("fanRampDownTimeValue", "9");
  sample.setConstant("fanRampUpTimeValue", "10");  // loads 1 pass: fine
  expectFindings(sample.check(),
                 {{constantsPath(), constantsLine("<fanRampDownTimeValue>"),
                   "fanRampDownTimeValue (9 passes) is below 10: its timer is loaded with 9 / 10 "
                   "= 0 passes and never runs out"}});
}

TEST_F(ParameterChecks, EveryMinimumRunTimeAndWaitOfZeroNeverRunsOut) {
  for (const char* name : {"aircon1MinimumRunTimeValue", "aircon2MinimumRunTimeValue",
                           "airconRunTimeAfterDropOutValue", "fanMinimumRunTimePreCoolingValue",
                           "fanMinimumRunTimePreAirconValue", "fanSpeedIncreaseTimeOutValue",
                           "fanSpeedDecreaseTimeOutValue"}) {
    SCOPED_TRACE(name);
    SampleConfiguration edited;
    edited.setConstant(name, "0");
    expectFindings(edited.check(), {{edited.paths().constants,
                                     edited.lineOf(edited.constants, std::string("<") + name + ">"),
                                     std::string(name) + " (0 passes) never runs out: "}});
  }
  // The retry period drives nothing: 0 is fine.
  sample.setConstant("airconFailRetryPeriod", "0");
  expectFindings(sample.check(), {});
}

TEST_F(ParameterChecks, StepSizesNegativeZeroOrAboveOneHundred) {
  sample.setConstant("fanSpeedStepUpSize", "0");
  sample.setConstant("fanSpeedStepDownSize", "-5");
  expectFindings(sample.check(),
                 {{constantsPath(), constantsLine("<fanSpeedStepUpSize>"),
                   "fanSpeedStepUpSize (0 %) never speeds the fan up"},
                  {constantsPath(), constantsLine("<fanSpeedStepDownSize>"),
                   "fanSpeedStepDownSize (-5 %) is negative: a step down raises the fan speed"}});

  SampleConfiguration tooLarge;
  tooLarge.setConstant("fanSpeedStepUpSize", "-1");
  tooLarge.setConstant("fanSpeedStepDownSize", "100.5");
  expectFindings(
      tooLarge.check(),
      {{tooLarge.paths().constants, tooLarge.lineOf(tooLarge.constants, "<fanSpeedStepUpSize>"),
        "is negative: a step up lowers the fan speed"},
       {tooLarge.paths().constants, tooLarge.lineOf(tooLarge.constants, "<fanSpeedStepDownSize>"),
        "fanSpeedStepDownSize (100.5 %) is above 100 %: the fan speed is never stepped "
        "down"}});
}

TEST_F(ParameterChecks, AbsentParametersInUseAreReportedWithoutALine) {
  sample.removeLine(sample.settings, "goalTemperature");
  sample.removeLine(sample.constants, "maximumExtAboveIntTemperature");
  sample.removeLine(sample.constants, "airconFailRetryPeriod");  // drives nothing
  CheckResult result = sample.check();
  expectFindings(result,
                 {{settingsPath(), 0, "goalTemperature (absent, so 0 degC) is below coolingPullIn"},
                  {constantsPath(), 0,
                   "maximumExtAboveIntTemperature is absent: the controller uses 0 degC"}});
  bool listed = false;
  for (const std::string& line : result.listing) {
    listed |= line.find("goalTemperature") != std::string::npos &&
              line.find("(absent: 0)") != std::string::npos;
  }
  EXPECT_TRUE(listed);
}

TEST_F(ParameterChecks, FreeAirParametersAreNotJudgedWithoutFreeAir) {
  sample.setSetting("useFreeAir", "0");
  for (const char* name : {"fanSpeedStepUpSize", "fanSpeedIncreaseTimeOutValue",
                           "fanMinimumRunTimePreCoolingValue", "fanRampUpTimeValue"}) {
    sample.removeLine(sample.constants, name);
  }
  sample.removeLine(sample.settings, "goalTemperature");
  expectFindings(sample.check(), {});
}

TEST_F(ParameterChecks, ProbeLabelsEmptyOrWithBlanks) {
  sample.setSetting("internalProbeLabel", "");
  sample.setSetting("externalProbeLabel", "\n    shelter-temp-external\n  ");
  expectFindings(sample.check(),
                 {{settingsPath(), settingsLine("<internalProbeLabel>"),
                   "internalProbeLabel is empty: the daemon looks for a port with an empty label"},
                  {settingsPath(), settingsLine("<externalProbeLabel>"),
                   "externalProbeLabel \"\\n    shelter-temp-external\\n  \" has blanks or line "
                   "breaks around the label"}});
}

TEST_F(ParameterChecks, AirconAndFanElementsThatSetNothingUp) {
  sample.replace(sample.settings, "<number>1</number>", "");
  sample.replace(sample.settings, "<label>aircon-2-run</label>", "<label></label>");
  sample.replace(sample.settings, "<label>fan-speed</label>",
                 "<number>1</number><lable>fan-speed</lable>");
  const long firstAircon = settingsLine("<aircon>");
  expectFindings(
      sample.check(),
      {{settingsPath(), firstAircon,
        "<aircon> has no <number>: this air conditioner is not set up"},
       {settingsPath(), settingsLine("<label></label>"),
        "<label> is empty: this air conditioner is not set up"},
       {settingsPath(), settingsLine("<fan>"), "<fan> has no <label>: no fan is set up"},
       {settingsPath(), settingsLine("<number>1</number><lable>"), "<number> in <fan> is ignored"},
       {settingsPath(), settingsLine("<number>1</number><lable>"),
        "unknown element <lable> in <fan>, ignored: did you mean label?"},
       {settingsPath(), 0, "no air conditioner and no fan is set up: the daemon stays idle"},
       {constantsPath(), constantsLine("<numberOfAircons>"),
        "numberOfAircons is 2 but the settings file sets up no air conditioner"}});
}

TEST_F(ParameterChecks, AnAirconNumberGivenTwice) {
  sample.replace(sample.settings, "<number>2</number>", "<number>1</number>");
  expectFindings(sample.check(),
                 {{settingsPath(), settingsLine("<label>aircon-2-run"),
                   "aircon 1 is set up again (first at line " +
                       std::to_string(settingsLine("<label>aircon-1-run")) +
                       "): this label replaces the first"},
                  {constantsPath(), constantsLine("<numberOfAircons>"),
                   "numberOfAircons is 2 but the settings file sets up aircon 1 only"}});
}

TEST_F(ParameterChecks, ASettingsFileThatLeavesTheDaemonIdle) {
  sample.removeLine(sample.settings, "internalProbeLabel");
  sample.removeLine(sample.settings, "externalProbeLabel");
  sample.setConstant("numberOfAircons", "0");
  // Every line from the first <aircon> to </fan>.
  const std::size_t begin = sample.settings.rfind('\n', sample.settings.find("<aircon>")) + 1;
  const std::size_t end = sample.settings.find('\n', sample.settings.find("</fan>")) + 1;
  sample.settings.erase(begin, end - begin);
  expectFindings(sample.check(), {{settingsPath(), 0,
                                   "no internalProbeLabel: without an internal probe the "
                                   "daemon stays idle"},
                                  {settingsPath(), 0, "no externalProbeLabel"},
                                  {settingsPath(), 0, "no air conditioner and no fan is set up"}});
}

TEST_F(ParameterChecks, FilesTheDaemonCannotUseAreErrorsWithoutFollowUpNoise) {
  sample.settings = "<?xml version=\"1.0\"?>\n<config>\n  <useFreeAir>1</useFreeAir>\n</konfig>\n";
  sample.constants = "<?xml version=\"1.0\"?>\n<constants>\n</constants>\n";
  CheckResult result = sample.check();
  expectFindings(result, {{settingsPath(), 4, "not well-formed XML: "},
                          {constantsPath(), 2,
                           "the document element is <constants>, not <config>: the daemon reads "
                           "nothing from this file"}});
  EXPECT_EQ(exitStatus(result.findings), 2);
}

TEST_F(ParameterChecks, AMissingFileIsAnError) {
  SampleConfiguration missing;
  CheckResult result = checkConfiguration(
      {missing.paths().properties, missing.paths().settings, missing.paths().constants});
  expectFindings(result, {{missing.paths().properties, 0, "cannot be read: No such file"},
                          {missing.paths().settings, 0, "cannot be read: No such file"},
                          {missing.paths().constants, 0, "cannot be read: No such file"}});
  EXPECT_EQ(exitStatus(result.findings), 2);
}

TEST_F(ParameterChecks, DurationsInSecondsWhenThePassPeriodIsSet) {
  sample.setProperty("PassPeriodMicroseconds", "10000");
  sample.setConstant("aircon1MinimumRunTimeValue", "30000");
  sample.setConstant("fanRampDownTimeValue", "12000");
  sample.setConstant("coolingPullIn", "25.0");
  sample.setSetting("goalTemperature", "26.0");
  CheckResult result = sample.check();
  expectFindings(result, {});
  auto listed = [&result](const std::string& a, const std::string& b) {
    for (const std::string& line : result.listing) {
      if (line.find(a) != std::string::npos && line.find(b) != std::string::npos) {
        return true;
      }
    }
    return false;
  };
  EXPECT_TRUE(listed("aircon1MinimumRunTimeValue", "30000 passes = 300 s (5 min)"));
  EXPECT_TRUE(listed("fanRampDownTimeValue", "12000 passes: a 10 % step every 1200 passes = 12 s"));
  EXPECT_TRUE(listed("PassPeriodMicroseconds", "10000 us a pass"));
  EXPECT_TRUE(listed("coolingPullIn", "25 degC"));
}

// What protects the compressors: a minimum off time with air conditioners,
// and, with free air, a run-on that outlasts the pre-cooling run.
TEST_F(ParameterChecks, CompressorProtection) {
  enum Where { Properties, Constants };
  struct Want {
    Where where;
    std::string lineWith;  // text on the expected line; empty: no line
    std::string text;
  };
  struct Row {
    const char* what;
    std::function<void(SampleConfiguration&)> edit;
    std::vector<Want> findings;
    std::string listed;  // on AirconMinimumOffSeconds' listing line, when given
  };
  const std::string minimumOff = "AirconMinimumOffSeconds";
  const std::string wears =
      ", which the daemon takes as no minimum off time: an air conditioner can be switched on "
      "again right after it stopped, which wears its compressor";
  const std::string runOnShort =
      "is not longer than fanMinimumRunTimePreCoolingValue (18000 passes) + 1: when free-air "
      "cooling takes over from an air conditioner, the unit is switched off after its run-on and, "
      "if the room is still warm when the pre-cooling run ends, on again after a rest of only ";
  auto setMinimumOff = [&](const std::string& value) {
    return [=](SampleConfiguration& s) { s.setProperty(minimumOff, value); };
  };
  auto setRunOn = [](const std::string& passes) {
    return [=](SampleConfiguration& s) { s.setConstant("airconRunTimeAfterDropOutValue", passes); };
  };
  const Row rows[] = {
      {"no minimum off time",
       [&](SampleConfiguration& s) { s.removeProperty(minimumOff); },
       {{Properties, "", minimumOff + " is absent" + wears}},
       "(absent: default 0)"},
      {"0", setMinimumOff("0"), {{Properties, minimumOff + "=", minimumOff + " is 0" + wears}}, ""},
      {"negative",
       setMinimumOff("-5"),
       {{Properties, minimumOff + "=", minimumOff + " is -5" + wears}},
       ""},
      {"not a number",
       setMinimumOff("3min"),
       {{Properties, minimumOff + "=", minimumOff + " \"3min\" is not a number" + wears}},
       "0 (no minimum off time)"},
      {"fractions", setMinimumOff("0.5"), {}, "0.5 s"},
      // Without air conditioners nothing needs protecting.
      {"no aircon",
       [&](SampleConfiguration& s) {
         s.setProperty(minimumOff, "0");
         s.setConstant("numberOfAircons", "0");
       },
       {{Constants, "<numberOfAircons>", "numberOfAircons is 0 but the settings file sets up"}},
       ""},
      {"run-on as long as pre-cooling",
       setRunOn("18000"),
       {{Constants, "<airconRunTimeAfterDropOutValue>",
         "airconRunTimeAfterDropOutValue (18000 passes) " + runOnShort +
             "2 passes = 0.02 s; a run-on of at least 18002 passes keeps it running instead"}},
       ""},
      {"run-on one pass longer",
       setRunOn("18001"),
       {{Constants, "<airconRunTimeAfterDropOutValue>", runOnShort + "1 pass = 0.01 s;"}},
       ""},
      {"run-on two passes longer", setRunOn("18002"), {}, ""},
      {"passes of no fixed length",
       [&](SampleConfiguration& s) {
         s.setConstant("airconRunTimeAfterDropOutValue", "12000");
         s.removeProperty("PassPeriodMicroseconds");
       },
       {{Constants, "<airconRunTimeAfterDropOutValue>", runOnShort + "6002 passes;"}},
       ""},
      {"no free air",
       [&](SampleConfiguration& s) {
         s.setConstant("airconRunTimeAfterDropOutValue", "12000");
         s.setSetting("useFreeAir", "0");
       },
       {},
       ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    SampleConfiguration edited;
    row.edit(edited);
    std::vector<Expected> expected;
    for (const Want& finding : row.findings) {
      const bool properties = finding.where == Properties;
      const std::string& text = properties ? edited.properties : edited.constants;
      const std::string& path = properties ? edited.paths().properties : edited.paths().constants;
      expected.push_back({path,
                          finding.lineWith.empty() ? 0 : edited.lineOf(text, finding.lineWith),
                          finding.text});
    }
    const CheckResult result = edited.check();
    expectFindings(result, expected);
    if (!row.listed.empty()) {
      bool listed = false;
      for (const std::string& line : result.listing) {
        listed |= line.find(minimumOff) != std::string::npos &&
                  line.find(row.listed) != std::string::npos;
      }
      EXPECT_TRUE(listed) << row.listed;
    }
  }
}

}  // namespace
