#include "DaemonSite.h"

DaemonSite::DaemonSite() : mServer(new VulosimProcess) {
  writeProperties(kSiteLogProperties);
  writeSettings(siteSettings());
  writeConstants(siteConstants());
}

DaemonSite::~DaemonSite() {
  mDaemon.stop();
  mServer->stop();
}

void DaemonSite::writeProperties(const std::string& content) {
  if (!content.empty()) {
    mEtc.write(kPropertiesFile, content);
  }
}

void DaemonSite::writeSettings(const ConfigElements& settings) {
  writeSettingsText(configXml(settings));
}

void DaemonSite::writeSettingsText(const std::string& xml) {
  if (!xml.empty()) {
    mEtc.write(kSettingsFile, xml);
  }
}

void DaemonSite::writeConstants(const ConfigElements& constants) {
  writeConstantsText(configXml(constants));
}

void DaemonSite::writeConstantsText(const std::string& xml) {
  if (!xml.empty()) {
    mEtc.write(kConstantsFile, xml);
  }
}

bool DaemonSite::startServer(int port, const std::vector<std::string>& extraArgs) {
  return mServer->startSite(kDaemonSiteFile, extraArgs, port);
}

bool DaemonSite::startDaemon() {
  return startSiteDaemon(mDaemon, mEtc.path(), mServer->port());
}

bool DaemonSite::restartServer() {
  const int port = mServer->port();
  mServer->stop();
  return restartSiteServer(mServer, kDaemonSiteFile, port);
}

bool DaemonSite::serverSays(const std::string& line, int timeoutMs) {
  return mServer->waitForLine(line, timeoutMs).has_value();
}
