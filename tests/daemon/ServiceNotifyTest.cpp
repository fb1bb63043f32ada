// The daemon under systemd's notify protocol, with a datagram socket of the
// test's own as NOTIFY_SOCKET: it says when it is ready, pings the watchdog
// from its control loop while the loop runs, and says when it stops.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "DaemonSite.h"
#include "TempDir.h"

namespace {

using Clock = std::chrono::steady_clock;

// A bound datagram socket that collects the daemon's notifications.
class NotifySocket {
 public:
  explicit NotifySocket(const std::string& path) : mPath(path) {
    mFd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    if (mFd >= 0 && ::bind(mFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
      ::close(mFd);
      mFd = -1;
    }
  }
  ~NotifySocket() {
    if (mFd >= 0) {
      ::close(mFd);
    }
  }
  bool ok() const { return mFd >= 0; }
  const std::string& path() const { return mPath; }

  // The next message, or "" when none comes within `timeoutMs`.
  std::string next(int timeoutMs) {
    timeval wait{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    ::setsockopt(mFd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    char buffer[4096];
    const ssize_t n = ::recv(mFd, buffer, sizeof buffer, 0);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : "";
  }
  // Waits for a message that contains `text`; the messages passed over are
  // counted in `watchdogPings` when they are pings.
  bool waitFor(const std::string& text, int& watchdogPings, int timeoutMs = DaemonSite::kWaitMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < deadline) {
      const std::string message = next(200);
      watchdogPings += message == "WATCHDOG=1";
      if (message.find(text) != std::string::npos) {
        return true;
      }
    }
    return false;
  }

 private:
  std::string mPath;
  int mFd = -1;
};

// The daemon of `site` under a watchdog of `watchdogMicroseconds`,
// notifying a socket of the test's own.
class ServiceNotify : public ::testing::Test {
 protected:
  void startUnder(const char* watchdogMicroseconds) {
    ASSERT_TRUE(notify.ok());
    ASSERT_TRUE(site.startServer());
    ASSERT_TRUE(site.startDaemon(
        {}, {{"NOTIFY_SOCKET", notify.path()}, {"WATCHDOG_USEC", watchdogMicroseconds}}));
  }
  // A stop signal: the daemon says it stops, then ends with status 0.
  void stopsSayingSo() {
    site.daemon().sendSignal(SIGTERM);
    EXPECT_TRUE(notify.waitFor("STOPPING=1", pings));
    EXPECT_EQ(site.daemon().wait(DaemonSite::kWaitMs), std::optional<int>(0));
  }

  TempDir scratch;
  NotifySocket notify{scratch.path() + "/notify"};
  DaemonSite site{"PassPeriodMicroseconds=10000\n"};
  int pings = 0;
};

TEST_F(ServiceNotify, ReadyThenPingsWhileTheLoopRunsThenStopping) {
  // A watchdog of 0.4 s: a ping at least every 0.1 s while the loop runs.
  startUnder("400000");
  ASSERT_TRUE(notify.waitFor("READY=1", pings));
  ASSERT_TRUE(notify.waitFor("WATCHDOG=1", pings));
  for (int more = 0; more < 3; ++more) {
    EXPECT_EQ(notify.next(DaemonSite::kWaitMs), "WATCHDOG=1");
  }
  // The loop is held (the whole process stopped): no ping comes.
  ::kill(site.daemon().pid(), SIGSTOP);
  while (!notify.next(100).empty()) {
  }  // what was sent before the stop
  EXPECT_EQ(notify.next(1000), "");
  ::kill(site.daemon().pid(), SIGCONT);
  EXPECT_TRUE(notify.waitFor("WATCHDOG=1", pings));
  // A mode change is told in words.
  ASSERT_TRUE(site.setInternalTemperature(31));
  EXPECT_TRUE(notify.waitFor("STATUS=controlling: single aircon", pings));
  stopsSayingSo();
}

// Idle with an incomplete set-up, the daemon is ready all the same, its
// idle loop keeps the watchdog fed, and its last status says it stopped.
TEST_F(ServiceNotify, AnIdleDaemonIsReadyAndFeedsTheWatchdog) {
  site.writeSettings(siteSettings({{"internalProbeLabel", "no-such-probe"}}));
  startUnder("8000000");
  ASSERT_TRUE(notify.waitFor("READY=1\nSTATUS=idle: set-up incomplete", pings));
  EXPECT_TRUE(notify.waitFor("WATCHDOG=1", pings));
  stopsSayingSo();
  EXPECT_EQ(site.readStatus()["state"], "stopped");
}

}  // namespace
