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
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "FakeObjectServer.h"
#include "FaultSite.h"

namespace {

using vulowire::Frame;
using vulowire::FrameKind;
using Clock = std::chrono::steady_clock;

std::string readStatus(const std::string& etcDir) {
  std::ifstream in(siteRunDir(etcDir) + "/status");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The number after `"name": ` in the status file; NaN when absent or null.
double statusNumber(const std::string& status, const std::string& name) {
  const std::string key = "\"" + name + "\": ";
  std::size_t at = status.find(key);
  if (at == std::string::npos) {
    return NAN;
  }
  const char* text = status.c_str() + at + key.size();
  char* end = nullptr;
  double value = std::strtod(text, &end);
  return end == text ? NAN : value;
}

// Waits until the status file satisfies `done`; false on time-out.
template <typename Done>
bool waitForStatus(ChildProcess& daemon, const std::string& etcDir, Done done) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(FaultSite::kWaitMs);
  while (Clock::now() < deadline) {
    if (done(readStatus(etcDir))) {
      return true;
    }
    daemon.pump(50);
  }
  return false;
}

// A port of the daemon test site's five, as a scripted server gives it.
std::unique_ptr<cObjectPort> sitePort(const std::string& label, ePortType type) {
  struct Known {
    const char* label;
    uint32_t serial;
    uint32_t id;
  };
  static const Known kKnown[] = {
      {"t-int", 7, 1}, {"t-ext", 7, 2}, {"ac-1", 8, 1}, {"ac-2", 8, 2}, {"fan", 8, 3}};
  for (const Known& known : kKnown) {
    if (label == known.label) {
      std::unique_ptr<cObjectPort> port;
      if (type == PORT_TYPE_ANALOG_IN) {
        port = std::make_unique<cObjectAInput>();
      } else if (type == PORT_TYPE_ANALOG_OUT) {
        port = std::make_unique<cObjectAOutput>();
      } else {
        port = std::make_unique<cObjectDOutput>();
      }
      port->setDeviceSerial(known.serial);
      port->setPortId(known.id);
      port->setPortLabel(known.label);
      port->setPortType(type);
      return port;
    }
  }
  return nullptr;
}

// 1. The server stops answering while a re-poll reads the probes (two reads
//    of up to a second each), for three seconds: the passes keep their
//    pace, and once the server answers again the next re-poll brings the
//    value it holds by then.
TEST(LoopSafetyTest, AServerSilentDuringAReadLeavesThePassesAlone) {
  constexpr double kPassesPerSecond = 100;
  FaultSite site;
  site.writeProperties(std::string(kSiteLogProperties) +
                       "PassPeriodMicroseconds=10000\nSyncTime=1\n");
  std::atomic<bool> silent{false};
  std::atomic<int> silencedReads{0};
  std::atomic<float> internalValue{20.0f};
  FakeObjectServer server([&](const Frame& request, Frame& reply) {
    for (const std::unique_ptr<cObject>& object : request.objects) {
      auto* asked = dynamic_cast<const cObjectPort*>(object.get());
      if (asked == nullptr) {
        continue;
      }
      std::unique_ptr<cObjectPort> port = sitePort(asked->getPortLabel(), asked->getPortType());
      if (port == nullptr) {
        continue;
      }
      if (request.kind == FrameKind::FetchRequest && asked->getPortType() == PORT_TYPE_ANALOG_IN) {
        if (silent.load()) {
          ++silencedReads;
          while (silent.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
          }
        }
        static_cast<cObjectAInput*>(port.get())
            ->setCalculatedValue(asked->getPortId() == 1 ? internalValue.load() : 15.0f);
      }
      reply.objects.push_back(std::move(port));
    }
  });
  ASSERT_GT(server.port(), 0);
  // Whatever happens below, the server's thread is let go before it is joined.
  struct Unsilence {
    std::atomic<bool>& silent;
    ~Unsilence() { silent.store(false); }
  } unsilence{silent};

  ChildProcess& daemon = site.daemon();
  ASSERT_TRUE(startSiteDaemon(daemon, site.etcDir(), server.port()));
  ASSERT_TRUE(
      daemon.waitForLine("exact pacing: one pass every 10000 microseconds", FaultSite::kWaitMs));
  ASSERT_TRUE(waitForStatus(daemon, site.etcDir(), [](const std::string& status) {
    return statusNumber(status, "passesPerSecond") > 0;
  }));

  silent.store(true);
  const auto silenceStart = Clock::now();
  const auto readStuck = silenceStart + std::chrono::milliseconds(FaultSite::kWaitMs);
  while (silencedReads.load() == 0 && Clock::now() < readStuck) {
    daemon.pump(10);
  }
  ASSERT_GT(silencedReads.load(), 0) << "no re-poll came";
  // The status writer measures the rate over about a second: the samples
  // from 1.5 s into the silence on cover only passes made during it.
  std::vector<double> rates;
  for (int sample = 0; sample < 4; ++sample) {
    std::this_thread::sleep_until(silenceStart + std::chrono::milliseconds(1500 + 500 * sample));
    rates.push_back(statusNumber(readStatus(site.etcDir()), "passesPerSecond"));
  }
  internalValue.store(31.0f);
  silent.store(false);

  for (double rate : rates) {
    EXPECT_NEAR(rate, kPassesPerSecond, kPassesPerSecond * 0.05);
  }
  EXPECT_TRUE(waitForStatus(daemon, site.etcDir(), [](const std::string& status) {
    return statusNumber(status, "temperature") == 31.0;
  })) << readStatus(site.etcDir());
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
  FaultSite site;
  site.writeProperties(std::string(kSiteLogProperties) +
                       "PassPeriodMicroseconds=1000\nSyncTime=1\n");
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
    ASSERT_TRUE(daemon.waitForLine("exact pacing", FaultSite::kWaitMs));
    // The stop lands at a different point of the first passes each cycle.
    std::this_thread::sleep_for(std::chrono::milliseconds(cycle % 6 * 5));
    daemon.sendSignal(SIGTERM);
    std::optional<int> status = daemon.wait(FaultSite::kWaitMs);
    ASSERT_TRUE(status.has_value());
    ASSERT_EQ(*status, 0);
    ASSERT_NE(readStatus(site.etcDir()).find("\"state\": \"stopped\""), std::string::npos);
  }
}

// 3. The system refuses a thread, from the Nth creation on (a shim preloaded
//    into the daemon): the client's threads (1st to 3rd) end the daemon with
//    one line and status 1; without the status writer (4th) or the re-poll
//    (5th) it runs on, one line saying what it does without.
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
      {1, "cannot start the object-server client's threads: ", false},
      {3, "cannot start the object-server client's threads: ", false},
      {4, "cannot start the status writer: ", true},
      {5, "cannot start the re-poll thread: ", true},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE("threads refused from the " + std::to_string(c.refusedFrom) + ". on");
    FaultSite site;
    ASSERT_TRUE(site.startServer());
    ASSERT_TRUE(
        site.startDaemon({}, {{"LD_PRELOAD", REFUSE_THREADS_LIBRARY},
                              {"FRIGEL_REFUSE_THREAD_FROM", std::to_string(c.refusedFrom)}}));
    EXPECT_TRUE(site.daemon().waitForLine(c.line, FaultSite::kWaitMs));
    if (!c.runsOn) {
      EXPECT_EQ(site.daemon().wait(FaultSite::kWaitMs), std::optional<int>(1));
      continue;
    }
    EXPECT_TRUE(site.serverSays("aout fan 0"));  // controlling
    EXPECT_EQ(site.stopDaemon(), 0);
    const bool statusWritten = !readStatus(site.etcDir()).empty();
    EXPECT_EQ(statusWritten, c.refusedFrom != 4);
  }
}

}  // namespace
