// Calls out an air conditioner that runs without cooling (a lost
// refrigerant charge, a failed compressor behind a working contactor): when
// a unit has run alone since it started, for a while, and the inside
// temperature has not once fallen by a set amount below its value at the
// start. An alarm only: control is unchanged. It lasts until the unit stops
// or the room cools by that amount. The clock is passed in; main thread only.
#ifndef FRIGEL_NOCOOLINGWATCH_H
#define FRIGEL_NOCOOLINGWATCH_H

#include <cstdint>

#include <cQlog.h>

class NoCoolingWatch {
 public:
  // `aloneFor`: how long a unit runs alone before it is judged, in clock
  // units (0 or less: never); `kelvin`: the fall it must have made. `log`
  // (may be null) gets one line when an alarm starts and one when it ends.
  NoCoolingWatch(int64_t aloneFor, float kelvin, cQlog* log);

  // Once a pass: which units run (as the server confirmed), and the inside
  // temperature (NaN when there is no plausible one: nothing is judged).
  void update(const bool running[2], float insideCelsius, int64_t now);
  // Unit 1 or 2 runs without cooling.
  bool alarm(int unit) const { return (unit == 1 || unit == 2) && mUnits[unit - 1].alarm; }

 private:
  struct Unit {
    bool timing = false;  // running alone since `aloneSince`...
    bool shared = false;  // the other unit ran beside it since it started
    bool cooled = false;  // the room fell by the set amount during this run
    int64_t aloneSince = 0;
    float insideAtStart = 0.0f;  // ...with this inside temperature then
    bool alarm = false;
  };

  const int64_t mAloneFor;
  const float mKelvin;
  cQlog* mLog;
  Unit mUnits[2];
};

#endif
