#include "DaemonSite.h"

namespace {

std::string configXml(const Elements& elements) {
  std::string xml = "<?xml version=\"1.0\"?>\n<config>\n";
  for (const auto& [name, text] : elements) {
    if (!text.empty()) {
      xml += "  <" + name + ">" + text + "</" + name + ">\n";
    }
  }
  return xml + "</config>\n";
}

Elements merged(Elements base, const Elements& overrides) {
  for (const auto& [name, text] : overrides) {
    base[name] = text;
  }
  return base;
}

const char* const kSiteFile = FRIGEL_TEST_DATA_DIR "/daemon-site.xml";

}  // namespace

Elements siteSettings(const Elements& overrides) {
  return merged(
      {
          {"internalProbeLabel", "t-int"},
          {"externalProbeLabel", "t-ext"},
          {"aircon", "<number>1</number><label>ac-1</label>"},
          {"fan", "<label>fan</label>"},
          {"airconRotation", "0"},
          {"useFreeAir", "0"},
          {"useFanInHiTemp", "0"},
          {"goalTemperature", "24"},
      },
      overrides);
}

Elements siteConstants(const Elements& overrides) {
  return merged(
      {
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
      },
      overrides);
}

DaemonSite::DaemonSite() : mServer(new VulosimProcess) {
  writeProperties(
      "log4cpp.rootCategory=INFO, console\n"
      "log4cpp.appender.console=ConsoleAppender\n"
      "log4cpp.appender.console.layout=PatternLayout\n"
      "log4cpp.appender.console.layout.ConversionPattern=%p %c: %m%n\n");
  writeSettings(siteSettings());
  writeConstants(siteConstants());
}

DaemonSite::~DaemonSite() {
  mDaemon.stop();
  mServer->stop();
}

void DaemonSite::writeProperties(const std::string& content) {
  if (!content.empty()) {
    mEtc.write("frigel.conf", content);
  }
}

void DaemonSite::writeSettings(const Elements& settings) {
  writeSettingsText(configXml(settings));
}

void DaemonSite::writeSettingsText(const std::string& xml) {
  if (!xml.empty()) {
    mEtc.write("frigel/frigelconfig.xml", xml);
  }
}

void DaemonSite::writeConstants(const Elements& constants) {
  writeConstantsText(configXml(constants));
}

void DaemonSite::writeConstantsText(const std::string& xml) {
  if (!xml.empty()) {
    mEtc.write("frigel/frigelConstants.xml", xml);
  }
}

bool DaemonSite::startServer(int port, const std::vector<std::string>& extraArgs) {
  return mServer->startSite(kSiteFile, extraArgs, port);
}

bool DaemonSite::startDaemon() {
  return mDaemon.start({FRIGEL_BIN_DIR "/frigel"},
                       {{"FRIGEL_ETC", mEtc.path()},
                        {"FRIGEL_RUN", runDir()},
                        {"VULOD_PORT", std::to_string(mServer->port())}});
}

bool DaemonSite::restartServer() {
  int port = mServer->port();
  mServer->stop();
  mServer.reset(new VulosimProcess);
  return mServer->startSite(kSiteFile, {}, port);
}

bool DaemonSite::serverSays(const std::string& line, int timeoutMs) {
  return mServer->waitForLine(line, timeoutMs).has_value();
}
