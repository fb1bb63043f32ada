#include "daemonKeys.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

double airconHoldSeconds(const char* text, bool* notANumber, bool* capped) {
  if (notANumber != nullptr) {
    *notANumber = false;
  }
  if (capped != nullptr) {
    *capped = false;
  }
  if (text == nullptr) {
    return 0.0;
  }
  char* end = nullptr;
  const double seconds = std::strtod(text, &end);
  while (end != text && std::isspace(static_cast<unsigned char>(*end))) {
    ++end;
  }
  // strtod also takes "inf" and "nan": a hold that never ends would keep a
  // unit off for good, so only a finite number counts.
  if (end == text || *end != '\0' || !std::isfinite(seconds)) {
    if (notANumber != nullptr) {
      *notANumber = true;
    }
    return 0.0;
  }
  if (seconds > kLongestAirconHoldSeconds) {
    // Longer is no protection a compressor needs, and the value must stay
    // within the clock's range once it is counted in nanoseconds.
    if (capped != nullptr) {
      *capped = true;
    }
    return kLongestAirconHoldSeconds;
  }
  return seconds > 0.0 ? seconds : 0.0;
}
