#include "daemonKeys.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// A finite decimal number with blanks allowed around it (a value keeps the
// blanks and carriage return of its line); false for anything else, "inf"
// and "nan" included.
bool readFiniteDecimal(const char* text, double& value) {
  char* end = nullptr;
  value = std::strtod(text, &end);
  while (end != text && std::isspace(static_cast<unsigned char>(*end))) {
    ++end;
  }
  return end != text && *end == '\0' && std::isfinite(value);
}

// The word of `text` without the blanks around it.
std::string trimmedWord(const char* text) {
  std::string word = text;
  const std::size_t first = word.find_first_not_of(" \t\r");
  const std::size_t last = word.find_last_not_of(" \t\r");
  return first == std::string::npos ? "" : word.substr(first, last - first + 1);
}

}  // namespace

const std::vector<DaemonKey>& daemonKeys() {
  static const std::vector<DaemonKey> keys = {
      {kSyncTimeKey, DaemonKey::WholeNumber, kDefaultSyncTimeSeconds, "s", "re-poll off"},
      {kPassPeriodKey, DaemonKey::WholeNumber, kDefaultPassPeriodMicroseconds, "us", ""},
      {kProbeStaleKey, DaemonKey::WholeNumber, kDefaultProbeStaleSeconds, "s",
       "stale-probe check off"},
      {kProbeMinimumKey, DaemonKey::Decimal, kDefaultProbeMinimumCelsius, "degC", ""},
      {kProbeMaximumKey, DaemonKey::Decimal, kDefaultProbeMaximumCelsius, "degC", ""},
      {kProbeLostActionKey, DaemonKey::Choice, 0, "", "", {"hold", "cool"}},
      {kProbeLostInternalKey, DaemonKey::Decimal, NAN, "degC", "aircon1PullIn"},
      {kAirconMinimumOffKey, DaemonKey::HoldSeconds, 0, "s", "no minimum off time"},
      {kAirconStartStaggerKey, DaemonKey::HoldSeconds, 0, "s", "starts may coincide"},
      {kAirconNoCoolingMinutesKey, DaemonKey::Decimal, kDefaultAirconNoCoolingMinutes, "min",
       "no check"},
      {kAirconNoCoolingKelvinKey, DaemonKey::Decimal, kDefaultAirconNoCoolingKelvin, "K", ""},
      {kMetricsTextfileKey, DaemonKey::Path, 0, "", ""},
  };
  return keys;
}

const DaemonKey* daemonKeyNamed(const std::string& name) {
  for (const DaemonKey& key : daemonKeys()) {
    if (name == key.name) {
      return &key;
    }
  }
  return nullptr;
}

double decimalProperty(const char* text, double defaultValue, bool* notANumber) {
  if (notANumber != nullptr) {
    *notANumber = false;
  }
  double value = 0.0;
  if (text == nullptr) {
    return defaultValue;
  }
  if (!readFiniteDecimal(text, value)) {
    if (notANumber != nullptr) {
      *notANumber = true;
    }
    return defaultValue;
  }
  return value;
}

ProbeLostAction probeLostAction(const char* text, bool* unknown) {
  if (unknown != nullptr) {
    *unknown = false;
  }
  if (text == nullptr) {
    return ProbeLostAction::Hold;
  }
  const std::string word = trimmedWord(text);
  if (word == "cool") {
    return ProbeLostAction::Cool;
  }
  if (word != "hold" && unknown != nullptr) {
    *unknown = true;
  }
  return ProbeLostAction::Hold;
}

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
  double seconds = 0.0;
  // strtod also takes "inf" and "nan": a hold that never ends would keep a
  // unit off for good, so only a finite number counts.
  if (!readFiniteDecimal(text, seconds)) {
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
