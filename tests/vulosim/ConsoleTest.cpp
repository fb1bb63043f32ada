// The simulator's console where the daemon's tests do not reach it (refused
// commands, the end of its input) and its life cycle, through the real
// binary: stop signals, arguments. The commands the tests drive a site with
// (ain, trend, get, count) are exercised by every bridge and daemon test.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <vector>

#include "ConsoleAnswers.h"
#include "RawClient.h"
#include "VulosimProcess.h"

namespace {

class VulosimConsole : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(sim.startSite(VULOSIM_TEST_SITE)); }
  VulosimProcess sim;
};

TEST_F(VulosimConsole, EachCommandNeedsAPortOfItsKind) {
  expectAnswers(sim, {
                         {"ain nope 1", "none nope"},
                         {"ain ac-1 1", "error no analogue input is labelled ac-1"},
                         {"trend fan 1 1", "error no analogue input is labelled fan"},
                         {"freeze door", "error no analogue input is labelled door"},
                         {"thaw nope", "none nope"},
                         {"fail ac-1", "error no room model is running (--model)"},
                         {"get ac-1", "state ac-1 CLEAR"},
                     });
}

TEST_F(VulosimConsole, AnythingElseIsAnErrorAndChangesNothing) {
  expectAnswers(
      sim, {
               {"foo bar", "error unknown command 'foo'"},
               {"get", "error usage: get LABEL"},
               {"ain temp-in warm", "error bad value 'warm', expected a number"},
               {"trend temp-in 1 x", "error bad sequence number 'x', expected 0 to 4294967295"},
               {"get temp-in", "value temp-in 21.5"},
               {std::string(5000, 'x'), "error line too long"},
               {"get temp-in", "value temp-in 21.5"},
           });
}

TEST_F(VulosimConsole, EndOfInputDoesNotStopServing) {
  sim.closeStdin();
  RawClient client;
  ASSERT_TRUE(client.connect(sim.port()));
  auto reply = client.query("temp-in", PORT_TYPE_ANALOG_IN);
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->objects.size(), 1u);
  EXPECT_TRUE(sim.running());
  sim.sendSignal(SIGTERM);
  EXPECT_EQ(sim.wait(), 0);
}

TEST(VulosimLife, StopSignalsExitWithStatusZero) {
  for (int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal);
    VulosimProcess sim;
    ASSERT_TRUE(sim.startSite(VULOSIM_TEST_SITE));
    RawClient client;  // a connected client must not keep it alive
    ASSERT_TRUE(client.connect(sim.port()));
    ASSERT_TRUE(sim.waitForLine("connected 1"));
    sim.sendSignal(signal);
    EXPECT_EQ(sim.wait(), 0);
  }
}

TEST(VulosimLife, RunsWithStandardInputAtItsEnd) {
  // Like `vulosim ... </dev/null`: input ends before any command.
  VulosimProcess sim;
  ASSERT_TRUE(
      sim.start({VulosimProcess::binaryPath(), "--site", VULOSIM_TEST_SITE, "--port", "0"}));
  sim.closeStdin();
  auto ready = sim.waitForPrefix("ready ");
  ASSERT_TRUE(ready);
  RawClient client;
  ASSERT_TRUE(client.connect(std::stoi(ready->substr(6))));
  EXPECT_TRUE(sim.waitForLine("connected 1"));
  EXPECT_TRUE(sim.running());
  sim.sendSignal(SIGINT);
  EXPECT_EQ(sim.wait(), 0);
}

TEST(VulosimLife, BadArgumentsPrintUsageAndExitTwo) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"--port", "0"},
      {"--site"},
      {"--site", VULOSIM_TEST_SITE, "--port"},
      {"--site", VULOSIM_TEST_SITE, "--port", "65536"},
      {"--site", VULOSIM_TEST_SITE, "--port", "-1"},
      {"--site", VULOSIM_TEST_SITE, "--port", "12ab"},
      {"--site", VULOSIM_TEST_SITE, "--verbose"},
      {"--site", VULOSIM_TEST_SITE, "--log-all-sets=yes"},
      {"--site", VULOSIM_TEST_SITE, "extra"},
  };
  for (const auto& arguments : cases) {
    std::vector<std::string> argv = {VulosimProcess::binaryPath()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    SCOPED_TRACE(::testing::PrintToString(arguments));
    ChildProcess sim;
    ASSERT_TRUE(sim.start(argv));
    EXPECT_EQ(sim.wait(), 2);
    EXPECT_TRUE(sim.waitForLine("usage: vulosim --site FILE", 1000, ChildProcess::kStderr));
    EXPECT_EQ(sim.countLines("ready"), 0u);
  }
}

TEST(VulosimLife, HelpPrintsTheOptionsAndExitsZero) {
  ChildProcess sim;
  ASSERT_TRUE(sim.start({VulosimProcess::binaryPath(), "--help"}));
  EXPECT_EQ(sim.wait(), 0);
  EXPECT_TRUE(sim.waitForLine("usage: vulosim --site FILE", 1000));
  EXPECT_TRUE(sim.waitForLine("Exit status:", 1000));
}

}  // namespace
