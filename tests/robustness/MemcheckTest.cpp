// A short daemon run under valgrind's memcheck: start-up, control, a
// dropped and a garbled connection, and a stop. No error may be reported
// and no block definitely lost. Skipped where valgrind cannot run the
// daemon (sanitizer builds, an emulator) or is not installed.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "DaemonSite.h"

namespace {

constexpr const char* kValgrind = "/usr/bin/valgrind";
// Valgrind's exit status when it found an error or a definite leak.
constexpr int kValgrindErrorStatus = 99;

TEST(MemcheckTest, ShortDaemonRunIsClean) {
#ifdef FRIGEL_SANITIZER_BUILD
  GTEST_SKIP() << "valgrind cannot run a sanitizer build";
#else
  if (std::getenv("FRIGEL_TEST_EMULATOR") != nullptr) {
    GTEST_SKIP() << "the daemon runs under an emulator";
  }
  if (::access(kValgrind, X_OK) != 0) {
    GTEST_SKIP() << "valgrind is not installed";
  }
  DaemonSite site(kRepollEverySecond);
  ASSERT_TRUE(site.startServer());
  ASSERT_TRUE(site.startDaemon({kValgrind, "--error-exitcode=99", "--leak-check=full",
                                "--errors-for-leak-kinds=definite", "--show-leak-kinds=definite",
                                "--num-callers=30"}));
  ASSERT_TRUE(site.serverSays("connected 1"));
  ASSERT_TRUE(site.serverSays("aout fan 0"));
  ASSERT_TRUE(site.setInternalTemperature(31));
  EXPECT_TRUE(site.serverSays("dout ac-1 SET"));
  site.server().writeLine("drop");
  ASSERT_TRUE(site.serverSays("connected 1"));
  site.server().writeLine("garbage");
  ASSERT_TRUE(site.serverSays("disconnected 0"));
  ASSERT_TRUE(site.serverSays("connected 1"));
  ASSERT_TRUE(site.setInternalTemperature(20));
  EXPECT_TRUE(site.serverSays("dout ac-1 CLEAR"));

  int status = site.stopDaemon(SIGTERM, 120000);
  EXPECT_EQ(status, 0) << (status == kValgrindErrorStatus ? "memcheck reported errors" : "");
  EXPECT_TRUE(site.daemon().waitForLine("ERROR SUMMARY: 0 errors", 1000, ChildProcess::kStderr));
  if (HasFailure()) {
    for (const std::string& line : site.daemon().history(ChildProcess::kStderr)) {
      std::printf("%s\n", line.c_str());
    }
  }
#endif
}

}  // namespace
