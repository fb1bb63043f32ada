// Runs the real daemon against the test kit's loopback server in each pacing (the
// literal loop, exact pacing at 1 ms and at 10 ms), runs the bare reference
// loops of the same shapes (at both periods also one that writes the fan set
// each pass), and prints every figure beside its reference in one Markdown
// table. Progress goes to standard error.
//
//   frigel_pacing_bench [--quick | --smoke] [--frigel PATH] [--keep]
//
// --quick: fewer passes and changes (about a minute). --smoke: a few of
// each, only to see that everything runs. --keep: keep the temporary folder
// (configuration and daemon logs). Exit status 1 when a run did not go
// through (the daemon did not start, lost a change, ...); figures that miss
// their goals never change the exit status.
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "BareLoops.h"
#include "DaemonBench.h"
#include "LoopbackServer.h"
#include "Report.h"
#include "monotonicClock.h"

namespace {

struct Counts {
  const char* name;
  int literalPasses;
  int literalRounds;
  int exact1msPasses;
  int exact10msPasses;
  int warmUpPasses;
  int probeChanges;
  int trendBursts;
  int eventsPerBurst;
};

constexpr Counts kFull = {"full", 5000, 10, 10000, 5000, 50, 200, 5, 100000};
constexpr Counts kQuick = {"quick", 1000, 2, 2000, 1000, 20, 50, 2, 50000};
constexpr Counts kSmoke = {"smoke", 30, 1, 100, 20, 5, 4, 1, 2000};
// What the daemon sets, should /proc not tell.
constexpr long kAssumedDaemonTimerSlackNs = 10000;

std::string selfPath() {
  char path[4096];
  ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) {
    return "";
  }
  path[length] = '\0';
  return path;
}

std::string cpuModel() {
  std::ifstream cpuinfo("/proc/cpuinfo");
  std::string line;
  while (std::getline(cpuinfo, line)) {
    if (line.compare(0, 10, "model name") == 0) {
      std::size_t colon = line.find(':');
      return colon == std::string::npos ? line : line.substr(colon + 2);
    }
  }
  return "unknown";
}

std::string loadAverage() {
  std::ifstream loadavg("/proc/loadavg");
  double one = 0;
  double five = 0;
  double fifteen = 0;
  loadavg >> one >> five >> fifteen;
  char text[64];
  std::snprintf(text, sizeof text, "%.2f %.2f %.2f", one, five, fifteen);
  return text;
}

std::string machineLine() {
  utsname system = {};
  ::uname(&system);
  return "Machine: " + cpuModel() + ", " + std::to_string(::sysconf(_SC_NPROCESSORS_ONLN)) +
         " cores online, Linux " + system.release + " " + system.machine +
         "; build: " FRIGEL_BENCH_BUILD_TYPE;
}

void progress(const std::string& what) {
  std::fprintf(stderr, "bench: %s\n", what.c_str());
}

// Reports a run that did not go through, and where its daemon log is.
bool wentThrough(const DaemonFigures& figures) {
  bool ok = figures.failure.empty() && figures.latency.missed == 0 &&
            (!figures.trends || figures.trends->switched == figures.trends->bursts);
  if (!ok) {
    std::fprintf(stderr, "bench: %s run: %s (daemon exit status %d, %d changes lost); log: %s\n",
                 figures.name.c_str(),
                 figures.failure.empty() ? "incomplete" : figures.failure.c_str(),
                 figures.exitStatus, figures.latency.missed, figures.logPath.c_str());
  }
  return ok;
}

// The whole run, one measurement after another.
class PacingBench {
 public:
  PacingBench(const Counts& counts, std::string self, std::string frigelPath, std::string etcDir,
              LoopbackServer& server)
      : mCounts(counts),
        mSelf(std::move(self)),
        mFrigelPath(std::move(frigelPath)),
        mEtcDir(std::move(etcDir)),
        mServer(server) {
    mBase.warmUpPasses = counts.warmUpPasses;
    mBase.probeChanges = counts.probeChanges;
    mBase.trendBursts = counts.trendBursts;
    mBase.eventsPerBurst = counts.eventsPerBurst;
  }

  // Runs everything; false when a run did not go through.
  bool run(BenchResults& results) {
    runLiteral(results);
    runExact1ms(results);
    compareTimerSlack(results);
    runSetReferences(results);
    runExact10ms(results);
    return mOk && results.bareLiteral && results.bareDeadline1ms && results.bareSlackDaemon &&
           results.bareSlackDefault && results.bareDeadlineSet1ms && results.bareHandedSet1ms &&
           results.bareDeadline10ms && results.bareDeadlineSet10ms;
  }

 private:
  static constexpr int64_t kOneMs = kNanosecondsPerMillisecond;
  // How long the last sets of a bare loop may take to reach the server.
  static constexpr int kLastSetsTimeoutMs = 2000;

  // The literal loop and its bare reference both burn CPU, so they take
  // turns, in rounds, and slow changes of the machine's load fall on both.
  // Latency and bursts are measured in the first round.
  void runLiteral(BenchResults& results) {
    const int roundPasses = mCounts.literalPasses / mCounts.literalRounds;
    for (int round = 0; round < mCounts.literalRounds; ++round) {
      progress("literal loop, round " + std::to_string(round + 1) + " of " +
               std::to_string(mCounts.literalRounds) + ": frigel, then the bare reference, " +
               std::to_string(roundPasses) + " passes each");
      DaemonRunOptions options = mBase;
      options.name = "literal";
      options.measuredPasses = roundPasses;
      if (round > 0) {
        options.probeChanges = 0;
        options.trendBursts = 0;
      }
      DaemonFigures figures = runDaemon(mFrigelPath, mEtcDir, mSelf, mServer, options);
      if (round == 0) {
        results.literal = figures;
      } else {
        results.literal.appendRound(figures);
      }
      appendBareLoop(results.bareLiteral, bare(BareShape::Literal, roundPasses, 0, -1));
    }
    mOk = wentThrough(results.literal) && mOk;
  }

  // Exact pacing barely uses the CPU: its bare reference runs alongside the
  // daemon, half a period away from its wake-ups.
  DaemonFigures runExact(int periodMicroseconds, int passes, int trendBursts) {
    DaemonRunOptions options = mBase;
    options.name = "exact-" + std::to_string(periodMicroseconds / 1000) + "ms";
    options.passPeriodMicroseconds = periodMicroseconds;
    options.measuredPasses = passes;
    options.trendBursts = trendBursts;
    options.bareAlongside = BareLoopOptions{
        BareShape::Deadline, passes, int64_t{periodMicroseconds} * kNanosecondsPerMicrosecond,
        kDaemonTimerSlack,   0,      0};
    progress("exact pacing " + std::to_string(periodMicroseconds / 1000) +
             " ms: frigel and its bare reference alongside, " + std::to_string(passes) +
             " passes each");
    DaemonFigures figures = runDaemon(mFrigelPath, mEtcDir, mSelf, mServer, options);
    mOk = wentThrough(figures) && mOk;
    return figures;
  }

  void runExact1ms(BenchResults& results) {
    results.exact1ms = runExact(1000, mCounts.exact1msPasses, mCounts.trendBursts);
    results.bareDeadline1ms = results.exact1ms.bareAlongside;
    if (results.exact1ms.timerSlackNs > 0) {
      mDaemonTimerSlackNs = results.exact1ms.timerSlackNs;
    }
    results.daemonTimerSlackNs = mDaemonTimerSlackNs;
  }

  // Then the 10 ms deadline loop that writes the fan set itself: the
  // daemon's CPU per pass is held to it at both periods.
  void runExact10ms(BenchResults& results) {
    results.exact10ms = runExact(10000, mCounts.exact10msPasses, 0);
    results.bareDeadline10ms = results.exact10ms.bareAlongside;
    const int passes = mCounts.exact10msPasses / 2;
    progress("bare 10 ms deadline loop that writes a set per pass, " + std::to_string(passes) +
             " passes");
    withSets(BareShape::DeadlineAndSet, 10 * kOneMs, passes, results.bareDeadlineSet10ms,
             results.bareDeadlineSet10msAtServerUs);
  }

  // The further references only explain figures: half as many passes.
  int explainingPasses() const { return mCounts.exact1msPasses / 2; }

  // Two bare 1 ms deadline loops side by side, half a period apart: the
  // daemon's timer slack against the default.
  void compareTimerSlack(BenchResults& results) {
    progress("timer slack: two bare 1 ms deadline loops side by side, " +
             std::to_string(explainingPasses()) + " passes each");
    constexpr int64_t kStartInNs = 20 * kOneMs;
    BareLoopOptions daemonSlack{BareShape::Deadline,
                                explainingPasses(),
                                kOneMs,
                                mDaemonTimerSlackNs,
                                0,
                                monotonicNanoseconds() + kStartInNs};
    BareLoopOptions defaultSlack = daemonSlack;
    defaultSlack.timerSlackNs = -1;
    defaultSlack.phaseAnchorNs += kOneMs / 2;
    BareLoopChild first;
    BareLoopChild second;
    if (first.start(mSelf, daemonSlack) && second.start(mSelf, defaultSlack)) {
      results.bareSlackDaemon = first.finish();
      results.bareSlackDefault = second.finish();
    }
  }

  // Bare 1 ms deadline loops that also write a fan set per pass, from the
  // same thread or through a second one, with their passes as the server saw
  // them.
  void runSetReferences(BenchResults& results) {
    progress(
        "bare 1 ms deadline loops that write a set per pass, themselves or through a "
        "second thread, " +
        std::to_string(explainingPasses()) + " passes each");
    withSets(BareShape::DeadlineAndSet, kOneMs, explainingPasses(), results.bareDeadlineSet1ms,
             results.bareDeadlineSet1msAtServerUs);
    withSets(BareShape::DeadlineAndHandedSet, kOneMs, explainingPasses(), results.bareHandedSet1ms,
             results.bareHandedSet1msAtServerUs);
  }

  void withSets(BareShape shape, int64_t periodNs, int passes, std::optional<BareLoopResult>& loop,
                Summary& atServerUs) {
    const std::size_t firstSet = mServer.setCount("fan");
    loop = bare(shape, passes, periodNs, mDaemonTimerSlackNs, mServer.port());
    if (loop) {
      mServer.waitForSetCount("fan", firstSet + loop->passNs.size(), kLastSetsTimeoutMs);
      std::vector<int64_t> times;
      for (const LoopbackServer::SetArrival& set : mServer.setsOf("fan", firstSet)) {
        times.push_back(set.arrivalNs);
      }
      atServerUs = summarizeNs(differences(times), kNanosecondsPerMicrosecond);
    }
  }

  std::optional<BareLoopResult> bare(BareShape shape, int passes, int64_t periodNs, long slackNs,
                                     int port = 0) const {
    BareLoopOptions options;
    options.shape = shape;
    options.passes = passes;
    options.periodNs = periodNs;
    options.timerSlackNs = slackNs;
    options.serverPort = port;
    std::optional<BareLoopResult> result = runBareLoopInChild(mSelf, options);
    if (!result) {
      std::fprintf(stderr, "bench: a bare reference loop failed\n");
    }
    return result;
  }

  const Counts mCounts;
  const std::string mSelf;
  const std::string mFrigelPath;
  const std::string mEtcDir;
  LoopbackServer& mServer;
  DaemonRunOptions mBase;
  long mDaemonTimerSlackNs = kAssumedDaemonTimerSlackNs;  // read from the running daemon
  bool mOk = true;
};

int usage(const char* program) {
  std::fprintf(stderr, "usage: %s [--quick | --smoke] [--frigel PATH] [--keep]\n", program);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--bare") == 0) {
    return bareLoopChildMain(argc, argv);
  }
  const std::string self = selfPath();
  Counts counts = kFull;
  std::string frigelPath = std::filesystem::path(self).parent_path() / "frigel";
  bool keep = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--quick") {
      counts = kQuick;
    } else if (arg == "--smoke") {
      counts = kSmoke;
    } else if (arg == "--keep") {
      keep = true;
    } else if (arg == "--frigel" && i + 1 < argc) {
      frigelPath = argv[++i];
    } else {
      return usage(argv[0]);
    }
  }
  if (::access(frigelPath.c_str(), X_OK) != 0) {
    std::fprintf(stderr, "bench: no daemon at %s (build the frigel target, or give --frigel)\n",
                 frigelPath.c_str());
    return 2;
  }
  std::string pattern = std::filesystem::temp_directory_path().string() + "/frigel-bench-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr || !writeBenchSite(pattern)) {
    std::fprintf(stderr, "bench: cannot prepare a temporary configuration folder\n");
    return 1;
  }
  const std::string etcDir = pattern;
  LoopbackServer server;
  if (!server.start()) {
    std::fprintf(stderr, "bench: the loopback server cannot listen\n");
    return 1;
  }
  resetBenchSite(server);

  const int64_t startNs = monotonicNanoseconds();
  const std::string loadAtStart = loadAverage();
  BenchResults results;
  const bool ok = PacingBench(counts, self, frigelPath, etcDir, server).run(results);
  server.stop();

  std::printf(
      "frigel pacing benchmark (%s run, %.0f s)\n\n%s\n\nLoad average (1, 5, 15 min) at "
      "the start: %s; at the end: %s\n\n%s\n",
      counts.name, static_cast<double>(monotonicNanoseconds() - startNs) / kNanosecondsPerSecond,
      machineLine().c_str(), loadAtStart.c_str(), loadAverage().c_str(),
      formatReport(results).c_str());
  if (keep || !ok) {
    std::fprintf(stderr, "bench: configuration and daemon logs kept in %s\n", etcDir.c_str());
  } else {
    std::error_code ignored;
    std::filesystem::remove_all(etcDir, ignored);
  }
  return ok ? 0 : 1;
}
