// Where the translator looks for the object server: VULOD_PORT, if it is a
// port number, else 60000. Each case runs in a child process, because the
// port is read while the process-wide translator is constructed.
#include <string>

#include <gtest/gtest.h>

#include "BridgeFixture.h"
#include "ChildProcess.h"

namespace {

using BridgeServerPort = BridgeTest;

struct ChildRun {
  std::string stdoutText;
  std::string stderrText;
};

ChildRun runWithPort(const std::string& vulodPort) {
  ChildProcess child;
  ChildRun run;
  if (!child.start({BRIDGE_PORT_CHILD}, {{"VULOD_PORT", vulodPort}})) {
    ADD_FAILURE() << "could not start " << BRIDGE_PORT_CHILD;
    return run;
  }
  EXPECT_EQ(child.wait(30000), 0);
  for (const std::string& line : child.history(ChildProcess::kStdout)) {
    run.stdoutText += line + "\n";
  }
  for (const std::string& line : child.history(ChildProcess::kStderr)) {
    run.stderrText += line + "\n";
  }
  return run;
}

TEST_F(BridgeServerPort, ValidPortIsUsedSilently) {
  ChildRun run = runWithPort(std::to_string(sim().port()));
  EXPECT_EQ(run.stdoutText, "fan found\n");
  EXPECT_EQ(run.stderrText.find("VULOD_PORT"), std::string::npos) << run.stderrText;
}

TEST_F(BridgeServerPort, InvalidPortKeepsTheDefaultAndSaysSo) {
  for (const char* value : {"abc", "0", "65536", "+80", "80x", " 80", "99999999999999999999"}) {
    ChildRun run = runWithPort(value);
    const std::string expected =
        "VULOD_PORT '" + std::string(value) + "' is not a port number; using 60000";
    EXPECT_NE(run.stderrText.find(expected), std::string::npos) << value << "\n" << run.stderrText;
  }
}

}  // namespace
