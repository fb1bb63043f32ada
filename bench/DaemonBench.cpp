#include "DaemonBench.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <numeric>
#include <random>
#include <thread>

#include "ChildProcess.h"
#include "SiteConfig.h"
#include "TempDir.h"
#include "monotonicClock.h"

namespace {

constexpr int kConnectTimeoutMs = 15000;
constexpr int kStopTimeoutMs = 5000;
// A switch is two passes away; anything beyond this is a lost change.
constexpr int kSwitchTimeoutMs = 5000;
// The slowest pass allowed for when waiting for a number of passes.
constexpr int64_t kSlowestPassNs = 50 * kNanosecondsPerMillisecond;
// Passes to let go by after a burst before memory is read.
constexpr std::size_t kSettlePasses = 20;
// Fixed seed: the same phases in every run.
constexpr unsigned kPhaseSeed = 20240601;

int timeoutForPasses(std::size_t passes) {
  return static_cast<int>(static_cast<int64_t>(passes) * kSlowestPassNs /
                          kNanosecondsPerMillisecond) +
         10000;
}

double perPassUs(int64_t ns, std::size_t passes) {
  return passes == 0
             ? NAN
             : static_cast<double>(ns) / static_cast<double>(passes) / kNanosecondsPerMicrosecond;
}

long readTimerSlackNs(pid_t pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/timerslack_ns");
  long slack = -1;
  file >> slack;
  return file ? slack : -1;
}

// Every pass ends with a set of the fan: its sets mark the pass ends.
const char* const kFan = "fan";
const char* const kInternalProbe = "t-int";
const char* const kAircon = "ac-1";

std::vector<int64_t> arrivalTimes(const std::vector<LoopbackServer::SetArrival>& sets) {
  std::vector<int64_t> times;
  times.reserve(sets.size());
  for (const LoopbackServer::SetArrival& set : sets) {
    times.push_back(set.arrivalNs);
  }
  return times;
}

// Waits for the first set of the air conditioner to `state` from its
// `from`th set on; nothing on time-out.
std::optional<LoopbackServer::SetArrival> waitForAirconSet(const LoopbackServer& server,
                                                           std::size_t from, eObjectIOState state,
                                                           int timeoutMs) {
  return server.waitForSet(
      kAircon, from,
      [state](const LoopbackServer::SetArrival& set) { return set.state() == state; }, timeoutMs);
}

// Waits until the server has `count` fan sets, for at most `timeoutMs`, and
// no longer than the daemon lives.
bool waitForPasses(LoopbackServer& server, ChildProcess& daemon, std::size_t count, int timeoutMs) {
  constexpr int kSliceMs = 500;
  for (int waitedMs = 0; waitedMs < timeoutMs; waitedMs += kSliceMs) {
    if (server.waitForSetCount(kFan, count, std::min(kSliceMs, timeoutMs - waitedMs))) {
      return true;
    }
    if (!daemon.running()) {
      return false;
    }
  }
  return false;
}

// Waits for the daemon's connection, no longer than the daemon lives.
bool waitForConnection(LoopbackServer& server, ChildProcess& daemon,
                       std::size_t connectionsBefore) {
  constexpr int kSliceMs = 100;
  for (int waitedMs = 0; waitedMs < kConnectTimeoutMs; waitedMs += kSliceMs) {
    if (server.waitForConnections(connectionsBefore + 1, kSliceMs)) {
      return true;
    }
    if (!daemon.running()) {
      return false;
    }
  }
  return false;
}

void sleepNs(int64_t ns) {
  std::this_thread::sleep_for(std::chrono::nanoseconds(ns));
}

bool measurePasses(LoopbackServer& server, ChildProcess& daemon, int passes, PassFigures& figures) {
  const pid_t pid = daemon.pid();
  const std::size_t first = server.setCount(kFan);
  const int64_t cpuStart = processCpuNanoseconds(pid);
  const long switchesStart = processContextSwitches(pid);
  const auto threadsStart = threadCpuNanoseconds(pid);
  const int64_t wallStart = monotonicNanoseconds();
  const std::size_t countStart = server.setCount(kFan);
  const std::size_t wanted = first + static_cast<std::size_t>(passes) + 1;
  if (!waitForPasses(server, daemon, wanted, timeoutForPasses(static_cast<std::size_t>(passes)))) {
    return false;
  }
  const int64_t cpuEnd = processCpuNanoseconds(pid);
  const long switchesEnd = processContextSwitches(pid);
  const auto threadsEnd = threadCpuNanoseconds(pid);
  const int64_t wallEnd = monotonicNanoseconds();
  const std::size_t countEnd = server.setCount(kFan);

  figures.passNs = differences(arrivalTimes(server.setsOf(kFan, first, wanted)));
  figures.cpuNs = cpuEnd - cpuStart;
  figures.wallNs = wallEnd - wallStart;
  figures.passesSampled = countEnd - countStart;
  figures.contextSwitches = switchesEnd - switchesStart;
  for (const auto& [tid, endNs] : threadsEnd) {
    auto start = threadsStart.find(tid);
    int64_t used = endNs - (start != threadsStart.end() ? start->second : 0);
    (tid == pid ? figures.mainThreadNs : figures.otherThreadsNs) += used;
  }
  return true;
}

// Alternates the internal probe between a value that switches the air
// conditioner on and one that switches it off, each change pushed at a
// random point of a pass, and times the switching set.
void measureLatency(LoopbackServer& server, int changes, double meanPassNs,
                    LatencyFigures& figures) {
  std::mt19937 random(kPhaseSeed);
  std::uniform_real_distribution<double> phase(0.0, meanPassNs);
  std::vector<double> latencyMs;
  std::vector<double> passes;
  for (int i = 0; i < changes; ++i) {
    const bool switchOn = i % 2 == 0;
    sleepNs(static_cast<int64_t>(phase(random)));
    const std::size_t from = server.setCount(kAircon);
    const std::size_t passEndsBefore = server.setCount(kFan);
    std::optional<int64_t> pushedNs = server.pushTrends(
        kInternalProbe, {switchOn ? kSwitchOnTemperature : kSwitchOffTemperature});
    std::optional<LoopbackServer::SetArrival> arrival =
        pushedNs ? waitForAirconSet(server, from, switchOn ? OBJ_IO_STATE_SET : OBJ_IO_STATE_CLEAR,
                                    kSwitchTimeoutMs)
                 : std::nullopt;
    ++figures.changes;
    if (!arrival) {
      ++figures.missed;
      continue;
    }
    latencyMs.push_back(static_cast<double>(arrival->arrivalNs - *pushedNs) /
                        kNanosecondsPerMillisecond);
    // The switching pass ends with the set; each earlier pass that ended
    // after the push is one more pass. (Those counted before the push had
    // arrived before it.)
    int passesTaken = 1;
    for (const LoopbackServer::SetArrival& passEnd : server.setsOf(kFan, passEndsBefore)) {
      if (passEnd.order < arrival->order && passEnd.arrivalNs > *pushedNs) {
        ++passesTaken;
      }
    }
    passes.push_back(passesTaken);
    ++figures.changesByPasses[passesTaken];
  }
  figures.latencyMs = summarize(latencyMs);
  figures.passes = summarize(passes);
  figures.p99InMeanPasses = figures.latencyMs.p99 * kNanosecondsPerMillisecond / meanPassNs;
}

// Bursts of trend events as fast as the daemon takes them; each ends on a
// value that switches the air conditioner on, which proves the controller
// got the last value. The rate counts from the first byte of the burst to
// the switching set, so it includes the last value's two passes.
void measureTrends(LoopbackServer& server, pid_t pid, const DaemonRunOptions& options,
                   TrendFigures& figures) {
  std::vector<float> burst;
  for (int i = 0; i + 1 < options.eventsPerBurst; ++i) {
    burst.push_back(i % 2 == 0 ? kQuietTemperatureLow : kQuietTemperatureHigh);
  }
  burst.push_back(kSwitchOnTemperature);
  figures.residentBeforeKib = residentKib(pid);
  for (int b = 0; b < options.trendBursts; ++b) {
    ++figures.bursts;
    std::size_t from = server.setCount(kAircon);
    std::optional<int64_t> pushedNs = server.pushTrends(kInternalProbe, burst);
    std::optional<LoopbackServer::SetArrival> on =
        pushedNs ? waitForAirconSet(server, from, OBJ_IO_STATE_SET,
                                    kSwitchTimeoutMs + options.eventsPerBurst / 10)
                 : std::nullopt;
    if (on) {
      ++figures.switched;
      figures.eventsPerSecond.push_back(static_cast<double>(burst.size()) * kNanosecondsPerSecond /
                                        static_cast<double>(on->arrivalNs - *pushedNs));
    }
    from = server.setCount(kAircon);
    server.pushTrends(kInternalProbe, {kSwitchOffTemperature});
    waitForAirconSet(server, from, OBJ_IO_STATE_CLEAR, kSwitchTimeoutMs);
    server.waitForSetCount(kFan, server.setCount(kFan) + kSettlePasses,
                           timeoutForPasses(kSettlePasses));
    if (b == 0) {
      figures.residentAfterFirstKib = residentKib(pid);
    }
  }
  figures.residentAfterKib = residentKib(pid);
  figures.residentPeakKib = peakResidentKib(pid);
}

// Starts the bare loop with its deadlines half a period after the daemon's
// last pass end, on the daemon's grid.
bool startAlongside(BareLoopChild& child, const std::string& selfPath, LoopbackServer& server,
                    BareLoopOptions options, long daemonSlackNs) {
  const std::size_t count = server.setCount(kFan);
  std::vector<LoopbackServer::SetArrival> last = server.setsOf(kFan, count - 1, count);
  if (count == 0 || last.empty()) {
    return false;
  }
  options.phaseAnchorNs = last.front().arrivalNs + options.periodNs / 2;
  if (options.timerSlackNs == kDaemonTimerSlack) {
    options.timerSlackNs = daemonSlackNs;
  }
  return child.start(selfPath, options);
}

}  // namespace

void PassFigures::append(const PassFigures& more) {
  passNs.insert(passNs.end(), more.passNs.begin(), more.passNs.end());
  cpuNs += more.cpuNs;
  contextSwitches += more.contextSwitches;
  wallNs += more.wallNs;
  mainThreadNs += more.mainThreadNs;
  otherThreadsNs += more.otherThreadsNs;
  passesSampled += more.passesSampled;
}

Summary PassFigures::passUs() const {
  return summarizeNs(passNs, kNanosecondsPerMicrosecond);
}

double PassFigures::meanPassUs() const {
  return perPassUs(std::accumulate(passNs.begin(), passNs.end(), int64_t{0}), passNs.size());
}

double PassFigures::cpuSecondsPerSecond() const {
  return wallNs > 0 ? static_cast<double>(cpuNs) / static_cast<double>(wallNs) : NAN;
}

double PassFigures::contextSwitchesPerPass() const {
  return passesSampled > 0
             ? static_cast<double>(contextSwitches) / static_cast<double>(passesSampled)
             : NAN;
}

double PassFigures::cpuPerPassUs() const {
  return perPassUs(cpuNs, passesSampled);
}

double PassFigures::mainThreadCpuPerPassUs() const {
  return perPassUs(mainThreadNs, passesSampled);
}

double PassFigures::otherThreadsCpuPerPassUs() const {
  return perPassUs(otherThreadsNs, passesSampled);
}

void DaemonFigures::appendRound(const DaemonFigures& round) {
  runs += round.runs;
  if (failure.empty()) {
    failure = round.failure;
  }
  logPath = round.logPath;
  passes.append(round.passes);
}

bool writeBenchSite(const std::string& etcDir) {
  const ConfigElements oneRunPass = {{"aircon1MinimumRunTimeValue", "1"},
                                     {"aircon2MinimumRunTimeValue", "1"},
                                     {"airconRunTimeAfterDropOutValue", "1"},
                                     {"fanMinimumRunTimePreCoolingValue", "10"},
                                     {"fanMinimumRunTimePreAirconValue", "10"}};
  return !writeFileIn(etcDir, kSettingsFile, configXml(siteSettings())).empty() &&
         !writeFileIn(etcDir, kConstantsFile, configXml(siteConstants(oneRunPass))).empty();
}

void resetBenchSite(LoopbackServer& server) {
  server.removePorts();
  addDaemonSitePorts(server);
}

DaemonFigures runDaemon(const std::string& frigelPath, const std::string& etcDir,
                        const std::string& selfPath, LoopbackServer& server,
                        const DaemonRunOptions& options) {
  DaemonFigures figures;
  figures.name = options.name;
  figures.passPeriodMicroseconds = options.passPeriodMicroseconds;
  figures.logPath = etcDir + "/frigel-" + options.name + ".log";
  // Logging at INFO to the log file, the default re-poll period, and the
  // pacing (none: the literal loop).
  std::string properties = kSiteLogProperties;
  if (options.passPeriodMicroseconds > 0) {
    properties += "PassPeriodMicroseconds=" + std::to_string(options.passPeriodMicroseconds) + "\n";
  }
  if (writeFileIn(etcDir, kPropertiesFile, properties).empty()) {
    figures.failure = "could not write frigel.conf";
    return figures;
  }
  resetBenchSite(server);
  const std::size_t connections = server.connectionCount();
  ChildProcess daemon;
  SiteDaemonOptions start;
  start.program = frigelPath;
  start.outputFile = figures.logPath;
  // Everything the daemon reads or writes (its status file too) stays in
  // the temporary folder.
  if (!startSiteDaemon(daemon, etcDir, server.port(), start)) {
    figures.failure = "could not start " + frigelPath;
    return figures;
  }
  figures.runs = 1;
  const pid_t pid = daemon.pid();
  const std::size_t warmUp = static_cast<std::size_t>(options.warmUpPasses);
  if (!waitForConnection(server, daemon, connections)) {
    figures.failure = "the daemon never connected";
  } else if (!waitForPasses(server, daemon, server.setCount(kFan) + warmUp,
                            timeoutForPasses(warmUp))) {
    figures.failure = "the daemon ran no passes (set-up incomplete?)";
  } else {
    figures.residentAtRestKib = residentKib(pid);
    figures.timerSlackNs = readTimerSlackNs(pid);
    BareLoopChild alongside;
    bool bareStarted =
        options.bareAlongside &&
        startAlongside(alongside, selfPath, server, *options.bareAlongside, figures.timerSlackNs);
    if (!measurePasses(server, daemon, options.measuredPasses, figures.passes)) {
      figures.failure = "the daemon stopped making passes";
    }
    if (bareStarted) {
      figures.bareAlongside = alongside.finish();
    }
    if (figures.failure.empty() && options.probeChanges > 0) {
      measureLatency(server, options.probeChanges,
                     figures.passes.meanPassUs() * kNanosecondsPerMicrosecond, figures.latency);
    }
    if (figures.failure.empty() && options.trendBursts > 0) {
      figures.trends.emplace();
      measureTrends(server, pid, options, *figures.trends);
    }
  }
  figures.exitStatus = daemon.stop(kStopTimeoutMs);
  return figures;
}
