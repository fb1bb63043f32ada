// The minimum off time of one air conditioner's output, as an
// anti-short-cycle relay keeps it: a start asked for less than the minimum
// off time after the output was switched off is held, and goes out as soon
// as that time has passed; a held start that is taken back before then never
// goes out. The clock is passed in, in any unit (nanoseconds of the
// monotonic clock in the daemon, passes in the tests), so the logic runs
// without waiting and without a clock of its own.
#ifndef FRIGEL_MINIMUMOFFTIME_H
#define FRIGEL_MINIMUMOFFTIME_H

#include <cstdint>

class MinimumOffTime {
 public:
  // What becomes of a request to switch the output.
  enum class Decision {
    Send,          // send it now
    AlreadyThere,  // the output is in that state already: nothing to send
    Held,          // a start that must wait: releaseDue() says when it may go
    Dropped,       // a stop that took back a held start: nothing to send
  };

  // `minimumOff` in clock units; 0 or less: no hold, every start goes out.
  explicit MinimumOffTime(int64_t minimumOff = 0) { setMinimumOff(minimumOff); }

  void setMinimumOff(int64_t minimumOff) { mMinimumOff = minimumOff > 0 ? minimumOff : 0; }
  int64_t minimumOff() const { return mMinimumOff; }

  // The output is asked to go on (true) or off at `now`; `sentOn` is its
  // state as last sent. A stop that is sent starts the output's rest.
  Decision request(bool on, bool sentOn, int64_t now);
  // True once, at the first `now` at which a held start may go out; it then
  // counts as sent.
  bool releaseDue(int64_t now);

  bool startHeld() const { return mHeld; }
  // What is left of the rest at `now`; 0 when a start may go out.
  int64_t restLeft(int64_t now) const;

  // What the hold remembers besides its minimum, for tools that save and
  // restore it (the state explorer).
  struct Memory {
    bool resting = false;  // the output was switched off since the start...
    int64_t offAt = 0;     // ...at this time
    bool held = false;     // a start waits
  };
  Memory memory() const { return Memory{mResting, mOffAt, mHeld}; }
  void restore(const Memory& memory) {
    mResting = memory.resting;
    mOffAt = memory.offAt;
    mHeld = memory.held;
  }

 private:
  int64_t mMinimumOff = 0;
  // An output not switched off since the daemon started has no rest to keep.
  bool mResting = false;
  int64_t mOffAt = 0;
  bool mHeld = false;
};

#endif
