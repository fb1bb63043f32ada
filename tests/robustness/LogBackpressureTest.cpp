// A log sink that stops taking lines must never stop the control loop: the
// real daemon logs at DEBUG (a line every pass) to a standard output that
// nobody reads, against the simulator. Settings at the top, one run, then
// named checks.
#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <string>

#include "DaemonSite.h"

namespace {

using Clock = std::chrono::steady_clock;

// The site's logging, every category at DEBUG.
std::string debugLogProperties() {
  std::string properties = kSiteLogProperties;
  properties.replace(properties.find("INFO"), 4, "DEBUG");
  return properties;
}

// The fan is sent once a pass: the simulator's count of its set requests
// counts the passes. Waits until it reaches `passes`; the count reached.
long waitForPasses(DaemonSite& site, long passes) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(DaemonSite::kWaitMs);
  long counted = site.server().setCount("fan");
  while (counted < passes && Clock::now() < deadline) {
    site.server().pump(100);
    counted = site.server().setCount("fan");
  }
  return counted;
}

TEST(LogBackpressureTest, AnUnreadLogPipeNeverStallsTheControlLoop) {
  // 100 passes a second, each with a debug line of the fan's value: a
  // page-sized pipe is full within the first hundred passes.
  constexpr long kPassesPastAFullPipe = 500;
  constexpr long kMeasuredPasses = 300;
  DaemonSite site;
  site.writeProperties(debugLogProperties() + "PassPeriodMicroseconds=10000\n");
  ASSERT_TRUE(site.startServer());
  site.daemon().leaveStdoutUnread();
  ASSERT_TRUE(site.startDaemon());

  EXPECT_GE(waitForPasses(site, kPassesPastAFullPipe), kPassesPastAFullPipe)
      << "the control loop stalled behind its log";
  // A probe change still switches the air conditioner.
  ASSERT_TRUE(site.setInternalTemperature(31));
  EXPECT_TRUE(site.serverSays("dout ac-1 SET"));

  const long first = site.server().setCount("fan");
  const auto start = Clock::now();
  const long last = waitForPasses(site, first + kMeasuredPasses);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const double passesPerSecond = static_cast<double>(last - first) / seconds;
  // A figure, not a check: the loop went on is what counts above.
  std::cout << "passes per second with the log unread: " << passesPerSecond << "\n";

  // A clean stop within the log's bounded wait for its sink, and the last
  // status says so.
  const auto stopStart = Clock::now();
  EXPECT_EQ(site.stopDaemon(), 0);
  EXPECT_LT(std::chrono::duration<double>(Clock::now() - stopStart).count(), 10.0);
  EXPECT_EQ(site.readStatus()["state"], "stopped") << site.readStatus();
  // With its sink still blocked, the process ends before a sanitizer's own
  // exit could turn a report into its exit status: a report shows only here.
  EXPECT_EQ(site.daemon().countLines("Sanitizer", ChildProcess::kStderr), 0u);
}

}  // namespace
