// The frigel-check binary: its exit status and report on the sample
// configuration, on a broken one, on files it cannot use, and against the
// object-server simulator.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "ChildProcess.h"
#include "TempDir.h"
#include "VulosimProcess.h"
#include "Loopback.h"

namespace {

const std::string kCheck = FRIGEL_BIN_DIR "/frigel-check";
const std::string kSampleEtc = FRIGEL_SOURCE_DIR "/etc";
const std::string kBrokenEtc = FRIGEL_TEST_DATA_DIR "/check/broken";

struct CheckRun {
  int status = -1;
  std::vector<std::string> out;
  std::vector<std::string> err;

  bool printed(const std::string& text) const {
    for (const std::string& line : out) {
      if (line.find(text) != std::string::npos) {
        return true;
      }
    }
    return false;
  }
  std::string all() const {
    std::string text;
    for (const std::string& line : out) {
      text += line + "\n";
    }
    return text;
  }
};

CheckRun runCheck(const std::vector<std::string>& arguments,
                  const std::map<std::string, std::string>& env = {{"FRIGEL_ETC", ""}}) {
  ChildProcess child;
  std::vector<std::string> argv = {kCheck};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  CheckRun run;
  if (!child.start(argv, env)) {
    ADD_FAILURE() << "cannot start " << kCheck;
    return run;
  }
  child.closeStdin();
  std::optional<int> status = child.wait(20000);
  EXPECT_TRUE(status.has_value()) << "frigel-check did not end";
  run.status = status.value_or(-1);
  child.pump(100);  // the last lines, if the reader is behind
  run.out = child.history(ChildProcess::kStdout);
  run.err = child.history(ChildProcess::kStderr);
  return run;
}

// A copy of the sample configuration with the settings file replaced.
std::string sampleWithSettings(const TempDir& dir, const std::string& settings) {
  dir.write("frigel.conf", readWholeFile(kSampleEtc + "/frigel.conf"));
  dir.write("frigel/frigelConstants.xml",
            readWholeFile(kSampleEtc + "/frigel/frigelConstants.xml"));
  dir.write("frigel/frigelconfig.xml", settings);
  return dir.path();
}

TEST(FrigelCheckTool, TheSampleConfigurationIsClean) {
  CheckRun run = runCheck({"--etc", kSampleEtc});
  EXPECT_EQ(run.status, 0) << run.all();
  ASSERT_FALSE(run.out.empty());
  EXPECT_EQ(run.out.back(), "summary: 0 errors, 0 warnings");
  EXPECT_TRUE(run.printed("constants file " + kSampleEtc + "/frigel/frigelConstants.xml"));
  EXPECT_TRUE(run.err.empty());
}

TEST(FrigelCheckTool, TheEtcFolderComesFromTheEnvironmentWithoutOption) {
  CheckRun run = runCheck({}, {{"FRIGEL_ETC", kSampleEtc}});
  EXPECT_EQ(run.status, 0) << run.all();
  EXPECT_TRUE(run.printed("properties file " + kSampleEtc + "/frigel.conf"));
}

// The whole report on a configuration with one mistake of each kind: every
// warning once, at its file and line, in a stable format.
TEST(FrigelCheckTool, TheReportOnABrokenConfigurationIsStable) {
  CheckRun run = runCheck({"--etc", kBrokenEtc});
  EXPECT_EQ(run.status, 1);
  std::string expected = readWholeFile(FRIGEL_TEST_DATA_DIR "/check/broken.expected");
  for (std::size_t at; (at = expected.find("@ETC@")) != std::string::npos;) {
    expected.replace(at, 5, kBrokenEtc);
  }
  EXPECT_EQ(run.all(), expected);
}

TEST(FrigelCheckTool, FilesThatCannotBeReadOrParsedExitWithTwo) {
  TempDir dir;
  dir.write("frigel/frigelconfig.xml", "<config><useFreeAir>1</config>\n");
  CheckRun run = runCheck({"--etc", dir.path()});
  EXPECT_EQ(run.status, 2) << run.all();
  EXPECT_TRUE(run.printed("error: " + dir.path() +
                          "/frigel.conf: cannot be read: No such file or "
                          "directory"));
  EXPECT_TRUE(
      run.printed("error: " + dir.path() + "/frigel/frigelconfig.xml:1: not well-formed XML"));
  EXPECT_TRUE(run.printed("error: " + dir.path() + "/frigel/frigelConstants.xml: cannot be read"));
  EXPECT_EQ(run.out.back(), "summary: 3 errors, 0 warnings");
  // The daemon reader's own "Failed to open xml file" stays out of the report.
  EXPECT_FALSE(run.printed("Failed to open xml file"));
  EXPECT_TRUE(run.err.empty());
}

TEST(FrigelCheckTool, HelpAndBadArguments) {
  CheckRun help = runCheck({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(help.printed("warning: FILE:LINE: MESSAGE"));
  EXPECT_TRUE(help.printed("Exit status: 0 when clean, 1 with warnings only, 2 with an error"));

  for (const std::vector<std::string>& bad : {std::vector<std::string>{"--server", "http"},
                                              {"--server", "70000"},
                                              {"--etc"},
                                              {"extra"}}) {
    CheckRun run = runCheck(bad);
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.out.empty());
    ASSERT_FALSE(run.err.empty());
    EXPECT_EQ(run.err.back(), "usage: frigel-check [--etc DIR] [--server PORT] [--help]");
  }
}

TEST(FrigelCheckTool, LabelsAreLookedUpOnTheObjectServer) {
  VulosimProcess server;
  ASSERT_TRUE(server.startSite(FRIGEL_TEST_DATA_DIR "/check/site.xml"));
  TempDir dir;
  const std::string etc =
      sampleWithSettings(dir,
                         "<config>\n"
                         "  <internalProbeLabel>t-twice</internalProbeLabel>\n"
                         "  <externalProbeLabel>t-ext</externalProbeLabel>\n"
                         "  <aircon><number>1</number><label>ac-twice</label></aircon>\n"
                         "  <aircon><number>2</number><label>ac-missing</label></aircon>\n"
                         "  <fan><label>fan-relay</label></fan>\n"
                         "  <useFreeAir>1</useFreeAir>\n"
                         "  <useFanInHiTemp>1</useFanInHiTemp>\n"
                         "  <goalTemperature>27</goalTemperature>\n"
                         "</config>\n");
  CheckRun run = runCheck({"--etc", etc, "--server", std::to_string(server.port())});
  EXPECT_EQ(run.status, 1) << run.all();
  const std::string settings = etc + "/frigel/frigelconfig.xml";
  // Found (the label is on a discrete input as well: no warning for that).
  EXPECT_TRUE(
      run.printed("  externalProbeLabel \"t-ext\": analogue input 1001/2; the label is "
                  "also on a discrete input (1002/2)"));
  for (const char* warning :
       {":2: \"t-twice\" is ambiguous: it labels 2 analogue inputs (1001/3, 1002/1); the daemon "
        "takes the last, 1002/1, for the internal probe",
        ":4: \"ac-twice\" is ambiguous: it labels 2 discrete outputs (2001/2, 2002/1); the daemon "
        "takes the first, 2001/2, for aircon 1",
        ":5: no port on the object server is labelled \"ac-missing\": the daemon cannot set up "
        "aircon 2",
        ":6: \"fan-relay\" is the label of a discrete output (2001/3), not of an analogue output: "
        "the daemon cannot set up the fan"}) {
    EXPECT_TRUE(run.printed("warning: " + settings + warning)) << warning;
  }
  EXPECT_TRUE(run.printed("summary: 0 errors, "));
}

// A loopback port that is bound but never listens: connections are refused.
class RefusingPort {
 public:
  RefusingPort() { mSocket = bindRefusingPort(mPort); }
  ~RefusingPort() {
    if (mSocket >= 0) {
      ::close(mSocket);
    }
  }
  RefusingPort(const RefusingPort&) = delete;
  RefusingPort& operator=(const RefusingPort&) = delete;
  int port() const { return mPort; }

 private:
  int mSocket = -1;
  int mPort = 0;
};

TEST(FrigelCheckTool, AnObjectServerThatCannotBeReachedExitsWithTwo) {
  RefusingPort refusing;
  ASSERT_GT(refusing.port(), 0);
  const std::string port = std::to_string(refusing.port());
  CheckRun run = runCheck({"--etc", kSampleEtc, "--server", port});
  EXPECT_EQ(run.status, 2) << run.all();
  EXPECT_TRUE(run.printed("error: 127.0.0.1:" + port +
                          ": cannot reach the object server: no labels were looked up"));
  EXPECT_EQ(run.out.back(), "summary: 1 error, 0 warnings");
}

}  // namespace
