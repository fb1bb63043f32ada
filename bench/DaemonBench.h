// One run of the real daemon against the test kit's loopback server on the
// daemon test site: its pass lengths and CPU use, the latency from a probe
// change to the air conditioner's set, its absorption of trend-event
// bursts, and its memory.
#ifndef FRIGEL_BENCH_DAEMONBENCH_H
#define FRIGEL_BENCH_DAEMONBENCH_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "BareLoops.h"
#include "LoopbackServer.h"
#include "Stats.h"

// The benchmark's site: the daemon test site's settings (one air
// conditioner on "ac-1", the fan on "fan", probes "t-int" and "t-ext", no
// free air, no rotation) with minimum run times of one pass, so that every
// probe change across a threshold switches the air conditioner within two
// passes. Probe values that switch it on and off, and values in between
// that switch nothing (degrees Celsius):
constexpr float kSwitchOnTemperature = 31.0f;   // at or above aircon1PullIn
constexpr float kSwitchOffTemperature = 20.0f;  // below aircon1DropOut
constexpr float kQuietTemperatureLow = 21.0f;
constexpr float kQuietTemperatureHigh = 21.5f;

// Writes the site's settings and constants files under `etcDir`. False
// when a file cannot be written.
bool writeBenchSite(const std::string& etcDir);
// The server back to the site's initial values: probes 20 and 15 degrees,
// outputs clear.
void resetBenchSite(LoopbackServer& server);

// For a bare loop run alongside the daemon: use the daemon's timer slack.
constexpr long kDaemonTimerSlack = -2;

struct DaemonRunOptions {
  std::string name;                // for the log file: frigel-NAME.log
  int passPeriodMicroseconds = 0;  // 0: the literal loop
  int warmUpPasses = 50;
  int measuredPasses = 0;
  int probeChanges = 0;  // latency samples (0: none)
  int trendBursts = 0;   // 0: no burst test
  int eventsPerBurst = 0;
  // A bare deadline loop run in a child process during the measured passes,
  // its deadlines half a period away from the daemon's wake-ups, so that
  // both see the same load without meeting. Its phase anchor is set here.
  std::optional<BareLoopOptions> bareAlongside;
};

// Pass lengths and CPU use over one or more measured windows.
struct PassFigures {
  std::vector<int64_t> passNs;  // from the fan sets' arrival times
  int64_t cpuNs = 0;            // the whole daemon, over the CPU samples
  int64_t wallNs = 0;
  int64_t mainThreadNs = 0;
  int64_t otherThreadsNs = 0;
  std::size_t passesSampled = 0;  // passes between the CPU samples
  long contextSwitches = 0;       // every thread's, between the CPU samples

  void append(const PassFigures& more);
  Summary passUs() const;
  double meanPassUs() const;  // NaN without passes
  double cpuSecondsPerSecond() const;
  double cpuPerPassUs() const;
  double mainThreadCpuPerPassUs() const;
  double otherThreadsCpuPerPassUs() const;
  double contextSwitchesPerPass() const;  // NaN without passes
};

struct LatencyFigures {
  int changes = 0;
  int missed = 0;                      // changes whose set never came (time-out)
  Summary latencyMs;                   // push of the trend event to the set's arrival
  Summary passes;                      // pass ends after the push, the switching one included
  std::map<int, int> changesByPasses;  // how many changes took each number of passes
  double p99InMeanPasses = 0;          // p99 latency / mean pass length
};

struct TrendFigures {
  int bursts = 0;
  int switched = 0;                     // bursts whose last value switched
  std::vector<double> eventsPerSecond;  // one per burst that switched
  long residentBeforeKib = -1;
  long residentAfterFirstKib = -1;
  long residentAfterKib = -1;
  long residentPeakKib = -1;  // VmHWM at the end
};

struct DaemonFigures {
  std::string name;
  int passPeriodMicroseconds = 0;
  int runs = 0;         // daemon processes whose passes are in `passes`
  std::string failure;  // empty when every run went through
  std::string logPath;  // of the last run
  long residentAtRestKib = -1;
  long timerSlackNs = -1;  // the daemon's, from /proc/PID/timerslack_ns
  PassFigures passes;
  LatencyFigures latency;
  std::optional<TrendFigures> trends;
  std::optional<BareLoopResult> bareAlongside;
  int exitStatus = -1;

  bool ran() const { return failure.empty() && !passes.passNs.empty(); }
  // Adds the passes of another run of the same pacing (later rounds).
  void appendRound(const DaemonFigures& round);
};

// Runs the daemon at `frigelPath` with its configuration in `etcDir`
// against `server` (already started, serving the site). `selfPath` starts
// a bare loop alongside, when the options ask for one.
DaemonFigures runDaemon(const std::string& frigelPath, const std::string& etcDir,
                        const std::string& selfPath, LoopbackServer& server,
                        const DaemonRunOptions& options);

#endif
