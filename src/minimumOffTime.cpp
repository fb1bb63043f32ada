#include "minimumOffTime.h"

MinimumOffTime::Decision MinimumOffTime::request(bool on, bool sentOn, int64_t now) {
  if (!on) {
    const bool tookBackAStart = mHeld;
    mHeld = false;
    if (sentOn) {
      mResting = true;
      mOffAt = now;
      return Decision::Send;
    }
    return tookBackAStart ? Decision::Dropped : Decision::AlreadyThere;
  }
  if (sentOn) {
    return Decision::AlreadyThere;
  }
  if (mHeld || restLeft(now) != 0) {
    mHeld = true;
    return Decision::Held;
  }
  return Decision::Send;
}

bool MinimumOffTime::releaseDue(int64_t now) {
  if (!mHeld || restLeft(now) != 0) {
    return false;
  }
  mHeld = false;
  return true;
}

int64_t MinimumOffTime::restLeft(int64_t now) const {
  if (!mResting || mMinimumOff == 0) {
    return 0;
  }
  // Elapsed time is measured one way only, so a clock that wraps or a rest
  // that began long ago still compares right.
  const uint64_t rested = static_cast<uint64_t>(now) - static_cast<uint64_t>(mOffAt);
  const uint64_t minimum = static_cast<uint64_t>(mMinimumOff);
  return rested >= minimum ? 0 : static_cast<int64_t>(minimum - rested);
}
