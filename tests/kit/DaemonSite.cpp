#include "DaemonSite.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

constexpr int kRestartAttempts = 50;
constexpr useconds_t kRestartPauseMicroseconds = 100 * 1000;

}  // namespace

DaemonSite::DaemonSite(const std::string& extraProperties)
    : mSiteFile(kDaemonSiteFile), mServer(new VulosimProcess), mDaemon(new ChildProcess) {
  // A simulator killed under a test must not take the test with it.
  ::signal(SIGPIPE, SIG_IGN);
  writeProperties(kSiteLogProperties + extraProperties);
  writeSettings(siteSettings());
  writeConstants(siteConstants());
}

DaemonSite::~DaemonSite() {
  mDaemon->stop();
  mServer->stop();
}

void DaemonSite::writeProperties(const std::string& text) {
  mEtc.write(kPropertiesFile, text);
}

void DaemonSite::writeSettings(const ConfigElements& settings) {
  writeSettingsText(configXml(settings));
}

void DaemonSite::writeSettingsText(const std::string& xml) {
  mEtc.write(kSettingsFile, xml);
}

void DaemonSite::writeConstants(const ConfigElements& constants) {
  writeConstantsText(configXml(constants));
}

void DaemonSite::writeConstantsText(const std::string& xml) {
  mEtc.write(kConstantsFile, xml);
}

void DaemonSite::writeSiteFile(const std::string& text) {
  mSiteFile = mEtc.write("site.xml", text);
}

std::string DaemonSite::writeEtcFile(const std::string& relativePath, const std::string& content) {
  return mEtc.write(relativePath, content);
}

void DaemonSite::removeEtcFile(const std::string& relativePath) {
  std::error_code ignored;
  std::filesystem::remove(mEtc.path() + "/" + relativePath, ignored);
}

nlohmann::json DaemonSite::readStatus() const {
  std::ifstream in(runDir() + "/status");
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  nlohmann::json status = nlohmann::json::parse(text, nullptr, false);
  return status.is_discarded() ? nlohmann::json() : status;
}

bool DaemonSite::startServer(const std::vector<std::string>& extraArgs) {
  if (!mServer->startSite(mSiteFile, extraArgs)) {
    return false;
  }
  mPort = mServer->port();
  return true;
}

void DaemonSite::killServer() {
  mServer->sendSignal(SIGKILL);
  mServer->wait(kWaitMs);
}

bool DaemonSite::restartServer() {
  mServer->stop();
  for (int attempt = 0; attempt < kRestartAttempts; ++attempt) {
    mServer.reset(new VulosimProcess);
    if (mServer->startSite(mSiteFile, {}, mPort)) {
      return true;
    }
    ::usleep(kRestartPauseMicroseconds);  // the port may still be held
  }
  return false;
}

bool DaemonSite::startDaemon(const std::vector<std::string>& wrapper,
                             const std::map<std::string, std::string>& extraEnv) {
  SiteDaemonOptions options;
  options.wrapper = wrapper;
  options.extraEnv = extraEnv;
  if (mDaemon->pid() > 0) {
    mDaemon->stop();
    mDaemon.reset(new ChildProcess);
  }
  return startSiteDaemon(*mDaemon, mEtc.path(), mPort, options);
}

int DaemonSite::stopDaemon(int sig, int timeoutMs) {
  mDaemon->sendSignal(sig);
  auto status = mDaemon->wait(timeoutMs);
  return status ? *status : -1;
}

bool DaemonSite::serverSays(const std::string& text, int timeoutMs) {
  return mServer->waitForLine(text, timeoutMs).has_value();
}

bool DaemonSite::setInternalTemperature(double celsius) {
  std::ostringstream value;
  value << celsius;
  mServer->writeLine("ain t-int " + value.str());
  // The console handles lines in order: the answer means the events went out.
  return mServer->ask("get t-int", "value t-int", kWaitMs) == "value t-int " + value.str();
}
