#include "airconOutputs.h"

#include <algorithm>

namespace {

// What is left of `period` at `now` after `since`. Elapsed time is measured
// one way only, so a clock that wraps, or a time long ago, still compares
// right.
int64_t leftOf(int64_t period, int64_t since, int64_t now) {
  if (period <= 0) {
    return 0;
  }
  const uint64_t elapsed = static_cast<uint64_t>(now) - static_cast<uint64_t>(since);
  const uint64_t whole = static_cast<uint64_t>(period);
  return elapsed >= whole ? 0 : static_cast<int64_t>(whole - elapsed);
}

}  // namespace

void AirconOutputs::setTiming(const Timing& timing) {
  mTiming.minimumOff = std::max<int64_t>(timing.minimumOff, 0);
  mTiming.startStagger = std::max<int64_t>(timing.startStagger, 0);
}

bool AirconOutputs::decide(int unit, bool on) {
  if (!valid(unit)) {
    return false;
  }
  Unit& u = at(unit);
  if (u.decidedOn == on) {
    return false;
  }
  // A start that had not gone out yet is taken back: it never will.
  const bool tookBackAStart = !on && u.present && u.confirmed == Confirmed::Off;
  u.decidedOn = on;
  if (on) {
    u.decisionOrder = ++mDecisions;
  }
  return tookBackAStart;
}

void AirconOutputs::found(int unit, Confirmed state, int64_t now) {
  if (!valid(unit)) {
    return;
  }
  Unit& u = at(unit);
  u.present = true;
  u.confirmed = state;
  u.resting = state != Confirmed::On;
  u.offAt = now;
  u.started = false;
  ++mChanges;
}

void AirconOutputs::notFound(int unit) {
  if (valid(unit)) {
    at(unit).present = false;
  }
}

void AirconOutputs::restingSince(int unit, int64_t offAt) {
  if (!valid(unit) || !at(unit).resting) {
    return;
  }
  Unit& u = at(unit);
  // Only ever earlier than what was assumed: the record cannot lengthen a
  // rest, and a time after the assumed start is not a rest already taken.
  if (static_cast<int64_t>(static_cast<uint64_t>(u.offAt) - static_cast<uint64_t>(offAt)) > 0) {
    u.offAt = offAt;
    ++mChanges;
  }
}

void AirconOutputs::lost(int64_t now) {
  for (Unit& u : mUnits) {
    if (u.confirmed == Confirmed::On) {
      u.resting = true;
      u.offAt = now;
    }
    if (u.confirmed != Confirmed::Unknown) {
      u.confirmed = Confirmed::Unknown;
      ++mChanges;
    }
  }
}

AirconOutputs::Send AirconOutputs::due(int unit, int64_t now) const {
  if (!valid(unit)) {
    return Send::Nothing;
  }
  const Unit& u = at(unit);
  if (!u.present) {
    return Send::Nothing;
  }
  if (!u.decidedOn) {
    return u.confirmed == Confirmed::Off ? Send::Nothing : Send::Stop;
  }
  if (u.confirmed == Confirmed::On || startHold(unit, now) != Hold::None) {
    return Send::Nothing;
  }
  return Send::Start;
}

void AirconOutputs::sent(int unit, Send what, bool accepted, int64_t now) {
  if (!valid(unit) || what == Send::Nothing || !accepted) {
    return;
  }
  Unit& u = at(unit);
  if (what == Send::Start) {
    u.confirmed = Confirmed::On;
    u.resting = false;
    u.started = true;
    u.startedAt = now;
  } else {
    // An output that may have been running rests from now; one that was
    // resting already keeps its rest.
    if (!u.resting) {
      u.resting = true;
      u.offAt = now;
    }
    u.confirmed = Confirmed::Off;
  }
  ++mChanges;
}

bool AirconOutputs::decidedOn(int unit) const {
  return valid(unit) && at(unit).decidedOn;
}

AirconOutputs::Confirmed AirconOutputs::confirmed(int unit) const {
  return valid(unit) ? at(unit).confirmed : Confirmed::Unknown;
}

int64_t AirconOutputs::restLeft(int unit, int64_t now) const {
  if (!valid(unit) || !at(unit).resting) {
    return 0;
  }
  return leftOf(mTiming.minimumOff, at(unit).offAt, now);
}

int64_t AirconOutputs::staggerLeft(int unit, int64_t now) const {
  const Unit& other = at(unit == 1 ? 2 : 1);
  if (!other.started) {
    return 0;
  }
  return leftOf(mTiming.startStagger, other.startedAt, now);
}

AirconOutputs::Hold AirconOutputs::startHold(int unit, int64_t now) const {
  if (!valid(unit) || !at(unit).decidedOn || at(unit).confirmed == Confirmed::On) {
    return Hold::None;
  }
  if (restLeft(unit, now) > 0) {
    return Hold::MinimumOff;
  }
  return staggerLeft(unit, now) > 0 ? Hold::Stagger : Hold::None;
}

int64_t AirconOutputs::holdLeft(int unit, int64_t now) const {
  if (startHold(unit, now) == Hold::None) {
    return 0;
  }
  return std::max(restLeft(unit, now), staggerLeft(unit, now));
}

void AirconOutputs::restore(const Memory& memory) {
  mUnits[0] = memory.units[0];
  mUnits[1] = memory.units[1];
  mDecisions = memory.decisions;
  mChanges = memory.changes;
}
