// The transport's periodic tick, which paces a model run: ticks never come
// before their deadline on the monotonic clock, and a task that cannot keep
// up still leaves room for the console.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "Transport.h"

namespace {

using Clock = std::chrono::steady_clock;

// Console lines stop the transport; nothing else is expected.
class StopOnLine : public HubEvents {
 public:
  explicit StopOnLine(Transport& transport) : mTransport(transport) {}
  void consoleLine(std::string_view) override { mTransport.requestStop(); }
  void consoleLineTooLong() override {}
  bool clientFrame(const vulowire::Frame&, std::vector<uint8_t>&, std::string&) override {
    return true;
  }
  void clientsChanged(std::size_t, bool) override {}

 private:
  Transport& mTransport;
};

// Notes when each tick came; stops the transport after `stopAfter` ticks.
class TickLog : public PeriodicTask {
 public:
  TickLog(Transport& transport, std::size_t stopAfter, std::chrono::microseconds tickCost)
      : mTransport(transport), mStopAfter(stopAfter), mTickCost(tickCost) {}
  void tick() override {
    times.push_back(Clock::now());
    if (times.size() == 1 && firstTick) {
      firstTick();
    }
    if (mTickCost.count() > 0) {
      std::this_thread::sleep_for(mTickCost);
    }
    if (times.size() == mStopAfter) {
      mTransport.requestStop();
    }
  }
  std::vector<Clock::time_point> times;
  std::function<void()> firstTick;  // empty: nothing

 private:
  Transport& mTransport;
  std::size_t mStopAfter;
  std::chrono::microseconds mTickCost;
};

class Pipe {
 public:
  Pipe() { EXPECT_EQ(::pipe(fds), 0); }
  ~Pipe() {
    ::close(fds[0]);
    ::close(fds[1]);
  }
  int fds[2] = {-1, -1};
};

TEST(ModelClockTest, TicksComeOnTheirDeadlinesNeverBefore) {
  Transport transport;
  StopOnLine events(transport);
  TickLog log(transport, 50, std::chrono::microseconds(0));
  const std::chrono::duration<double> period(0.002);
  transport.setPeriodicTask(&log, period);
  Pipe console;
  Pipe stop;
  const auto before = Clock::now();
  transport.run(events, console.fds[0], stop.fds[0]);
  ASSERT_EQ(log.times.size(), 50u);
  for (std::size_t i = 0; i < log.times.size(); ++i) {
    // Tick n is due n periods after run() started, which was after `before`.
    EXPECT_GE(log.times[i] - before, period * static_cast<double>(i + 1)) << "tick " << i + 1;
  }
}

TEST(ModelClockTest, ATaskThatCannotKeepUpDoesNotStarveTheConsole) {
  // Each tick costs 200 us of a 1 us period: the task is behind for ever.
  // A console line that arrives meanwhile is still read: after a burst of
  // ticks the loop polls again.
  Transport::Limits limits;
  limits.maxTicksBetweenPolls = 8;
  Transport transport(limits);
  StopOnLine events(transport);
  TickLog log(transport, 1000000, std::chrono::microseconds(200));
  transport.setPeriodicTask(&log, std::chrono::duration<double>(1e-6));
  Pipe console;
  Pipe stop;
  log.firstTick = [&console] { EXPECT_EQ(::write(console.fds[1], "quit\n", 5), 5); };
  transport.run(events, console.fds[0], stop.fds[0]);
  // Stopped by the console line at the end of the first burst.
  EXPECT_EQ(log.times.size(), 8u);
}

TEST(ModelClockTest, WithoutATaskTheLoopWaitsForEvents) {
  Transport transport;
  StopOnLine events(transport);
  TickLog log(transport, 1, std::chrono::microseconds(0));
  transport.setPeriodicTask(&log, std::chrono::duration<double>(0.001));
  transport.setPeriodicTask(nullptr, std::chrono::duration<double>(0.001));
  Pipe console;
  Pipe stop;
  std::thread later([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(::write(console.fds[1], "quit\n", 5), 5);
  });
  transport.run(events, console.fds[0], stop.fds[0]);
  later.join();
  EXPECT_TRUE(log.times.empty());
}

}  // namespace
