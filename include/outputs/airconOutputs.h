// What the bridge knows of each air conditioner's output, and what it must
// send to bring the output in line with the controller's decision.
//
// Per unit it keeps three things apart: the controller's decision, the state
// last confirmed at the object server (found at set-up, or after a send that
// went out), and the unit's rest since it was last switched off. In each
// reconciliation an output whose confirmed state differs from the decision
// is sent: a stop at once, a start only once the unit has rested its minimum
// off time and the other unit did not start within the start stagger, as an
// anti-short-cycle relay would have it. A send that does not go out leaves
// the output unconfirmed, so it is tried again in the next reconciliation.
//
// The clock is passed in, in any unit (nanoseconds of the monotonic clock in
// the daemon, passes in the tests and the replay), so the logic runs without
// waiting and without a clock of its own. Units are numbered 1 and 2; any
// other number is ignored.
#ifndef FRIGEL_AIRCONOUTPUTS_H
#define FRIGEL_AIRCONOUTPUTS_H

#include <cstdint>

class AirconOutputs {
 public:
  static constexpr int kUnits = 2;

  // The state of an output at the object server as far as the bridge knows.
  enum class Confirmed : uint8_t {
    Unknown,  // never read, or the server may have lost it (a restart)
    Off,
    On,
  };
  // What reconciliation sends to an output.
  enum class Send : uint8_t { Nothing, Start, Stop };
  // Why a decided start waits.
  enum class Hold : uint8_t {
    None,
    MinimumOff,  // the unit has not rested its minimum off time
    Stagger,     // the other unit started less than the stagger ago
  };

  // In clock units; 0 or less: no minimum off time, no stagger.
  struct Timing {
    int64_t minimumOff = 0;
    int64_t startStagger = 0;
  };

  void setTiming(const Timing& timing);
  const Timing& timing() const { return mTiming; }

  // The controller decides the unit on or off. True when this took back a
  // start that was held and so never went out.
  bool decide(int unit, bool on);

  // The output's state as read from the server at `now` (set-up); from then
  // on the output is driven. An output found off, or in no known state,
  // rests its whole minimum off time from `now`: nothing tells when it was
  // last switched off.
  void found(int unit, Confirmed state, int64_t now);
  // Set-up found no output for the unit: it is not driven.
  void notFound(int unit);
  // The rest of an output found off began at `offAt`, which a record kept
  // across a restart of the daemon tells. Only ever shortens what found()
  // assumed; ignored for an output that is not resting.
  void restingSince(int unit, int64_t offAt);
  // The server may have lost every output (it restarted and holds them
  // clear). An output confirmed on is unknown from `now` and rests from
  // `now`; one confirmed off is unknown and keeps its rest.
  void lost(int64_t now);

  // What must be sent to `unit` at `now` to bring it in line with the
  // decision; Nothing when it is in line or its start is held.
  Send due(int unit, int64_t now) const;
  // The send that due() asked for went out (`accepted`) or was refused. A
  // refused send changes nothing: the output stays as confirmed before.
  void sent(int unit, Send what, bool accepted, int64_t now);

  // Calls `send(unit, on)` for every output out of line whose send is due,
  // the unit whose start was decided first going first (an emergency
  // decides unit 2 before unit 1); `send` returns whether it went out.
  template <typename SendFunction>
  void reconcile(int64_t now, SendFunction&& send);

  bool decidedOn(int unit) const;
  Confirmed confirmed(int unit) const;
  bool confirmedOn(int unit) const { return confirmed(unit) == Confirmed::On; }
  // Why a decided start of `unit` waits at `now`; None when nothing waits.
  Hold startHold(int unit, int64_t now) const;
  // What is left of the unit's minimum off time at `now`; 0 when rested.
  int64_t restLeft(int unit, int64_t now) const;
  // How long a decided start still waits at `now`, for either reason.
  int64_t holdLeft(int unit, int64_t now) const;
  // Counts every change of a confirmed state or of a rest: whoever keeps a
  // record of the outputs writes it again when this moves.
  uint64_t changes() const { return mChanges; }

  // Everything the outputs remember, for tools that save and restore it.
  struct Unit {
    bool present = false;  // found at set-up; an absent output is never sent
    bool decidedOn = false;
    Confirmed confirmed = Confirmed::Unknown;
    bool resting = false;        // a rest is running...
    int64_t offAt = 0;           // ...since this time
    bool started = false;        // the output was started by a send...
    int64_t startedAt = 0;       // ...at this time (for the stagger)
    uint64_t decisionOrder = 0;  // when the start was decided, in decisions
  };
  struct Memory {
    Unit units[kUnits];
    uint64_t decisions = 0;
    uint64_t changes = 0;
  };
  Memory memory() const { return Memory{{mUnits[0], mUnits[1]}, mDecisions, mChanges}; }
  void restore(const Memory& memory);

 private:
  static bool valid(int unit) { return unit == 1 || unit == 2; }
  Unit& at(int unit) { return mUnits[unit - 1]; }
  const Unit& at(int unit) const { return mUnits[unit - 1]; }
  int64_t staggerLeft(int unit, int64_t now) const;

  Timing mTiming;
  Unit mUnits[kUnits];
  uint64_t mDecisions = 0;
  uint64_t mChanges = 0;
};

template <typename SendFunction>
void AirconOutputs::reconcile(int64_t now, SendFunction&& send) {
  const bool unit2First = mUnits[1].decisionOrder < mUnits[0].decisionOrder;
  const int order[kUnits] = {unit2First ? 2 : 1, unit2First ? 1 : 2};
  for (int unit : order) {
    const Send what = due(unit, now);
    if (what != Send::Nothing) {
      sent(unit, what, send(unit, what == Send::Start), now);
    }
  }
}

#endif
