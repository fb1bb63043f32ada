#include "Explorer.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <sstream>
#include <unordered_map>

#include "FlatCallRecorder.h"
#include "controlPass.h"
#include "frigel.h"
#include "coolingModes.h"

namespace {

// ---- Settings -------------------------------------------------------------------

// The clock of every pass: the hold's memory is kept relative to it, so
// states reached at different depths compare equal.
constexpr int64_t kPassClock = 1 << 20;

// ---- Inputs ---------------------------------------------------------------------

struct Input {
  float internal;
  float external;
};

float below(float value) {
  return std::nextafter(value, -std::numeric_limits<float>::infinity());
}
float above(float value) {
  return std::nextafter(value, std::numeric_limits<float>::infinity());
}

// Every threshold the mode logic compares the internal temperature with
// (with >= or its negation), computed as the mode logic computes it.
std::vector<float> internalThresholds(const ControllerSettingValues& s) {
  const float bandBottom = s.hiTempFanPullIn - 2.0f;
  return {s.coolingPullIn,        s.aircon1PullIn,   s.aircon1DropOut,
          s.aircon2PullIn,        s.aircon2DropOut,  s.hiTemperaturePullIn,
          s.hiTemperatureDropOut, s.hiTempFanPullIn, bandBottom};
}

// The outcome of every test the mode logic makes of the two temperatures:
// pairs with the same signature take the same path through it.
uint32_t signature(const ControllerSettingValues& s, const Input& in) {
  uint32_t bits = 0;
  int bit = 0;
  auto add = [&](bool outcome) { bits |= static_cast<uint32_t>(outcome) << bit++; };
  for (float threshold : internalThresholds(s)) {
    add(in.internal >= threshold);
  }
  add(in.internal > s.goalTemperature);
  add(in.internal < s.goalTemperature);
  add(in.internal <= in.external);
  add(in.internal > in.external - s.maximumExtAboveIntTemperature);
  add(in.external < s.aircon1PullIn);
  return bits;
}

// The representative temperatures: every threshold and the goal, just
// below and just above each, for the inside; for the outside, values
// around the inside one and around the inside one plus the margin (so that
// the outside is cooler, as warm, warmer, and too warm by the margin), and
// around the first unit's pull-in. Pairs that every comparison treats
// alike are kept once.
std::vector<Input> representativeInputs(const ControllerSettingValues& s, bool belowEmergency,
                                        float lostOutside) {
  std::vector<float> internals;
  std::vector<float> thresholds = internalThresholds(s);
  thresholds.push_back(s.goalTemperature);
  for (float threshold : thresholds) {
    internals.insert(internals.end(), {below(threshold), threshold, above(threshold)});
  }
  const float margin = s.maximumExtAboveIntTemperature;
  std::map<uint32_t, Input> distinct;
  for (float t : internals) {
    std::vector<float> externals = {
        below(t), t, above(t), below(s.aircon1PullIn), s.aircon1PullIn, above(s.aircon1PullIn)};
    // Outside values whose difference with the margin falls below, on and
    // above the inside value, in single precision.
    float e = t + margin;
    for (int ulps = 0; ulps < 6; ++ulps) {
      e = below(e);
    }
    for (int ulps = 0; ulps < 12; ++ulps, e = above(e)) {
      externals.push_back(e);
    }
    if (belowEmergency && t >= s.hiTemperaturePullIn) {
      continue;
    }
    if (!std::isnan(lostOutside)) {
      externals = {lostOutside};
    }
    for (float external : externals) {
      const Input in{t, external};
      distinct.emplace(signature(s, in), in);
    }
  }
  std::vector<Input> inputs;
  for (const auto& [key, in] : distinct) {
    inputs.push_back(in);
  }
  return inputs;
}

// ---- States -----------------------------------------------------------------------

// The controller's state and what the explorer follows besides it: the
// bridge's outputs and hold, the run that single-aircon cooling started,
// and the no-cooling steps in a row. Counters stop where more passes
// change nothing.
struct State {
  ControllerSnapshot controller;  // the temperatures are not kept
  bool sentOn[2] = {false, false};
  bool resting[2] = {false, false};
  uint32_t restPasses[2] = {0, 0};  // passes since switched off, capped
  bool held[2] = {false, false};
  uint8_t runUnit = 0;         // 0: no run followed
  uint32_t runPasses = 0;      // passes since it started, capped
  bool takenOver = false;      // emergency or two-aircon cooling since
  uint8_t noCoolingSteps = 0;  // in a row, capped at 2
};

// A state packed byte by byte, to be hashed and compared.
constexpr std::size_t kKeyBytes =
#define FRIGEL_SIZE(type, name) sizeof(type) +
    FRIGEL_CONTROLLER_LIVE_STATE(FRIGEL_SIZE)
#undef FRIGEL_SIZE
        sizeof(uint8_t) +
    2 * (3 * sizeof(bool) + sizeof(uint32_t)) + sizeof(uint8_t) + sizeof(uint32_t) + sizeof(bool) +
    sizeof(uint8_t);

struct Key {
  std::array<unsigned char, kKeyBytes> bytes{};
  bool operator==(const Key& other) const { return bytes == other.bytes; }
};

struct KeyHash {
  std::size_t operator()(const Key& key) const {
    uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (unsigned char byte : key.bytes) {
      hash = (hash ^ byte) * 1099511628211ull;
    }
    return static_cast<std::size_t>(hash);
  }
};

class KeyWriter {
 public:
  template <typename T>
  void put(const T& value) {
    std::memcpy(mKey.bytes.data() + mOffset, &value, sizeof(T));
    mOffset += sizeof(T);
  }
  Key take() { return mKey; }

 private:
  Key mKey;
  std::size_t mOffset = 0;
};

class KeyReader {
 public:
  explicit KeyReader(const Key& key) : mKey(key) {}
  template <typename T>
  void get(T& value) {
    std::memcpy(&value, mKey.bytes.data() + mOffset, sizeof(T));
    mOffset += sizeof(T);
  }

 private:
  const Key& mKey;
  std::size_t mOffset = 0;
};

// Every field of a state's key, in order, handed to `visit`. The
// temperatures are in it but always 0: every pass sets both before its step.
template <typename StateRef, typename Visit>
void forEachKeyField(StateRef& s, Visit visit) {
#define FRIGEL_FIELD(type, name) visit(s.controller.name);
  FRIGEL_CONTROLLER_LIVE_STATE(FRIGEL_FIELD)
#undef FRIGEL_FIELD
  visit(s.controller.first);
  for (int u = 0; u < 2; ++u) {
    visit(s.sentOn[u]);
    visit(s.resting[u]);
    visit(s.restPasses[u]);
    visit(s.held[u]);
  }
  visit(s.runUnit);
  visit(s.runPasses);
  visit(s.takenOver);
  visit(s.noCoolingSteps);
}

Key encode(const State& s) {
  KeyWriter w;
  forEachKeyField(s, [&w](const auto& field) { w.put(field); });
  return w.take();
}

State decode(const Key& key) {
  State s;
  KeyReader r(key);
  forEachKeyField(s, [&r](auto& field) { r.get(field); });
  return s;
}

State startState() {
  State s;
  s.controller = ControllerSnapshot();
  s.controller.internalTemperatureAveraging = 0.0f;
  s.controller.externalTemperatureAveraging = 0.0f;
  return s;
}

// ---- One pass ---------------------------------------------------------------------

struct Broken {
  std::string rule;
  std::string detail;
};

class Stepper {
 public:
  explicit Stepper(const ExplorerConfig& config)
      : mConfig(config),
        mRestCap(std::max({config.minimumOffPasses, config.requiredRestPasses, 1u})) {}

  // Runs one pass of the real controller from `from` with `in`; fills `to`
  // and any rule the pass broke.
  void step(const State& from, const Input& in, State& to, std::vector<Broken>& broken) {
    const ControllerSettingValues& settings = mConfig.settings;
    restoreControllerState(from.controller);
    AirconOutputs::Memory outputs;
    for (int u = 0; u < 2; ++u) {
      AirconOutputs::Unit& unit = outputs.units[u];
      unit.present = true;
      // The decision is the controller's record, which only the switches
      // change.
      unit.decidedOn = (u == 0 ? from.controller.aircon1 : from.controller.aircon2) == on;
      unit.confirmed =
          from.sentOn[u] ? AirconOutputs::Confirmed::On : AirconOutputs::Confirmed::Off;
      unit.resting = from.resting[u];
      unit.offAt = kPassClock - static_cast<int64_t>(from.restPasses[u]);
    }
    recorder.outputs.setTiming(AirconOutputs::Timing{mConfig.minimumOffPasses, 0});
    recorder.outputs.restore(outputs);
    recorder.startPass(kPassClock);
    const ProbeReadings readings{in.internal, in.external};
    runControlPass(&readings, [] { recorder.reconcile(); });

    to = State();
    to.controller = saveControllerState();
    // Every pass sets both temperatures before its step: the ones the last
    // pass left make no difference to what comes next.
    to.controller.internalTemperatureAveraging = 0.0f;
    to.controller.externalTemperatureAveraging = 0.0f;
    const ControllerSnapshot& before = from.controller;
    const ControllerSnapshot& after = to.controller;
    const bool emergencyPullIn = in.internal >= settings.hiTemperaturePullIn;
    const uint8_t recordOn[2] = {after.aircon1, after.aircon2};

    // The outputs and their rests.
    for (int u = 0; u < 2; ++u) {
      const AirconOutputs::Unit& unit = recorder.outputs.memory().units[u];
      to.sentOn[u] = unit.confirmed == AirconOutputs::Confirmed::On;
      // Every send goes out: a start decided and not on is held.
      to.held[u] = unit.decidedOn && !to.sentOn[u];
      to.resting[u] = unit.resting && !to.sentOn[u];
      if (to.resting[u]) {
        const int64_t rested = kPassClock + 1 - unit.offAt;
        to.restPasses[u] = static_cast<uint32_t>(std::min<int64_t>(rested, mRestCap));
      }
      if (to.sentOn[u] && recordOn[u] != on) {
        broken.push_back({"a start taken back is never sent",
                          "unit " + std::to_string(u + 1) + " is on, the controller wants it off"});
      }
      if (to.held[u] && recordOn[u] != on) {
        broken.push_back({"a start taken back is never sent",
                          "unit " + std::to_string(u + 1) + " still holds a start taken back"});
      }
    }
    for (int i = 0; i < recorder.switchCount; ++i) {
      const FlatCallRecorder::Switch& event = recorder.switches[i];
      if (event.on && event.sent && event.restPasses >= 0 &&
          event.restPasses < static_cast<int64_t>(mConfig.requiredRestPasses)) {
        broken.push_back({"no output rests less than the minimum off time",
                          "unit " + std::to_string(event.unit) + " restarted after " +
                              std::to_string(event.restPasses) + " passes off"});
      }
    }

    followSingleAirconRun(from, before, after, emergencyPullIn, to, broken);

    // No cooling: the fan is written 0, and from the second step on both
    // units are off.
    const bool noCoolingRan = before.first != 0
                                  ? after.coolState == noCoolingModeState
                                  : before.coolState == noCoolingModeState && !emergencyPullIn;
    to.noCoolingSteps = noCoolingRan ? std::min(from.noCoolingSteps + 1, 2) : 0;
    if (noCoolingRan && recorder.fanWritten != 0.0f) {
      broken.push_back({"in no-cooling mode the fan is written 0",
                        "fan written " + std::to_string(recorder.fanWritten)});
    }
    if (to.noCoolingSteps >= 2 && (recordOn[0] || recordOn[1] || to.sentOn[0] || to.sentOn[1])) {
      broken.push_back({"in no-cooling mode both units are off within two passes", ""});
    }

    // Emergency: from its second pass on, every installed unit runs.
    const bool laterEmergencyStep = before.first == 0 &&
                                    before.coolState == emergencyCoolingModeState &&
                                    before.emergencytimerLoop == 1;
    if (laterEmergencyStep) {
      for (int u = 0; u < std::min<int>(settings.numberOfAircons, 2); ++u) {
        if (recordOn[u] != on) {
          broken.push_back({"from the second emergency pass every installed unit is on",
                            "unit " + std::to_string(u + 1) + " is off"});
        }
      }
    }

    // With the outside probe lost, free air finds the outside too warm: its
    // step keeps the fan at its lowest speed and never regulates.
    const bool freeAirRan = before.first != 0
                                ? after.coolState == freeAirCoolingModeState
                                : before.coolState == freeAirCoolingModeState && !emergencyPullIn;
    if (!std::isnan(mConfig.lostOutsideCelsius) && freeAirRan &&
        (recorder.fanWritten > 1.0f || after.freeAirTimerLoop > 2)) {
      broken.push_back({"with the outside probe lost free air draws no outside air in",
                        "fan written " + std::to_string(recorder.fanWritten) + ", free-air step " +
                            std::to_string(after.freeAirTimerLoop)});
    }

    // The fan.
    if (recorder.fanWrites != 1) {
      broken.push_back(
          {"exactly one fan write per pass", std::to_string(recorder.fanWrites) + " writes"});
    }
    if (!(recorder.fanWritten >= 0.0f && recorder.fanWritten <= 100.0f)) {
      broken.push_back({"every fan value written lies in 0 to 100",
                        "fan written " + std::to_string(recorder.fanWritten)});
    }
  }

 private:
  // A run that single-aircon cooling starts lasts its minimum run time,
  // unless the emergency or two-aircon cooling takes over meanwhile.
  void followSingleAirconRun(const State& from, const ControllerSnapshot& before,
                             const ControllerSnapshot& after, bool emergencyPullIn, State& to,
                             std::vector<Broken>& broken) {
    const uint32_t minimumRun = mConfig.settings.aircon1MinimumRunTimeValue;
    to.runUnit = from.runUnit;
    to.runPasses = from.runPasses;
    to.takenOver = from.takenOver;
    if (to.runUnit != 0) {
      for (int i = 0; i < recorder.switchCount; ++i) {
        const FlatCallRecorder::Switch& event = recorder.switches[i];
        if (event.unit == to.runUnit && !event.on && event.recordWasOn) {
          if (!to.takenOver && to.runPasses < minimumRun) {
            broken.push_back({"a single-aircon run lasts its minimum run time",
                              "unit " + std::to_string(to.runUnit) + " stopped after " +
                                  std::to_string(to.runPasses) + " of " +
                                  std::to_string(minimumRun) + " passes"});
          }
          to.runUnit = 0;
        }
      }
    }
    if (to.runUnit != 0) {
      to.runPasses = std::min(to.runPasses + 1, minimumRun);
      if (after.coolState == emergencyCoolingModeState ||
          after.coolState == aircon2CoolingModeState) {
        to.takenOver = true;
      }
    }
    // Single-aircon cooling made its first step in this pass (two-aircon
    // cooling handing back also sets its step counter, but starts nothing).
    const bool firstStep =
        before.AirCon1timerLoop == 0 && after.AirCon1timerLoop == 1 &&
        !(before.first == 0 && before.coolState == aircon2CoolingModeState && !emergencyPullIn);
    if (firstStep) {
      for (int i = 0; i < recorder.switchCount; ++i) {
        const FlatCallRecorder::Switch& event = recorder.switches[i];
        if (event.on && !event.recordWasOn && !event.released) {
          to.runUnit = static_cast<uint8_t>(event.unit);
          to.runPasses = std::min(1u, minimumRun);
          to.takenOver = false;
        }
      }
    }
    if (to.runUnit == 0) {
      to.runPasses = 0;
      to.takenOver = false;
    }
  }

  const ExplorerConfig& mConfig;
  const uint32_t mRestCap;
};

// ---- Traces -----------------------------------------------------------------------

std::string describePass(int pass, const Input& in, const State& after) {
  std::ostringstream line;
  auto unit = [&](int u) {
    const uint8_t record = u == 0 ? after.controller.aircon1 : after.controller.aircon2;
    std::string text = record ? "on" : "off";
    if (after.held[u]) {
      text += " (start held)";
    } else if (after.sentOn[u] != (record == on)) {
      text += after.sentOn[u] ? " (output on)" : " (output off)";
    }
    return text;
  };
  line << "pass " << pass << ": internal " << in.internal << ", external " << in.external << " -> "
       << coolingModeName(after.controller.coolState) << ", unit 1 " << unit(0) << ", unit 2 "
       << unit(1) << ", fan " << after.controller.fanSpeedPercent;
  return line.str();
}

// Replays `inputs` from start-up, one line per pass.
std::vector<std::string> replay(const ExplorerConfig& config, const std::vector<Input>& inputs) {
  Stepper stepper(config);
  State state = startState();
  std::vector<std::string> lines;
  std::vector<Broken> ignored;
  for (std::size_t pass = 0; pass < inputs.size(); ++pass) {
    State next;
    stepper.step(state, inputs[pass], next, ignored);
    lines.push_back(describePass(static_cast<int>(pass + 1), inputs[pass], next));
    state = next;
  }
  return lines;
}

}  // namespace

ExplorerResult explore(const ExplorerConfig& config) {
  const auto started = std::chrono::steady_clock::now();
  config.settings.apply();
  const std::vector<Input> inputs =
      representativeInputs(config.settings, config.belowEmergency, config.lostOutsideCelsius);
  Stepper stepper(config);

  // Breadth-first: states in the order found, each with the state and the
  // input it was first reached from, so a trace is the shortest one.
  std::vector<Key> states;
  std::vector<uint32_t> parent;
  std::vector<uint16_t> via;
  std::unordered_map<Key, uint32_t, KeyHash> index;
  const Key start = encode(startState());
  states.push_back(start);
  parent.push_back(0);
  via.push_back(0);
  index.emplace(start, 0);

  ExplorerResult result;
  result.inputsPerState = inputs.size();
  std::map<std::string, bool> ruleSeen;
  std::vector<std::vector<Input>> violationInputs;
  std::vector<Broken> broken;
  for (std::size_t at = 0; at < states.size(); ++at) {
    const State from = decode(states[at]);
    for (std::size_t i = 0; i < inputs.size(); ++i) {
      State to;
      broken.clear();
      stepper.step(from, inputs[i], to, broken);
      ++result.transitions;
      for (const Broken& rule : broken) {
        if (ruleSeen[rule.rule]) {
          continue;
        }
        ruleSeen[rule.rule] = true;
        std::vector<Input> trace{inputs[i]};
        for (std::size_t s = at; s != 0; s = parent[s]) {
          trace.push_back(inputs[via[s]]);
        }
        std::reverse(trace.begin(), trace.end());
        result.violations.push_back({rule.rule, rule.detail, {}});
        violationInputs.push_back(std::move(trace));
      }
      Key key = encode(to);
      if (index.find(key) == index.end()) {
        if (states.size() >= config.maxStates) {
          result.complete = false;
          continue;
        }
        index.emplace(key, static_cast<uint32_t>(states.size()));
        states.push_back(std::move(key));
        parent.push_back(static_cast<uint32_t>(at));
        via.push_back(static_cast<uint16_t>(i));
      }
    }
  }
  result.states = states.size();
  for (std::size_t v = 0; v < result.violations.size(); ++v) {
    result.violations[v].trace = replay(config, violationInputs[v]);
  }
  result.seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  return result;
}

std::string describeResult(const ExplorerConfig& config, const ExplorerResult& result) {
  char line[256];
  std::snprintf(line, sizeof line, "%-28s %9llu states %11llu transitions %4zu inputs %7.2f s%s",
                config.name.c_str(), static_cast<unsigned long long>(result.states),
                static_cast<unsigned long long>(result.transitions), result.inputsPerState,
                result.seconds, result.complete ? "" : " (incomplete: state limit)");
  std::string text = line;
  text += "\n";
  for (const Violation& violation : result.violations) {
    text += "  VIOLATED: " + violation.rule;
    if (!violation.detail.empty()) {
      text += " (" + violation.detail + ")";
    }
    text += "\n";
    for (const std::string& pass : violation.trace) {
      text += "    " + pass + "\n";
    }
  }
  return text;
}
