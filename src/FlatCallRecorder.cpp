#include "FlatCallRecorder.h"

#include <cstdio>

#include "Globals.h"
#include "iostub.h"

FlatCallRecorder recorder;

namespace {

// Passes since the output was switched off, or -1 when it never was.
int64_t restSoFar(int unit) {
  const AirconOutputs::Unit& u = recorder.outputs.memory().units[unit - 1];
  return u.resting ? recorder.now - u.offAt : -1;
}

void line(const std::string& text) {
  if (recorder.lines != nullptr) {
    recorder.lines->push_back(text);
  }
}

std::string unitLine(int unit, const char* what) {
  return "ac" + std::to_string(unit) + " " + what;
}

void note(const FlatCallRecorder::Switch& event) {
  if (recorder.switchCount < FlatCallRecorder::kMaxSwitches) {
    recorder.switches[recorder.switchCount++] = event;
  }
}

}  // namespace

void FlatCallRecorder::startPass(int64_t passClock) {
  now = passClock;
  switchCount = 0;
  fanWrites = 0;
  fanWritten = 0.0f;
}

void FlatCallRecorder::resetOutputs() {
  AirconOutputs::Memory memory;
  for (AirconOutputs::Unit& unit : memory.units) {
    unit.present = true;
    unit.confirmed = AirconOutputs::Confirmed::Off;
  }
  outputs.restore(memory);
  attached = true;
}

void FlatCallRecorder::markOn(int unit) {
  AirconOutputs::Memory memory = outputs.memory();
  if (unit == 1 || unit == 2) {
    memory.units[unit - 1].decidedOn = true;
    memory.units[unit - 1].confirmed = AirconOutputs::Confirmed::On;
    memory.units[unit - 1].resting = false;
  }
  outputs.restore(memory);
}

void FlatCallRecorder::reconcile() {
  if (!attached) {
    return;
  }
  outputs.reconcile(now, [](int unit, bool on) {
    note({unit, on, true, true, true, on ? restSoFar(unit) : -1});
    line(unitLine(unit, on ? "on" : "off"));
    return true;
  });
}

// As the real call: the record of unit 1 or 2 takes a state of 0 or 1,
// then the bridge switches the output, unless the hold keeps a start back.
void switchAircon(uint8_t ac_num, uint8_t state, uint8_t /*dunno*/) {
  const bool recordWasOn = (ac_num == 1 ? aircon1 : ac_num == 2 ? aircon2 : 0) == 1;
  if (state == 0 || state == 1) {
    if (ac_num == 1) {
      aircon1 = state;
    } else if (ac_num == 2) {
      aircon2 = state;
    }
  }
  if (ac_num != 1 && ac_num != 2) {
    line(unitLine(ac_num, "absent"));
    return;
  }
  if (!recorder.attached) {
    line(unitLine(ac_num, "absent"));
    return;
  }
  if (state != 0 && state != 1) {
    return;  // the bridge refuses it with a line of its own; the controller never asks it
  }
  const int64_t rest = restSoFar(ac_num);
  recorder.outputs.decide(ac_num, state == 1);
  const AirconOutputs::Send what = recorder.outputs.due(ac_num, recorder.now);
  const bool sent = what != AirconOutputs::Send::Nothing;
  const bool held =
      !sent && recorder.outputs.startHold(ac_num, recorder.now) != AirconOutputs::Hold::None;
  if (sent) {
    recorder.outputs.sent(ac_num, what, true, recorder.now);
    line(unitLine(ac_num, state == 1 ? "on" : "off"));
  } else if (held) {
    line(unitLine(ac_num, "held"));
  } else {
    line(unitLine(ac_num, "refused"));
  }
  note({ac_num, state == 1, recordWasOn, sent, false, rest, held});
}

// As the real call, which sends fanSpeedPercent whatever it is given.
void setFan(float /*speed*/) {
  if (!recorder.attached) {
    return;
  }
  ++recorder.fanWrites;
  recorder.fanWritten = fanSpeedPercent;
  if (recorder.lines != nullptr) {
    char text[64];
    std::snprintf(text, sizeof text, "fan %g", static_cast<double>(fanSpeedPercent));
    recorder.lines->push_back(text);
  }
}
