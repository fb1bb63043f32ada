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
    const bool alone = running[index] && !running[1 - index];
    // The clock of a run alone starts with a known inside temperature; a
    // second unit, or a stop, ends it.
    if (!alone) {
      unit.timing = false;
    } else if (!unit.timing && known) {
      unit.timing = true;
      unit.aloneSince = now;
      unit.insideAtStart = insideCelsius;
    }
    // Against the temperature when the unit last started running alone,
    // whoever cooled the room since.
    const bool cooled = known && insideCelsius <= unit.insideAtStart - mKelvin;
    if (unit.alarm && (!running[index] || cooled)) {
      unit.alarm = false;
      if (mLog != nullptr) {
        mLog->info("aircon %d: %s", index + 1, running[index] ? "cools again" : "stopped");
      }
    } else if (!unit.alarm && unit.timing && known && !cooled &&
               now - unit.aloneSince >= mAloneFor) {
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
