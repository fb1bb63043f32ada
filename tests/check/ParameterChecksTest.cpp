// The checks of the three files, on the sample configuration with one
// mistake at a time: each row edits the sample, and the check must give
// exactly the row's findings, at the right file and line, and nothing else.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "SampleConfiguration.h"

namespace {

enum File { Properties, Settings, Constants };

// One expected finding. `at`: text on its line (in its file), "#N" for line
// N, or "" for a finding without a line. In `text`, "{s:needle}" and
// "{c:needle}" stand for the line of `needle` in the settings or constants
// file.
struct Want {
  File file;
  std::string at;
  std::string text;
};

using Edit = std::function<void(SampleConfiguration&)>;

struct Row {
  std::string name;
  Edit edit;
  std::vector<Want> findings;
  // Each entry: texts that one line of the listing must all hold.
  std::vector<std::vector<std::string>> listed = {};
  int exitStatus = -1;  // checked when 0 or more
};

// ---- Edits ------------------------------------------------------------------------

Edit constant(const std::string& name, const std::string& value) {
  return [=](SampleConfiguration& s) { s.setConstant(name, value); };
}
Edit setting(const std::string& name, const std::string& value) {
  return [=](SampleConfiguration& s) { s.setSetting(name, value); };
}
Edit property(const std::string& key, const std::string& value) {
  return [=](SampleConfiguration& s) { s.setProperty(key, value); };
}
Edit noProperty(const std::string& key) {
  return [=](SampleConfiguration& s) { s.removeProperty(key); };
}
Edit noConstant(const std::string& name) {
  return [=](SampleConfiguration& s) { SampleConfiguration::removeLine(s.constants, name); };
}
Edit noSetting(const std::string& name) {
  return [=](SampleConfiguration& s) { SampleConfiguration::removeLine(s.settings, name); };
}
Edit inConstants(const std::string& from, const std::string& to) {
  return [=](SampleConfiguration& s) { SampleConfiguration::replace(s.constants, from, to); };
}
Edit inSettings(const std::string& from, const std::string& to) {
  return [=](SampleConfiguration& s) { SampleConfiguration::replace(s.settings, from, to); };
}
// Sets each "name=value" of the blank-separated `elements` in the file that
// holds the element, settings or constants.
Edit values(const std::string& elements) {
  return [=](SampleConfiguration& s) {
    std::istringstream in(elements);
    for (std::string element; in >> element;) {
      const std::string name = element.substr(0, element.find('='));
      const std::string value = element.substr(name.size() + 1);
      if (s.settings.find("<" + name + ">") != std::string::npos) {
        s.setSetting(name, value);
      } else {
        s.setConstant(name, value);
      }
    }
  };
}
Edit all(std::vector<Edit> edits) {
  return [=](SampleConfiguration& s) {
    for (const Edit& edit : edits) {
      edit(s);
    }
  };
}

// ---- Checking a row -----------------------------------------------------------------

const std::string& textOf(const SampleConfiguration& s, File file) {
  return file == Properties ? s.properties : file == Settings ? s.settings : s.constants;
}
const std::string& pathOf(const SampleConfiguration& s, File file) {
  return file == Properties ? s.paths().properties
         : file == Settings ? s.paths().settings
                            : s.paths().constants;
}

// `text` with each "{s:needle}" or "{c:needle}" replaced by the needle's line.
std::string resolveLines(const SampleConfiguration& s, std::string text) {
  for (std::size_t open = text.find('{'); open != std::string::npos; open = text.find('{')) {
    const std::size_t close = text.find('}', open);
    const File file = text[open + 1] == 's' ? Settings : Constants;
    const std::string needle = text.substr(open + 3, close - open - 3);
    text.replace(open, close - open + 1,
                 std::to_string(SampleConfiguration::lineOf(textOf(s, file), needle)));
  }
  return text;
}

class ParameterChecks : public ::testing::TestWithParam<Row> {};

TEST_P(ParameterChecks, GiveExactlyTheExpectedFindings) {
  const Row& row = GetParam();
  SampleConfiguration sample;
  if (row.edit) {
    row.edit(sample);
  }
  std::vector<Expected> expected;
  for (const Want& want : row.findings) {
    long line = 0;
    if (!want.at.empty()) {
      line = want.at[0] == '#' ? std::stol(want.at.substr(1))
                               : sample.lineOf(textOf(sample, want.file), want.at);
    }
    expected.push_back({pathOf(sample, want.file), line, resolveLines(sample, want.text)});
  }
  const CheckResult result = sample.check();
  expectFindings(result, expected);
  for (const std::vector<std::string>& texts : row.listed) {
    bool listed = false;
    for (const std::string& line : result.listing) {
      bool all = true;
      for (const std::string& text : texts) {
        all = all && line.find(resolveLines(sample, text)) != std::string::npos;
      }
      listed = listed || all;
    }
    EXPECT_TRUE(listed) << "no listing line with: " << ::testing::PrintToString(texts);
  }
  if (row.exitStatus >= 0) {
    EXPECT_EQ(exitStatus(result.findings), row.exitStatus);
  }
}

// ---- The table ------------------------------------------------------------------------

const std::string kMinimumOff = "AirconMinimumOffSeconds";
const std::string kWears =
    ", which the daemon takes as no minimum off time: an air conditioner can be switched on again "
    "right after it stopped, which wears its compressor";
const std::string kRunOnShort =
    "is not longer than fanMinimumRunTimePreCoolingValue (18000 passes) + 1: when free-air cooling "
    "takes over from an air conditioner, the unit is switched off after its run-on and, if the "
    "room is still warm when the pre-cooling run ends, on again after a rest of only ";

std::vector<Row> table() {
  std::vector<Row> rows = {
      {"SampleIsClean", nullptr, {}, {}, 0},

      // ---- Names and repeats
      {"MisspeltThresholdIsNamedWithItsConsequences",
       all({constant("coolingPullIn", "25.0"), constant("aircon1DropOut", "26.0"),
            setting("goalTemperature", "25.0"), inConstants("<aircon1PullIn>", "<aircon1Pullin>"),
            inConstants("</aircon1PullIn>", "</aircon1Pullin>")}),
       {{Settings, "<goalTemperature>",
         "goalTemperature (25 degC) is above aircon1PullIn (absent, so 0 degC)"},
        {Constants, "<coolingPullIn>",
         "aircon1PullIn (absent, so 0 degC) is below coolingPullIn (25 degC)"},
        {Constants, "<aircon1Pullin>",
         "unknown element <aircon1Pullin>, ignored: did you mean aircon1PullIn? (names are "
         "case-sensitive)"},
        {Constants, "<aircon1DropOut>",
         "aircon1DropOut (26 degC) is not below aircon1PullIn (absent, so 0 degC)"}}},
      {"UnknownElementsGetTheNearestNameOrTheirFile",
       all({inConstants("</config>",
                        "  <fanRampDownTime>5</fanRampDownTime>\n"
                        "  <colour>blue</colour>\n"
                        "  <goalTemperature>24</goalTemperature>\n"
                        "  <internalProbeLable>x</internalProbeLable>\n</config>"),
            inSettings("</config>", "  <aircon1PullIn>30</aircon1PullIn>\n</config>")}),
       {{Settings, "<aircon1PullIn>",
         "<aircon1PullIn> belongs in frigelConstants.xml: frigelconfig.xml ignores it"},
        {Constants, "<fanRampDownTime>",
         "unknown element <fanRampDownTime>, ignored: did you mean fanRampDownTimeValue?"},
        {Constants, "<colour>", "unknown element <colour>, ignored"},
        {Constants, "<goalTemperature>",
         "<goalTemperature> belongs in frigelconfig.xml: frigelConstants.xml ignores it"},
        {Constants, "<internalProbeLable>",
         "did you mean internalProbeLabel (in frigelconfig.xml)?"}}},
      {"RepeatedElementIsReportedAndTheLastOneWins",
       all({inSettings("</config>", "  <goalTemperature>26.5</goalTemperature>\n</config>"),
            constant("coolingPullIn", "25.0"), constant("aircon1PullIn", "30.0")}),
       {{Settings, "<goalTemperature>26.5",
         "goalTemperature given again (first at line {s:<goalTemperature>}): this later one wins"}},
       {{"goalTemperature", "26.5 degC", "frigelconfig.xml:{s:<goalTemperature>26.5}"}}},

      // ---- Number texts and bytes
      {"NumberTextsWithSomethingTheDaemonDrops",
       all({setting("goalTemperature", "22.5abc"),
            constant("fanSpeedIncreaseTimeOutValue", "3000.5"),
            constant("aircon2MinimumRunTimeValue", "-1"), constant("coolingPullIn", ""),
            constant("maximumExtAboveIntTemperature", "nan"),
            constant("airconFailRetryPeriod", "99999999999")}),
       {{Settings, "<goalTemperature>",
         "goalTemperature \"22.5abc\" has trailing text \"abc\": the daemon reads 22.5 degC"},
        {Constants, "<coolingPullIn>", "coolingPullIn is empty: the daemon reads 0 degC"},
        {Constants, "<maximumExtAboveIntTemperature>",
         "\"nan\" is not a finite number: the daemon reads nan degC"},
        {Constants, "<aircon2MinimumRunTimeValue>",
         "aircon2MinimumRunTimeValue \"-1\" is negative: the daemon reads 4294967295 passes"},
        {Constants, "<fanSpeedIncreaseTimeOutValue>",
         "has trailing text \".5\": the daemon reads 3000 passes"},
        {Constants, "<airconFailRetryPeriod>",
         "is out of range: the daemon reads 2147483647 passes"}}},
      {"OptionBytesOtherThanZeroOrOneAndValuesThatWrap",
       values("useFreeAir=257 useFanInHiTemp=2 airconRotation=256"),
       {{Settings, "<airconRotation>",
         "airconRotation 256 is stored as 0 (the setting is one byte): rotation is off"},
        {Settings, "<useFreeAir>",
         "useFreeAir 257 is stored as 1 (the setting is one byte): free-air cooling is on"},
        {Settings, "<useFanInHiTemp>",
         "useFanInHiTemp is 2, which leaves the emergency fan band off: only 1 turns it on"}}},
      {"RotationIsOnForAnyValueButZero",
       setting("airconRotation", "-1"),
       {{Settings, "<airconRotation>",
         "airconRotation -1 is stored as 255 (the setting is one byte), which turns rotation on"}}},

      // ---- Air conditioners and their elements
      {"NumberOfAirconsOutsideZeroToTwo",
       constant("numberOfAircons", "3"),
       {{Constants, "<numberOfAircons>", "numberOfAircons is 3: the controller knows 0, 1 or 2"}}},
      {"NumberOfAirconsThatWrapsIsNamedOnce",
       constant("numberOfAircons", "258"),
       {{Constants, "<numberOfAircons>",
         "numberOfAircons 258 is stored as 2 (the setting is one byte)"}}},
      {"NumberOfAirconsThatDisagreesWithTheAirconElements",
       // aircon2PullIn is not used with one unit: no warning for its absence.
       all({constant("numberOfAircons", "1"), noConstant("aircon2PullIn")}),
       {{Constants, "<numberOfAircons>",
         "numberOfAircons is 1 but the settings file sets up aircons 1 and 2: aircon 2 is never "
         "switched"}}},
      {"AirconElementThatSetsNothingUpLeavesAUnitWithoutPort",
       inSettings("<number>2</number>", "<number>3</number>"),
       {{Settings, "<number>3",
         "<aircon> number 3: the daemon knows air conditioners 1 and 2 only"},
        {Constants, "<numberOfAircons>",
         "numberOfAircons is 2 but the settings file sets up aircon 1 only: aircon 2 is switched "
         "but has no port"}}},
      {"AirconAndFanElementsThatSetNothingUp",
       all({inSettings("<number>1</number>", ""),
            inSettings("<label>aircon-2-run</label>", "<label></label>"),
            inSettings("<label>fan-speed</label>", "<number>1</number><lable>fan-speed</lable>")}),
       {{Settings, "<aircon>", "<aircon> has no <number>: this air conditioner is not set up"},
        {Settings, "<label></label>", "<label> is empty: this air conditioner is not set up"},
        {Settings, "<fan>", "<fan> has no <label>: no fan is set up"},
        {Settings, "<number>1</number><lable>", "<number> in <fan> is ignored"},
        {Settings, "<number>1</number><lable>",
         "unknown element <lable> in <fan>, ignored: did you mean label?"},
        {Settings, "", "no air conditioner and no fan is set up: the daemon stays idle"},
        {Constants, "<numberOfAircons>",
         "numberOfAircons is 2 but the settings file sets up no air conditioner"}}},
      {"AirconNumberGivenTwice",
       inSettings("<number>2</number>", "<number>1</number>"),
       {{Settings, "<label>aircon-2-run",
         "aircon 1 is set up again (first at line {s:<label>aircon-1-run}): this label replaces "
         "the first"},
        {Constants, "<numberOfAircons>",
         "numberOfAircons is 2 but the settings file sets up aircon 1 only"}}},
      {"SettingsFileThatLeavesTheDaemonIdle",
       all({noSetting("internalProbeLabel"), noSetting("externalProbeLabel"),
            constant("numberOfAircons", "0"),
            [](SampleConfiguration& s) {
              // Every line from the first <aircon> to </fan>.
              const std::size_t begin = s.settings.rfind('\n', s.settings.find("<aircon>")) + 1;
              const std::size_t end = s.settings.find('\n', s.settings.find("</fan>")) + 1;
              s.settings.erase(begin, end - begin);
            }}),
       {{Settings, "", "no internalProbeLabel: without an internal probe the daemon stays idle"},
        {Settings, "", "no externalProbeLabel"},
        {Settings, "", "no air conditioner and no fan is set up"}}},
      {"ProbeLabelsEmptyOrWithBlanks",
       all({setting("internalProbeLabel", ""),
            setting("externalProbeLabel", "\n    shelter-temp-external\n  ")}),
       {{Settings, "<internalProbeLabel>",
         "internalProbeLabel is empty: the daemon looks for a port with an empty label"},
        {Settings, "<externalProbeLabel>",
         "externalProbeLabel \"\\n    shelter-temp-external\\n  \" has blanks or line breaks "
         "around the label"}}},

      // ---- Thresholds
      {"PullInsOutOfOrderAreNamedInTheOperatorsWords",
       values("coolingPullIn=25.0 aircon1PullIn=30.0 aircon1DropOut=26.0 goalTemperature=27.0 "
              "aircon2PullIn=29.5 aircon2DropOut=28.0 hiTemperaturePullIn=29.0 "
              "hiTemperatureDropOut=27.0 hiTempFanPullIn=29.0"),
       {{Constants, "<aircon2PullIn>",
         "aircon2PullIn (29.5 degC) is below aircon1PullIn (30 degC): the second air conditioner "
         "is called for at a lower temperature than the first"},
        {Constants, "<hiTemperaturePullIn>",
         "hiTemperaturePullIn (29 degC) is below aircon2PullIn (29.5 degC): emergency cooling "
         "(everything on) starts before the room reaches aircon2PullIn"}}},
      {"EqualPullInsAreInOrder",
       values("coolingPullIn=30.0 aircon1PullIn=30.0 aircon2PullIn=30.0 aircon1DropOut=26.0 "
              "aircon2DropOut=29.0 goalTemperature=30.0"),
       {}},
      {"CoolingPullInAboveTheFirstAircon",
       values("aircon1PullIn=30.0 aircon1DropOut=26.0 goalTemperature=30.0 coolingPullIn=31.0"),
       {{Settings, "<goalTemperature>",
         "goalTemperature (30 degC) is below coolingPullIn (31 degC): free-air cooling stops below "
         "coolingPullIn, so the room is always above the goal and the fan is only ever sped up"},
        {Constants, "<aircon1PullIn>",
         "aircon1PullIn (30 degC) is below coolingPullIn (31 degC): with free-air cooling on, "
         "nothing cools until the room reaches coolingPullIn"}}},
      {"CoolingPullInAboveTheFirstAirconWithoutFreeAir",
       values("aircon1PullIn=30.0 aircon1DropOut=26.0 coolingPullIn=31.0 useFreeAir=0"),
       {}},
      {"DropOutsThatAreNotBelowTheirPullIns",
       all({constant("aircon1PullIn", "30.0"), constant("aircon1DropOut", "30.5"),
            constant("hiTemperaturePullIn", "40.0"),
            constant("hiTemperatureDropOut", "40.0"),  // equal: no gap at all
            constant("hiTempFanPullIn", "42.0")}),
       {{Constants, "<aircon1DropOut>",
         "aircon1DropOut (30.5 degC) is not below aircon1PullIn (30 degC): the first air "
         "conditioner can stop at a temperature that starts it again"},
        {Constants, "<hiTemperatureDropOut>",
         "hiTemperatureDropOut (40 degC) is not below hiTemperaturePullIn (40 degC): emergency "
         "cooling can stop"}}},
      {"GoalTemperatureAboveTheFreeAirRange",
       values("coolingPullIn=25.0 aircon1PullIn=30.0 goalTemperature=30.5"),
       {{Settings, "<goalTemperature>",
         "goalTemperature (30.5 degC) is above aircon1PullIn (30 degC): an air conditioner is "
         "called for before the room is cooled to the goal"}}},
      {"GoalTemperatureAtTheEndOfTheFreeAirRange",
       values("coolingPullIn=25.0 aircon1PullIn=30.0 goalTemperature=25.0"),
       {}},
      {"EmergencyFanBandBelowTheEndOfTheEmergency",
       // Band 35.5 to 37.5; the emergency ends below 36.
       values("hiTemperatureDropOut=36.0 hiTempFanPullIn=37.5"),
       {{Constants, "<hiTempFanPullIn>",
         "hiTempFanPullIn (37.5 degC): the emergency fan band runs from 35.5 to 37.5 degC, but "
         "emergency cooling ends below hiTemperatureDropOut (36 degC)"}}},
      {"EmergencyFanBandOffIsNotJudged",
       values("hiTemperatureDropOut=36.0 hiTempFanPullIn=37.5 useFanInHiTemp=0"),
       {},
       {{"hiTempFanPullIn", "not used: the emergency fan band is off"}}},
      {"EmergencyFanBandStartingAtTheEndOfTheEmergencyIsFine",
       // Band 36 to 38: its lower edge is the end of the emergency.
       values("hiTemperaturePullIn=40.0 hiTemperatureDropOut=36.0 hiTempFanPullIn=38.0"),
       {}},

      // ---- Timers and steps
      {"RampValuesBelowTenNeverRunOut",
       values("fanRampDownTimeValue=9 fanRampUpTimeValue=10"),  // 10 loads 1 pass: fine
       {{Constants, "<fanRampDownTimeValue>",
         "fanRampDownTimeValue (9 passes) is below 10: its timer is loaded with 9 / 10 = 0 passes "
         "and never runs out"}}},
      {"RetryPeriodOfZeroDrivesNothing", constant("airconFailRetryPeriod", "0"), {}},
      {"StepSizesZeroOrNegative",
       values("fanSpeedStepUpSize=0 fanSpeedStepDownSize=-5"),
       {{Constants, "<fanSpeedStepUpSize>", "fanSpeedStepUpSize (0 %) never speeds the fan up"},
        {Constants, "<fanSpeedStepDownSize>",
         "fanSpeedStepDownSize (-5 %) is negative: a step down raises the fan speed"}}},
      {"StepSizesNegativeOrAboveOneHundred",
       values("fanSpeedStepUpSize=-1 fanSpeedStepDownSize=100.5"),
       {{Constants, "<fanSpeedStepUpSize>", "is negative: a step up lowers the fan speed"},
        {Constants, "<fanSpeedStepDownSize>",
         "fanSpeedStepDownSize (100.5 %) is above 100 %: the fan speed is never stepped down"}}},
      {"DurationsInSecondsWhenThePassPeriodIsSet",
       all({property("PassPeriodMicroseconds", "10000"),
            constant("aircon1MinimumRunTimeValue", "30000"),
            constant("fanRampDownTimeValue", "12000"), constant("coolingPullIn", "25.0"),
            setting("goalTemperature", "26.0")}),
       {},
       {{"aircon1MinimumRunTimeValue", "30000 passes = 300 s (5 min)"},
        {"fanRampDownTimeValue", "12000 passes: a 10 % step every 1200 passes = 12 s"},
        {"PassPeriodMicroseconds", "10000 us a pass"},
        {"coolingPullIn", "25 degC"}}},

      // ---- Absent parameters
      {"AbsentParametersInUseAreReportedWithoutALine",
       all({noSetting("goalTemperature"), noConstant("maximumExtAboveIntTemperature"),
            noConstant("airconFailRetryPeriod")}),  // drives nothing
       {{Settings, "", "goalTemperature (absent, so 0 degC) is below coolingPullIn"},
        {Constants, "", "maximumExtAboveIntTemperature is absent: the controller uses 0 degC"}},
       {{"goalTemperature", "(absent: 0)"}}},
      {"FreeAirParametersAreNotJudgedWithoutFreeAir",
       all({setting("useFreeAir", "0"), noConstant("fanSpeedStepUpSize"),
            noConstant("fanSpeedIncreaseTimeOutValue"),
            noConstant("fanMinimumRunTimePreCoolingValue"), noConstant("fanRampUpTimeValue"),
            noSetting("goalTemperature")}),
       {}},

      // ---- Files the daemon cannot use
      {"FilesTheDaemonCannotUseAreErrorsWithoutFollowUpNoise",
       [](SampleConfiguration& s) {
         s.settings =
             "<?xml version=\"1.0\"?>\n<config>\n  <useFreeAir>1</useFreeAir>\n</konfig>\n";
         s.constants = "<?xml version=\"1.0\"?>\n<constants>\n</constants>\n";
       },
       {{Settings, "#4", "not well-formed XML: "},
        {Constants, "#2",
         "the document element is <constants>, not <config>: the daemon reads nothing from this "
         "file"}},
       {},
       2},

      // ---- Compressor protection: a minimum off time with air conditioners,
      // and, with free air, a run-on that outlasts the pre-cooling run.
      {"NoMinimumOffTime",
       noProperty(kMinimumOff),
       {{Properties, "", kMinimumOff + " is absent" + kWears}},
       {{kMinimumOff, "(absent: default 0)"}}},
      {"MinimumOffTimeOfZero",
       property(kMinimumOff, "0"),
       {{Properties, kMinimumOff + "=", kMinimumOff + " is 0" + kWears}}},
      {"NegativeMinimumOffTime",
       property(kMinimumOff, "-5"),
       {{Properties, kMinimumOff + "=", kMinimumOff + " is -5" + kWears}}},
      {"MinimumOffTimeThatIsNotANumber",
       property(kMinimumOff, "3min"),
       {{Properties, kMinimumOff + "=", kMinimumOff + " \"3min\" is not a number" + kWears}},
       {{kMinimumOff, "0 (no minimum off time)"}}},
      {"MinimumOffTimeWithFractions", property(kMinimumOff, "0.5"), {}, {{kMinimumOff, "0.5 s"}}},
      // A probe that stops reporting: believed for ever unless cool.
      {"ProbeLostActionHold",
       property("ProbeLostAction", "hold"),
       {{Properties, "ProbeLostAction=",
         "ProbeLostAction is \"hold\", which the daemon takes as "
         "hold: a probe that stops reporting keeps its last value"}}},
      {"ProbeLostActionUnknown",
       property("ProbeLostAction", "safe"),
       {{Properties,
         "ProbeLostAction=", "ProbeLostAction \"safe\" is not hold or cool: the daemon takes hold"},
        {Properties, "ProbeLostAction=",
         "ProbeLostAction is \"safe\", which the daemon takes as "
         "hold"}}},
      {"ProbeRangeThatIsNotANumber",
       property("ProbeMaximumCelsius", "hot"),
       {{Properties, "ProbeMaximumCelsius=",
         "ProbeMaximumCelsius \"hot\" is not a number: the daemon uses its default, 85 degC"}},
       {{"ProbeMaximumCelsius", "85 degC"}}},
      // Longer than a day is taken as a day.
      {"MinimumOffTimeLongerThanADay",
       property(kMinimumOff, "1e10"),
       {{Properties, kMinimumOff + "=",
         kMinimumOff + " 1e10 is longer than one day: the daemon takes it as 86400 s"}},
       {{kMinimumOff, "86400 s"}}},
      // Without air conditioners nothing needs protecting.
      {"NoMinimumOffTimeWithoutAircons",
       all({property(kMinimumOff, "0"), constant("numberOfAircons", "0")}),
       {{Constants, "<numberOfAircons>", "numberOfAircons is 0 but the settings file sets up"}}},
      {"RunOnAsLongAsPreCooling",
       constant("airconRunTimeAfterDropOutValue", "18000"),
       {{Constants, "<airconRunTimeAfterDropOutValue>",
         "airconRunTimeAfterDropOutValue (18000 passes) " + kRunOnShort +
             "2 passes = 0.02 s; a run-on of at least 18002 passes keeps it running instead"}}},
      {"RunOnOnePassLonger",
       constant("airconRunTimeAfterDropOutValue", "18001"),
       {{Constants, "<airconRunTimeAfterDropOutValue>", kRunOnShort + "1 pass = 0.01 s;"}}},
      {"RunOnTwoPassesLonger", constant("airconRunTimeAfterDropOutValue", "18002"), {}},
      {"RunOnWithPassesOfNoFixedLength",
       all({constant("airconRunTimeAfterDropOutValue", "12000"),
            noProperty("PassPeriodMicroseconds")}),
       {{Constants, "<airconRunTimeAfterDropOutValue>", kRunOnShort + "6002 passes;"}}},
      // ---- The metrics file
      {"MetricsFileTheCollectorWouldSkip",
       property("MetricsTextfile", "/tmp/frigel.txt"),
       {{Properties, "MetricsTextfile=",
         "MetricsTextfile \"/tmp/frigel.txt\" does not end in .prom: the textfile collector reads "
         "only *.prom files"}}},
      {"MetricsFileInAFolderThatDoesNotExist",
       property("MetricsTextfile", "/nonexistent-frigel-folder/frigel.prom"),
       {{Properties, "MetricsTextfile=",
         "MetricsTextfile: the folder \"/nonexistent-frigel-folder/\" does not exist here"}}},
      {"NoMetricsFile",
       noProperty("MetricsTextfile"),
       {},
       {{"MetricsTextfile", "(none: no metrics)"}}},
      {"RunOnWithoutFreeAir", values("airconRunTimeAfterDropOutValue=12000 useFreeAir=0"), {}},
  };
  // A wait or minimum run time of 0 never runs out.
  for (const char* timer : {"aircon1MinimumRunTimeValue", "aircon2MinimumRunTimeValue",
                            "airconRunTimeAfterDropOutValue", "fanMinimumRunTimePreCoolingValue",
                            "fanMinimumRunTimePreAirconValue", "fanSpeedIncreaseTimeOutValue",
                            "fanSpeedDecreaseTimeOutValue"}) {
    rows.push_back({std::string(timer) + "OfZeroNeverRunsOut",
                    constant(timer, "0"),
                    {{Constants, std::string("<") + timer + ">",
                      std::string(timer) + " (0 passes) never runs out: "}}});
  }
  return rows;
}

INSTANTIATE_TEST_SUITE_P(Table, ParameterChecks, ::testing::ValuesIn(table()),
                         [](const ::testing::TestParamInfo<Row>& info) { return info.param.name; });

TEST(ParameterChecksFiles, AMissingFileIsAnError) {
  SampleConfiguration missing;
  CheckResult result = checkConfiguration(
      {missing.paths().properties, missing.paths().settings, missing.paths().constants});
  expectFindings(result, {{missing.paths().properties, 0, "cannot be read: No such file"},
                          {missing.paths().settings, 0, "cannot be read: No such file"},
                          {missing.paths().constants, 0, "cannot be read: No such file"}});
  EXPECT_EQ(exitStatus(result.findings), 2);
}

// Rows print by name in test listings and failures.
void PrintTo(const Row& row, std::ostream* out) {
  *out << row.name;
}

}  // namespace
