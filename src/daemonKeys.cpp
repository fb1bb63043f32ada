#include "daemonKeys.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

double airconMinimumOffSeconds(const char* text, bool* notANumber) {
  if (notANumber != nullptr) {
    *notANumber = false;
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
  return seconds > 0.0 ? seconds : 0.0;
}
