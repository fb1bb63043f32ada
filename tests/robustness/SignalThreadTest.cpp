// Where a stop signal lands. kill() hands a process-directed signal to any
// thread that does not block it; the daemon's handler only clears its
// `running` flag, which the main thread reads, and only the main thread's
// sleeps must be cut short by it. So every thread but the main one (the
// object-server client's, the status writer's) blocks SIGINT and SIGTERM.
#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "DaemonSite.h"

namespace {

// The blocked-signal mask of one thread (SigBlk in its status file).
unsigned long long blockedSignals(const std::filesystem::path& taskDirectory) {
  std::ifstream status(taskDirectory / "status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("SigBlk:", 0) == 0) {
      return std::stoull(line.substr(7), nullptr, 16);
    }
  }
  return 0;
}

bool blocks(unsigned long long mask, int sig) {
  return (mask >> (sig - 1)) & 1u;
}

TEST(SignalThreadTest, OnlyTheMainThreadTakesStopSignals) {
  DaemonSite site(kRepollEverySecond);
  ASSERT_TRUE(site.startServer());
  ASSERT_TRUE(site.startDaemon());
  ASSERT_TRUE(site.serverSays("aout fan 0"));  // controlling: every thread is up

  const std::string pid = std::to_string(site.daemon().pid());
  int otherThreads = 0;
  for (const auto& task : std::filesystem::directory_iterator("/proc/" + pid + "/task")) {
    unsigned long long mask = blockedSignals(task.path());
    if (task.path().filename() == pid) {
      EXPECT_FALSE(blocks(mask, SIGTERM));
      EXPECT_FALSE(blocks(mask, SIGINT));
      continue;
    }
    ++otherThreads;
    EXPECT_TRUE(blocks(mask, SIGTERM)) << "thread " << task.path().filename();
    EXPECT_TRUE(blocks(mask, SIGINT)) << "thread " << task.path().filename();
  }
  EXPECT_GE(otherThreads, 3);  // the client's receive, transmit and delivery threads
  EXPECT_EQ(site.stopDaemon(), 0);
}

}  // namespace
