#include "FaultSite.h"

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

constexpr int kRestartAttempts = 50;
constexpr useconds_t kRestartPauseMicroseconds = 100 * 1000;

std::string element(const std::string& name, const std::string& text) {
  return "<" + name + ">" + text + "</" + name + ">";
}

}  // namespace

std::string defaultSettings(const std::string& extraElements) {
  return "<?xml version=\"1.0\"?>\n<config>" + element("internalProbeLabel", "t-int") +
         element("externalProbeLabel", "t-ext") +
         "<aircon><number>1</number><label>ac-1</label></aircon><fan><label>fan</label></fan>" +
         element("useFreeAir", "0") + element("goalTemperature", "24") + extraElements +
         "</config>\n";
}

std::string defaultConstants() {
  const std::pair<const char*, const char*> constants[] = {
      {"numberOfAircons", "1"},
      {"coolingPullIn", "25"},
      {"aircon1PullIn", "30"},
      {"aircon1DropOut", "26"},
      {"aircon2PullIn", "33"},
      {"aircon2DropOut", "29"},
      {"hiTemperaturePullIn", "40"},
      {"hiTemperatureDropOut", "36"},
      {"hiTempFanPullIn", "42"},
      {"maximumExtAboveIntTemperature", "-2"},
      {"aircon1MinimumRunTimeValue", "20"},
      {"aircon2MinimumRunTimeValue", "20"},
      {"airconRunTimeAfterDropOutValue", "20"},
      {"fanMinimumRunTimePreCoolingValue", "20"},
      {"fanMinimumRunTimePreAirconValue", "20"},
      {"fanRampDownTimeValue", "100"},
      {"fanRampUpTimeValue", "100"},
      {"fanSpeedIncreaseTimeOutValue", "10"},
      {"fanSpeedDecreaseTimeOutValue", "10"},
      {"fanSpeedStepUpSize", "10"},
      {"fanSpeedStepDownSize", "5"},
  };
  std::string xml = "<?xml version=\"1.0\"?>\n<config>";
  for (const auto& [name, text] : constants) {
    xml += element(name, text);
  }
  return xml + "</config>\n";
}

FaultSite::FaultSite()
    : mSiteFile(FRIGEL_TEST_DATA_DIR "/daemon-site.xml"), mServer(new VulosimProcess) {
  // A simulator killed under a test must not take the test with it.
  ::signal(SIGPIPE, SIG_IGN);
  writeProperties(
      "log4cpp.rootCategory=INFO, console\n"
      "log4cpp.appender.console=ConsoleAppender\n"
      "log4cpp.appender.console.layout=PatternLayout\n"
      "log4cpp.appender.console.layout.ConversionPattern=%p %c: %m%n\n"
      "SyncTime=1\n");
  writeSettings(defaultSettings());
  writeConstants(defaultConstants());
}

FaultSite::~FaultSite() {
  mDaemon.stop();
  mServer->stop();
}

void FaultSite::writeProperties(const std::string& text) {
  mEtc.write("frigel.conf", text);
}

void FaultSite::writeSettings(const std::string& text) {
  mEtc.write("frigel/frigelconfig.xml", text);
}

void FaultSite::writeConstants(const std::string& text) {
  mEtc.write("frigel/frigelConstants.xml", text);
}

void FaultSite::writeSiteFile(const std::string& text) {
  mSiteFile = mEtc.write("site.xml", text);
}

std::string FaultSite::writeEtcFile(const std::string& relativePath, const std::string& content) {
  return mEtc.write(relativePath, content);
}

bool FaultSite::startServer() {
  if (!mServer->startSite(mSiteFile)) {
    return false;
  }
  mPort = mServer->port();
  return true;
}

void FaultSite::killServer() {
  mServer->sendSignal(SIGKILL);
  mServer->wait(kWaitMs);
}

bool FaultSite::restartServer() {
  for (int attempt = 0; attempt < kRestartAttempts; ++attempt) {
    mServer.reset(new VulosimProcess);
    if (mServer->startSite(mSiteFile, {}, mPort)) {
      return true;
    }
    ::usleep(kRestartPauseMicroseconds);  // the port may still be held
  }
  return false;
}

bool FaultSite::startDaemon(const std::vector<std::string>& wrapper,
                            const std::map<std::string, std::string>& extraEnv) {
  std::vector<std::string> argv = wrapper;
  argv.push_back(FRIGEL_BIN_DIR "/frigel");
  std::map<std::string, std::string> env = extraEnv;
  env["FRIGEL_ETC"] = mEtc.path();
  env["VULOD_PORT"] = std::to_string(mPort);
  return mDaemon.start(argv, env);
}

int FaultSite::stopDaemon(int timeoutMs) {
  mDaemon.sendSignal(SIGTERM);
  auto status = mDaemon.wait(timeoutMs);
  return status ? *status : -1;
}

long FaultSite::daemonRssKb() const {
  std::ifstream status("/proc/" + std::to_string(mDaemon.pid()) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) {
      return std::stol(line.substr(6));
    }
  }
  return -1;
}

bool FaultSite::serverSays(const std::string& text, int timeoutMs) {
  return mServer->waitForLine(text, timeoutMs).has_value();
}

bool FaultSite::setInternalTemperature(double celsius) {
  std::ostringstream value;
  value << celsius;
  mServer->writeLine("ain t-int " + value.str());
  // The console handles lines in order: the answer means the events went out.
  return mServer->ask("get t-int", "value t-int", kWaitMs) == "value t-int " + value.str();
}
