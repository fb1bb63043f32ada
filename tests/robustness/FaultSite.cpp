#include "FaultSite.h"

#include <signal.h>

#include <fstream>
#include <sstream>

std::string defaultSettings(const std::string& extraElements) {
  return configXml(siteSettings(), extraElements);
}

std::string defaultConstants() {
  return configXml(siteConstants());
}

FaultSite::FaultSite() : mSiteFile(kDaemonSiteFile), mServer(new VulosimProcess) {
  // A simulator killed under a test must not take the test with it.
  ::signal(SIGPIPE, SIG_IGN);
  writeProperties(std::string(kSiteLogProperties) + "SyncTime=1\n");
  writeSettings(defaultSettings());
  writeConstants(defaultConstants());
}

FaultSite::~FaultSite() {
  mDaemon.stop();
  mServer->stop();
}

void FaultSite::writeProperties(const std::string& text) {
  mEtc.write(kPropertiesFile, text);
}

void FaultSite::writeSettings(const std::string& text) {
  mEtc.write(kSettingsFile, text);
}

void FaultSite::writeConstants(const std::string& text) {
  mEtc.write(kConstantsFile, text);
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
  return restartSiteServer(mServer, mSiteFile, mPort);
}

bool FaultSite::startDaemon(const std::vector<std::string>& wrapper,
                            const std::map<std::string, std::string>& extraEnv) {
  return startSiteDaemon(mDaemon, mEtc.path(), mPort, wrapper, extraEnv);
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
