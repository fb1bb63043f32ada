#include "ValueChecks.h"

#include <set>
#include <type_traits>
#include <vector>

#include "daemonKeys.h"
#include "Globals.h"
#include "DaemonNumberReading.h"
#include "ParameterUse.h"
#include "TextTools.h"

namespace {

class ValueChecker {
 public:
  ValueChecker(const SeenConfiguration& seen, const PropertiesReview& properties,
               Findings& findings)
      : mSeen(seen),
        mProperties(properties),
        mFeatures(controllerFeatures(seen)),
        mPassPeriodMicroseconds(properties.passPeriodMicroseconds()),
        mFindings(findings) {}

  void run() {
    checkOptionBytes();
    checkNumberOfAircons();
    checkPullInOrder();
    checkDropOuts();
    whenInUse(&::goalTemperature, &ValueChecker::checkGoalTemperature);
    whenInUse(&::hiTempFanPullIn, &ValueChecker::checkEmergencyFanBand);
    checkRamps();
    checkTimersThatNeverRunOut();
    checkRunOnAgainstPreCooling();
    checkMinimumOffTime();
    checkProbeLostAction();
    checkStepSizes();
    checkAbsentParameters();
  }

 private:
  // By the daemon's variable (&::aircon1PullIn), so that a renamed parameter
  // fails to compile; a name as text does not compile either.
  template <typename Variable>
  const EffectiveValue& value(const Variable* variable) const {
    static_assert(std::is_same_v<Variable, float> || std::is_same_v<Variable, uint8_t> ||
                      std::is_same_v<Variable, uint32_t>,
                  "look a parameter up by its variable");
    return *mSeen.findByVariable(variable);
  }

  bool inUse(const EffectiveValue& v) const {
    return !unusedBecause(v.definition, mFeatures).has_value();
  }

  // Runs a check about one parameter, which has nothing to say about a
  // parameter the daemon does not use under the chosen options.
  template <class Variable>
  void whenInUse(const Variable* variable, void (ValueChecker::*check)(const EffectiveValue&)) {
    const EffectiveValue& v = value(variable);
    if (inUse(v)) {
      (this->*check)(v);
    }
  }

  // "30 degC", or "absent, so 0 degC".
  static std::string describe(const EffectiveValue& v) {
    const std::string shown = withUnit(formatStoredValue(v.value), v.definition.unit);
    return v.present ? shown : "absent, so " + shown;
  }

  // "aircon1PullIn (30 degC)".
  static std::string named(const EffectiveValue& v) {
    return std::string(v.definition.name) + " (" + describe(v) + ")";
  }

  // A warning about `subject`, at its line; when it is absent, at the line
  // of the first of `others` present in the same file, or at no line.
  // Absent parameters named in a warning get no separate "absent" warning.
  void warn(const EffectiveValue& subject, const std::string& message,
            std::vector<const EffectiveValue*> others = {}) {
    long line = subject.line;
    for (const EffectiveValue* other : others) {
      if (line == 0 && other->file == subject.file) {
        line = other->line;
      }
      if (!other->present) {
        mCovered.insert(other->definition.name);
      }
    }
    if (!subject.present) {
      mCovered.insert(subject.definition.name);
    }
    mFindings.warn(mSeen.file(subject.file).path, line, message);
  }

  // "useFreeAir 257 is stored as 1 (the setting is one byte)" or "useFreeAir is 2".
  static std::string storedByte(const EffectiveValue& v, bool& wrapped) {
    const long written = parseInteger(v.text.c_str());
    wrapped = v.present && written != static_cast<long>(v.value);
    const std::string stored = formatStoredValue(v.value);
    if (wrapped) {
      return std::string(v.definition.name) + " " + std::to_string(written) + " is stored as " +
             stored + " (the setting is one byte)";
    }
    return std::string(v.definition.name) + " is " + stored;
  }

  void checkOptionBytes() {
    struct Option {
      const uint8_t* variable;
      const char* feature;
    };
    for (const Option& option : {Option{&::useFreeAir, "free-air cooling"},
                                 Option{&::useFanInHiTemp, "the emergency fan band"}}) {
      const EffectiveValue& v = value(option.variable);
      bool wrapped = false;
      const std::string head = storedByte(v, wrapped);
      if (v.value > 1) {
        warn(v,
             head + ", which leaves " + option.feature + " off: only 1 turns it on; write 0 or 1");
      } else if (wrapped) {
        warn(v, head + ": " + option.feature + " is " + (v.value == 1 ? "on" : "off") + "; write " +
                    formatStoredValue(v.value));
      }
    }
    const EffectiveValue& rotation = value(&::airconRotation);
    bool wrapped = false;
    const std::string head = storedByte(rotation, wrapped);
    if (rotation.value > 1) {
      warn(rotation, head + ", which turns rotation on as any value but 0 does; write 1");
    } else if (wrapped) {
      warn(rotation, head + ": rotation is " + (rotation.value == 1 ? "on" : "off") + "; write " +
                         formatStoredValue(rotation.value));
    }
  }

  static std::string airconList(const std::set<int>& units) {
    if (units.empty()) {
      return "no air conditioner";
    }
    if (units.size() == 2) {
      return "aircons 1 and 2";
    }
    return "aircon " + std::to_string(*units.begin()) + " only";
  }

  void checkNumberOfAircons() {
    const EffectiveValue& v = value(&::numberOfAircons);
    bool wrapped = false;
    const std::string head = storedByte(v, wrapped);
    if (v.value > 2) {
      warn(v, head +
                  ": the controller knows 0, 1 or 2 air conditioners; with more, emergency "
                  "cooling switches none of them");
      return;
    }
    if (wrapped) {
      warn(v, head + "; write " + formatStoredValue(v.value));
    }
    std::set<int> setUp;
    for (const SeenSetupCall& call : mSeen.setupCalls) {
      if (call.kind == SeenSetupCall::Aircon &&
          (call.airconNumber == 1 || call.airconNumber == 2)) {
        setUp.insert(call.airconNumber);
      }
    }
    std::set<int> expected;
    for (int unit = 1; unit <= static_cast<int>(v.value); ++unit) {
      expected.insert(unit);
    }
    if (setUp == expected) {
      return;
    }
    std::string consequence;
    for (int unit : {1, 2}) {
      const bool wanted = expected.count(unit) > 0;
      if (wanted != (setUp.count(unit) > 0)) {
        consequence += consequence.empty() ? ": " : "; ";
        consequence += "aircon " + std::to_string(unit) +
                       (wanted ? " is switched but has no port" : " is never switched");
      }
    }
    warn(v, "numberOfAircons is " + (v.present ? formatStoredValue(v.value) : "absent, so 0") +
                " but the settings file sets up " + airconList(setUp) + consequence);
  }

  // coolingPullIn <= aircon1PullIn <= aircon2PullIn <= hiTemperaturePullIn,
  // over the ones in use.
  void checkPullInOrder() {
    std::vector<const EffectiveValue*> chain;
    for (const float* variable :
         {&::coolingPullIn, &::aircon1PullIn, &::aircon2PullIn, &::hiTemperaturePullIn}) {
      if (inUse(value(variable))) {
        chain.push_back(&value(variable));
      }
    }
    for (std::size_t i = 1; i < chain.size(); ++i) {
      const EffectiveValue& lower = *chain[i - 1];
      const EffectiveValue& upper = *chain[i];
      if (!(upper.value < lower.value)) {
        continue;
      }
      const std::string lowerName = lower.definition.name;
      const std::string upperName = upper.definition.name;
      std::string consequence;
      if (upper.definition.target == &::hiTemperaturePullIn) {
        consequence =
            "emergency cooling (everything on) starts before the room reaches " + lowerName;
      } else if (lower.definition.target == &::coolingPullIn) {
        consequence =
            "with free-air cooling on, nothing cools until the room reaches coolingPullIn, "
            "even above aircon1PullIn";
      } else {
        consequence =
            "the second air conditioner is called for at a lower temperature than the first";
      }
      warn(upper, named(upper) + " is below " + named(lower) + ": " + consequence, {&lower});
    }
  }

  void checkDropOuts() {
    struct Pair {
      const float* dropOut;
      const float* pullIn;
      const char* what;
    };
    for (const Pair& pair :
         {Pair{&::aircon1DropOut, &::aircon1PullIn, "the first air conditioner"},
          Pair{&::aircon2DropOut, &::aircon2PullIn, "the second air conditioner"},
          Pair{&::hiTemperatureDropOut, &::hiTemperaturePullIn, "emergency cooling"}}) {
      const EffectiveValue& dropOut = value(pair.dropOut);
      const EffectiveValue& pullIn = value(pair.pullIn);
      if (!inUse(dropOut) || dropOut.value < pullIn.value) {
        continue;
      }
      warn(dropOut,
           named(dropOut) + " is not below " + named(pullIn) + ": " + pair.what +
               " can stop at a temperature that starts it again, so it goes on and off",
           {&pullIn});
    }
  }

  // Free-air cooling regulates towards the goal only between coolingPullIn
  // (below it free air stops) and aircon1PullIn (from there an air
  // conditioner is called for).
  void checkGoalTemperature(const EffectiveValue& goal) {
    const EffectiveValue& coolingPullIn = value(&::coolingPullIn);
    const EffectiveValue& aircon1PullIn = value(&::aircon1PullIn);
    if (goal.value < coolingPullIn.value) {
      warn(goal,
           named(goal) + " is below " + named(coolingPullIn) +
               ": free-air cooling stops below coolingPullIn, so the room is always above the "
               "goal and the fan is only ever sped up",
           {&coolingPullIn});
    } else if (goal.value > aircon1PullIn.value) {
      warn(goal,
           named(goal) + " is above " + named(aircon1PullIn) +
               ": an air conditioner is called for before the room is cooled to the goal",
           {&aircon1PullIn});
    }
  }

  // The band runs from hiTempFanPullIn - 2 up to hiTempFanPullIn, and only
  // while an emergency lasts: from hiTemperaturePullIn until the room falls
  // below hiTemperatureDropOut.
  void checkEmergencyFanBand(const EffectiveValue& pullIn) {
    const EffectiveValue& dropOut = value(&::hiTemperatureDropOut);
    const float lowerEdge = static_cast<float>(pullIn.value) - 2.0f;
    if (!(lowerEdge < dropOut.value)) {
      return;
    }
    warn(pullIn,
         named(pullIn) + ": the emergency fan band runs from " + formatStoredValue(lowerEdge) +
             " to " + withUnit(formatStoredValue(pullIn.value), "degC") +
             ", but emergency cooling ends below " + named(dropOut) +
             ": the room never gets below the band during an emergency, so once the fan has "
             "ramped up it does not ramp down before the emergency ends",
         {&dropOut});
  }

  void checkRamps() {
    struct Ramp {
      const uint32_t* variable;
      const char* consequence;
    };
    for (const Ramp& ramp :
         {Ramp{&::fanRampDownTimeValue,
               "the fan is never ramped down once an air conditioner or an emergency takes over"},
          Ramp{&::fanRampUpTimeValue, "the fan never ramps up in an emergency"}}) {
      const EffectiveValue& v = value(ramp.variable);
      if (!inUse(v) || v.value >= 10) {
        continue;
      }
      warn(v, named(v) + " is below 10: its timer is loaded with " + formatStoredValue(v.value) +
                  " / 10 = 0 passes and never runs out, so " + ramp.consequence);
    }
  }

  void checkTimersThatNeverRunOut() {
    struct Timer {
      const uint32_t* variable;
      const char* consequence;
    };
    for (const Timer& timer : {
             Timer{&::aircon1MinimumRunTimeValue,
                   "single-aircon cooling never ends by itself; only an emergency takes over"},
             Timer{&::aircon2MinimumRunTimeValue,
                   "two-aircon cooling never releases the second air conditioner"},
             Timer{&::airconRunTimeAfterDropOutValue,
                   "after free-air cooling takes over, the air conditioner keeps running"},
             Timer{&::fanMinimumRunTimePreCoolingValue,
                   "free-air cooling never gets past its first run, so the fan speed is never "
                   "regulated"},
             Timer{&::fanMinimumRunTimePreAirconValue,
                   "the full-speed fan run before an air conditioner never ends, so free-air "
                   "cooling never calls for one"},
             Timer{&::fanSpeedIncreaseTimeOutValue,
                   "after its first step up the fan regulation waits until the room reaches "
                   "aircon1PullIn"},
             Timer{&::fanSpeedDecreaseTimeOutValue,
                   "after its first step down the fan regulation waits until the room reaches "
                   "aircon1PullIn"},
         }) {
      const EffectiveValue& v = value(timer.variable);
      if (inUse(v) && v.value == 0) {
        warn(v, named(v) + " never runs out: " + timer.consequence);
      }
    }
  }

  // "6002 passes", and "= 60.02 s" when the pass length is known.
  std::string passes(double count) const {
    const std::string text = formatStoredValue(count) + (count == 1 ? " pass" : " passes");
    if (mPassPeriodMicroseconds <= 0) {
      return text;
    }
    return text + " = " + passesAsSeconds(count, mPassPeriodMicroseconds);
  }

  // When single-aircon cooling hands over to free air, the unit runs on for
  // airconRunTimeAfterDropOutValue passes and is then switched off by
  // free-air cooling, whose pre-cooling run lasts
  // fanMinimumRunTimePreCoolingValue passes; if the room is still too warm
  // when that run ends, free air calls the unit again. Unless the run-on
  // lasts past the end of pre-cooling, the unit is off for only
  // preCooling + 2 - runOn passes in between.
  void checkRunOnAgainstPreCooling() {
    const EffectiveValue& runOn = value(&::airconRunTimeAfterDropOutValue);
    const EffectiveValue& preCooling = value(&::fanMinimumRunTimePreCoolingValue);
    // Timers of 0 never run out: warned about on their own.
    if (!inUse(runOn) || runOn.value == 0 || preCooling.value == 0 ||
        runOn.value > preCooling.value + 1) {
      return;
    }
    warn(runOn,
         named(runOn) + " is not longer than " + named(preCooling) +
             " + 1: when free-air cooling takes over from an air conditioner, the unit is "
             "switched off after its run-on and, if the room is still warm when the pre-cooling "
             "run ends, on again after a rest of only " +
             passes(preCooling.value + 2 - runOn.value) + "; a run-on of at least " +
             formatStoredValue(preCooling.value + 2) + " passes keeps it running instead",
         {&preCooling});
  }

  // Without a minimum off time the controller may start an air conditioner
  // again right after it stopped.
  void checkMinimumOffTime() {
    const DaemonKeyValue* minimumOff = mProperties.find(kAirconMinimumOffKey);
    if (minimumOff == nullptr || mFeatures.numberOfAircons == 0 || minimumOff->value > 0) {
      return;
    }
    std::string message = kAirconMinimumOffKey;
    if (minimumOff->line == 0) {
      message += " is absent";
    } else if (minimumOff->notANumber) {
      message += " " + quoted(trimBlanks(minimumOff->text)) + " is not a number";
    } else {
      message += " is " + trimBlanks(minimumOff->text);
    }
    mFindings.warn(mProperties.path, minimumOff->line,
                   message +
                       ", which the daemon takes as no minimum off time: an air conditioner can "
                       "be switched on again right after it stopped, which wears its compressor "
                       "(180 s protects it)");
  }

  // A probe that stops reporting is believed for ever unless the daemon is
  // told to run the site safe.
  void checkProbeLostAction() {
    const DaemonKeyValue* action = mProperties.find(kProbeLostActionKey);
    if (action == nullptr || action->value != 0) {
      return;
    }
    std::string message = kProbeLostActionKey;
    message += action->line == 0 ? " is absent" : " is " + quoted(trimBlanks(action->text));
    mFindings.warn(mProperties.path, action->line,
                   message +
                       ", which the daemon takes as hold: a probe that stops reporting keeps its "
                       "last value for ever, so a frozen inside probe can leave a hot room without "
                       "cooling; cool runs one unit and keeps outside air out while a probe is "
                       "lost");
  }

  void checkStepSizes() {
    struct Step {
      const float* variable;
      const char* whenNegative;
      const char* whenZero;
      const char* whenAboveFull;
    };
    for (const Step& step :
         {Step{&::fanSpeedStepUpSize, "a step up lowers the fan speed, without limit",
               "never speeds the fan up", "one step takes the fan to full speed"},
          Step{&::fanSpeedStepDownSize, "a step down raises the fan speed, without limit",
               "never slows the fan down", "the fan speed is never stepped down"}}) {
      const EffectiveValue& v = value(step.variable);
      if (!inUse(v)) {
        continue;
      }
      if (v.value < 0) {
        warn(v, named(v) + " is negative: " + step.whenNegative);
      } else if (v.value == 0) {
        warn(v, named(v) + " " + step.whenZero);
      } else if (v.value > 100) {
        warn(v, named(v) + " is above 100 %: " + step.whenAboveFull);
      }
    }
  }

  // Thresholds, durations and steps in use that no element sets stay 0.
  // (Options and numberOfAircons at 0 are a choice, judged above.)
  void checkAbsentParameters() {
    for (const EffectiveValue& v : mSeen.values) {
      const std::string name = v.definition.name;
      const bool choice = v.definition.conversion == ParameterConversion::Byte;
      if (v.present || choice || !inUse(v) || mCovered.count(name) > 0) {
        continue;
      }
      warn(v, name + " is absent: the controller uses " + withUnit("0", v.definition.unit));
    }
  }

  const SeenConfiguration& mSeen;
  const PropertiesReview& mProperties;
  const ControllerFeatures mFeatures;
  const int mPassPeriodMicroseconds;  // 0: passes of no fixed length
  Findings& mFindings;
  std::set<std::string> mCovered;  // absent parameters a warning already named
};

// The daemon does no control without both probes and at least one output.
void checkIdleSetup(const SeenConfiguration& seen, Findings& findings) {
  bool internalProbe = false;
  bool externalProbe = false;
  bool output = false;
  for (const SeenSetupCall& call : seen.setupCalls) {
    internalProbe |= call.kind == SeenSetupCall::InternalProbe;
    externalProbe |= call.kind == SeenSetupCall::ExternalProbe;
    output |=
        call.kind == SeenSetupCall::Fan ||
        (call.kind == SeenSetupCall::Aircon && (call.airconNumber == 1 || call.airconNumber == 2));
  }
  const std::string& path = seen.settings.path;
  if (!internalProbe) {
    findings.warn(path, 0,
                  "no internalProbeLabel: without an internal probe the daemon stays idle");
  }
  if (!externalProbe) {
    findings.warn(path, 0,
                  "no externalProbeLabel: without an external probe the daemon stays idle");
  }
  if (!output) {
    findings.warn(path, 0, "no air conditioner and no fan is set up: the daemon stays idle");
  }
}

}  // namespace

void checkValues(const SeenConfiguration& seen, const PropertiesReview& properties,
                 Findings& findings) {
  if (seen.settings.state == SeenFile::Read) {
    checkIdleSetup(seen, findings);
  }
  if (seen.bothRead()) {
    ValueChecker(seen, properties, findings).run();
  }
}
