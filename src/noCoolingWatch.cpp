#include "noCoolingWatch.h"

#include <cmath>

NoCoolingWatch::NoCoolingWatch(int64_t aloneFor, float kelvin, cQlog* log)
    : mAloneFor(aloneFor), mKelvin(kelvin), mLog(log) {}

void NoCoolingWatch::update(const bool running[2], float insideCelsius, int64_t now) {
  if (mAloneFor <= 0) {
    return;
  }
  const bool known = !std::isnan(insideCelsius);
  for (int index = 0; index < 2; ++index) {
    Unit& unit = mUnits[index];
    // A run is judged when the unit has run alone since it started: once
    // the other unit has run beside it, the room's course tells nothing of
    // this one, until it stops and starts again.
    if (!running[index]) {
      unit.timing = false;
      unit.shared = false;
    } else if (running[1 - index]) {
      unit.timing = false;
      unit.shared = true;
    } else if (!unit.timing && !unit.shared && known) {
      unit.timing = true;
      unit.cooled = false;
      unit.aloneSince = now;
      unit.insideAtStart = insideCelsius;
    }
    // A run that has brought the room down by the set amount, once, has
    // shown that the unit cools: a room that warms again later (a hotter
    // hour, a probe's last digit) says nothing against it.
    const bool coolerNow = known && insideCelsius <= unit.insideAtStart - mKelvin;
    unit.cooled = unit.cooled || (unit.timing && coolerNow);
    if (unit.alarm && (!running[index] || coolerNow)) {
      unit.alarm = false;
      if (mLog != nullptr) {
        mLog->info("aircon %d: %s", index + 1, running[index] ? "cools again" : "stopped");
      }
    } else if (!unit.alarm && unit.timing && !unit.cooled && now - unit.aloneSince >= mAloneFor) {
      unit.alarm = true;
      if (mLog != nullptr) {
        mLog->warn("aircon %d runs without cooling", index + 1);
        mLog->info("aircon %d: inside %.1f degC, %.1f degC when it started running alone",
                   index + 1, static_cast<double>(insideCelsius),
                   static_cast<double>(unit.insideAtStart));
      }
    }
  }
}
