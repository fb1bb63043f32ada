// The keys of the properties file that the daemon itself reads, with their
// defaults, and the one table of them that the daemon and the checker read.
// Every other key belongs to the logging library.
#ifndef FRIGEL_DAEMONKEYS_H
#define FRIGEL_DAEMONKEYS_H

#include <string>
#include <vector>

// Seconds between re-polls of the probes (which also re-send every output's
// state); 0 or less turns the re-poll off.
constexpr const char* kSyncTimeKey = "SyncTime";
constexpr int kDefaultSyncTimeSeconds = 300;

// Microseconds a pass lasts with exact pacing; 0 (the default) keeps the
// literal loop of 100 short sleeps.
constexpr const char* kPassPeriodKey = "PassPeriodMicroseconds";
constexpr int kDefaultPassPeriodMicroseconds = 0;
// The shortest period of exact pacing; a shorter one is raised to it.
constexpr int kMinimumPassPeriodMicroseconds = 1000;

// Seconds without a new value after which a probe is reported stale; 0 or
// less turns the check off.
constexpr const char* kProbeStaleKey = "ProbeStaleSeconds";
constexpr int kDefaultProbeStaleSeconds = 900;

// Seconds an air conditioner's output must rest after it was switched off
// before it may be switched on again: a decimal number, fractions allowed.
// Absent, 0, negative or not a number: no minimum off time. Read with
// airconHoldSeconds().
constexpr const char* kAirconMinimumOffKey = "AirconMinimumOffSeconds";
// Seconds that must pass between the starts of the two air conditioners,
// so their inrush currents never add up; read like the minimum off time.
// Absent or 0: starts may coincide.
constexpr const char* kAirconStartStaggerKey = "AirconStartStaggerSeconds";
// The longest minimum off time or stagger: a longer one is taken as this.
constexpr double kLongestAirconHoldSeconds = 86400.0;

// The path of the metrics file for node_exporter's textfile collector (a
// name ending in .prom in the collector's folder). Absent or empty: no
// metrics.
constexpr const char* kMetricsTextfileKey = "MetricsTextfile";

// The range a probe's value must lie in, in degrees Celsius: a value
// outside it (a broken wire, a failed converter) or not a number never
// reaches the controller.
constexpr const char* kProbeMinimumKey = "ProbeMinimumCelsius";
constexpr double kDefaultProbeMinimumCelsius = -40.0;
constexpr const char* kProbeMaximumKey = "ProbeMaximumCelsius";
constexpr double kDefaultProbeMaximumCelsius = 85.0;

// What the controller is given while a probe is lost (no new plausible
// value for ProbeStaleSeconds): "hold" (absent: the last value stays) or
// "cool" (see ProbeLostInternalCelsius; the outside probe keeps free air out).
constexpr const char* kProbeLostActionKey = "ProbeLostAction";
// With "cool", the inside temperature the controller is given while the
// internal probe is lost; absent: aircon1PullIn, which runs one unit.
constexpr const char* kProbeLostInternalKey = "ProbeLostInternalCelsius";

// A unit that has run alone for this many minutes without the inside
// temperature falling by at least AirconNoCoolingKelvin from its start is
// called out (an alarm only). 0 or less: no check.
constexpr const char* kAirconNoCoolingMinutesKey = "AirconNoCoolingMinutes";
constexpr double kDefaultAirconNoCoolingMinutes = 15.0;
constexpr const char* kAirconNoCoolingKelvinKey = "AirconNoCoolingKelvin";
constexpr double kDefaultAirconNoCoolingKelvin = 0.3;

// A key the daemon reads: how, its default and unit, for the daemon's
// readers and the configuration checker alike.
struct DaemonKey {
  enum Reading {
    WholeNumber,  // getInt: strtol, brought to the range of int
    Decimal,      // decimalProperty(): a finite decimal, the default when absent
    HoldSeconds,  // airconHoldSeconds(): a decimal, 0 when off, at most a day
    Choice,       // one of the words of `choices` (the first is the default)
    Path,         // getString: a file name, empty when off
  };
  const char* name;
  Reading reading;
  double defaultValue;  // used when the key is absent; NaN: derived (see the key)
  const char* unit;     // "s", "us", "degC", "K", "min"; "" for none
  const char* atZero;   // what 0 (or less) does, for a listing; "" when 0 is a
                        // value; with a NaN default: what the daemon takes instead
  std::vector<std::string> choices = {};  // Choice only
};

// Every key the daemon reads, in the order a listing shows them.
const std::vector<DaemonKey>& daemonKeys();
// The key of that exact name, or null.
const DaemonKey* daemonKeyNamed(const std::string& name);

// The minimum off time or stagger that `text` (the key's value, or null
// when absent) sets, in seconds: a finite decimal number, with blanks
// allowed around it (a value keeps the blanks and carriage return of its
// line), at most kLongestAirconHoldSeconds. 0 when the hold is off: absent,
// not a number, 0 or negative. `notANumber`, when not null, is set to
// whether the text was present but not a number; `capped` to whether a
// longer value was cut to the longest.
double airconHoldSeconds(const char* text, bool* notANumber = nullptr, bool* capped = nullptr);

// A decimal property: `text` (null when absent) as a finite number, blanks
// allowed around it; `defaultValue` when absent or not a number (then
// `notANumber`, when not null, is set).
double decimalProperty(const char* text, double defaultValue, bool* notANumber = nullptr);

// What the controller is given while a probe is lost.
enum class ProbeLostAction { Hold, Cool };
// ProbeLostAction's value; Hold when absent or unknown (then `unknown`,
// when not null, is set).
ProbeLostAction probeLostAction(const char* text, bool* unknown = nullptr);

#endif
