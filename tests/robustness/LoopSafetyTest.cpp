// What runs beside the control loop must never disturb it: the re-poll
// against a server that stops answering, start and stop with trend events
// arriving throughout, and threads the system refuses. Each scenario has
// its settings at the top, one run, then named checks.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "DaemonSite.h"
#include "LoopbackServer.h"

namespace {

using Clock = std::chrono::steady_clock;

// The number after `"name": ` in the status file; NaN when absent or null.
// A number of the status file; NaN while it has none.
double statusNumber(const nlohmann::json& number) {
  return number.is_number() ? number.get<double>() : NAN;
}

// Waits until the status file satisfies `done`; false on time-out.
template <typename Done>
bool waitForStatus(DaemonSite& site, Done done) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(DaemonSite::kWaitMs);
  while (Clock::now() < deadline) {
    if (done(site.readStatus())) {
      return true;
    }
    site.daemon().pump(50);
  }
  return false;
}

// 1. The server stops answering while a re-poll reads the probes (two reads
//    of up to a second each), for three seconds: the passes keep their
//    pace, and once the server answers again the next re-poll brings the
//    value it holds by then.
TEST(LoopSafetyTest, AServerSilentDuringAReadLeavesThePassesAlone) {
  constexpr double kPassesPerSecond = 100;
  DaemonSite site(std::string("PassPeriodMicroseconds=10000\n") + kRepollEverySecond);
  LoopbackServer server;
  ASSERT_TRUE(server.start());
  addDaemonSitePorts(server);

  ChildProcess& daemon = site.daemon();
  ASSERT_TRUE(startSiteDaemon(daemon, site.etcDir(), server.port()));
  ASSERT_TRUE(
      daemon.waitForLine("exact pacing: one pass every 10000 microseconds", DaemonSite::kWaitMs));
  ASSERT_TRUE(waitForStatus(
      site, [](nlohmann::json status) { return statusNumber(status["passesPerSecond"]) > 0; }));

  server.setAnswering(false);
  const auto silenceStart = Clock::now();
  const std::size_t fetches = server.requestCount(vulowire::FrameKind::FetchRequest);
  ASSERT_TRUE(
      server.waitForRequests(vulowire::FrameKind::FetchRequest, fetches + 1, DaemonSite::kWaitMs))
      << "no re-poll came";
  // The status writer measures the rate over about a second: the samples
  // from 1.5 s into the silence on cover only passes made during it.
  std::vector<double> rates;
  for (int sample = 0; sample < 4; ++sample) {
    std::this_thread::sleep_until(silenceStart + std::chrono::milliseconds(1500 + 500 * sample));
    rates.push_back(statusNumber(site.readStatus()["passesPerSecond"]));
  }
  server.setValue("t-int", 31.0f);
  server.setAnswering(true);

  for (double rate : rates) {
    EXPECT_NEAR(rate, kPassesPerSecond, kPassesPerSecond * 0.05);
  }
  EXPECT_TRUE(waitForStatus(site, [](nlohmann::json status) {
    return statusNumber(status["probes"]["internal"]["temperature"]) == 31.0;
  })) << site.readStatus();
  EXPECT_EQ(daemon.countLines("behind"), 0u);
  EXPECT_EQ(site.stopDaemon(), 0);
}

// 2. Dozens of starts and stops of the daemon with exact pacing, trend
//    events for its probe arriving throughout (while it opens its change
//    signal, and while it stops). Under ThreadSanitizer a race or a write
//    to a closed descriptor ends the daemon with a report; every stop must
//    be clean, and leave the status saying so.
TEST(LoopSafetyTest, StartAndStopWithTrendsArrivingThroughout) {
  constexpr int kCycles = 36;
  DaemonSite site(std::string("PassPeriodMicroseconds=1000\n") + kRepollEverySecond);
  ASSERT_TRUE(site.startServer());
  // Two trend events a millisecond, below every pull-in, until the end.
  struct Feeder {
    VulosimProcess& server;
    std::atomic<bool> feeding{true};
    std::thread thread{[this] {
      for (int i = 0; feeding.load(); ++i) {
        if (!server.writeLine(i % 2 ? "ain t-int 20.5" : "ain t-int 21.5")) {
          return;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
      }
    }};
    ~Feeder() {
      feeding.store(false);
      thread.join();
    }
  } feeder{site.server()};

  for (int cycle = 0; cycle < kCycles; ++cycle) {
    SCOPED_TRACE("cycle " + std::to_string(cycle));
    ChildProcess daemon;
    ASSERT_TRUE(startSiteDaemon(daemon, site.etcDir(), site.server().port()));
    ASSERT_TRUE(daemon.waitForLine("exact pacing", DaemonSite::kWaitMs));
    // The stop lands at a different point of the first passes each cycle.
    std::this_thread::sleep_for(std::chrono::milliseconds(cycle % 6 * 5));
    daemon.sendSignal(SIGTERM);
    std::optional<int> status = daemon.wait(DaemonSite::kWaitMs);
    ASSERT_TRUE(status.has_value());
    ASSERT_EQ(*status, 0);
    ASSERT_EQ(site.readStatus()["state"], "stopped");
  }
}

// 3. The system refuses a thread, from the Nth creation on (a shim preloaded
//    into the daemon): without the log writer (1st) lines are written as
//    they are logged, one line says so, and then the client's threads (2nd
//    to 4th) end the daemon with one line and status 1; without the status
//    writer (5th) or the re-poll (6th) it runs on, one line saying what it
//    does without.
TEST(LoopSafetyTest, RefusedThreadsAreReportedNeverAborted) {
#ifdef FRIGEL_SANITIZER_BUILD
  GTEST_SKIP() << "the sanitizers' own pthread_create cannot be interposed";
#endif
  struct Case {
    int refusedFrom;
    const char* line;
    bool runsOn;
  };
  const Case kCases[] = {
      {1, "cannot start the log writer: ", false},
      {2, "cannot start the object-server client's threads: ", false},
      {4, "cannot start the object-server client's threads: ", false},
      {5, "cannot start the status writer: ", true},
      {6, "cannot start the re-poll thread: ", true},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE("threads refused from the " + std::to_string(c.refusedFrom) + ". on");
    DaemonSite site(kRepollEverySecond);
    ASSERT_TRUE(site.startServer());
    ASSERT_TRUE(
        site.startDaemon({}, {{"LD_PRELOAD", REFUSE_THREADS_LIBRARY},
                              {"FRIGEL_REFUSE_THREAD_FROM", std::to_string(c.refusedFrom)}}));
    EXPECT_TRUE(site.daemon().waitForLine(c.line, DaemonSite::kWaitMs));
    if (!c.runsOn) {
      EXPECT_EQ(site.daemon().wait(DaemonSite::kWaitMs), std::optional<int>(1));
      continue;
    }
    EXPECT_TRUE(site.serverSays("aout fan 0"));  // controlling
    EXPECT_EQ(site.stopDaemon(), 0);
    const bool statusWritten = !site.readStatus().is_null();
    EXPECT_EQ(statusWritten, c.refusedFrom != 5);
  }
}

}  // namespace
