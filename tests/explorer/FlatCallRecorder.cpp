#include "FlatCallRecorder.h"

#include "Globals.h"
#include "iostub.h"

FlatCallRecorder recorder;

namespace {

// Passes since the output was switched off, or -1 when it never was.
int64_t restSoFar(const MinimumOffTime& hold, int64_t now) {
  const MinimumOffTime::Memory memory = hold.memory();
  return memory.resting ? now - memory.offAt : -1;
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

void FlatCallRecorder::releaseHeldStarts() {
  for (int unit = 1; unit <= 2; ++unit) {
    const int64_t rest = restSoFar(holds[unit - 1], now);
    if (holds[unit - 1].releaseDue(now)) {
      sentOn[unit - 1] = true;
      note({unit, true, true, true, true, rest});
    }
  }
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
  if ((ac_num != 1 && ac_num != 2) || (state != 0 && state != 1)) {
    return;  // no such unit, or no such state: the controller never asks it
  }
  const int index = ac_num - 1;
  const int64_t rest = restSoFar(recorder.holds[index], recorder.now);
  const bool sent = recorder.holds[index].request(state == 1, recorder.sentOn[index],
                                                  recorder.now) == MinimumOffTime::Decision::Send;
  if (sent) {
    recorder.sentOn[index] = state == 1;
  }
  note({ac_num, state == 1, recordWasOn, sent, false, rest});
}

// As the real call, which sends fanSpeedPercent whatever it is given.
void setFan(float /*speed*/) {
  ++recorder.fanWrites;
  recorder.fanWritten = fanSpeedPercent;
}
