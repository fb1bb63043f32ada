// The keys of the properties file that the daemon itself reads, with their
// defaults. Every other key belongs to the logging library.
#ifndef FRIGEL_DAEMONKEYS_H
#define FRIGEL_DAEMONKEYS_H

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

// The minimum off time or stagger that `text` (the key's value, or null
// when absent) sets, in seconds: a finite decimal number, with blanks
// allowed around it (a value keeps the blanks and carriage return of its
// line), at most kLongestAirconHoldSeconds. 0 when the hold is off: absent,
// not a number, 0 or negative. `notANumber`, when not null, is set to
// whether the text was present but not a number; `capped` to whether a
// longer value was cut to the longest.
double airconHoldSeconds(const char* text, bool* notANumber = nullptr, bool* capped = nullptr);

#endif
