#include "SiteConfig.h"

#include <unistd.h>

const char* const kDaemonSiteFile = FRIGEL_TEST_DATA_DIR "/daemon-site.xml";

const char* const kPropertiesFile = "frigel.conf";
const char* const kSettingsFile = "frigel/frigelconfig.xml";
const char* const kConstantsFile = "frigel/frigelConstants.xml";

const char* const kSiteLogProperties =
    "log4cpp.rootCategory=INFO, console\n"
    "log4cpp.appender.console=ConsoleAppender\n"
    "log4cpp.appender.console.layout=PatternLayout\n"
    "log4cpp.appender.console.layout.ConversionPattern=%p %c: %m%n\n";

namespace {

constexpr int kRestartAttempts = 50;
constexpr useconds_t kRestartPauseMicroseconds = 100 * 1000;

ConfigElements merged(ConfigElements base, const ConfigElements& overrides) {
  for (const auto& [name, text] : overrides) {
    base[name] = text;
  }
  return base;
}

}  // namespace

std::string configXml(const ConfigElements& elements, const std::string& extraXml) {
  std::string xml = "<?xml version=\"1.0\"?>\n<config>\n";
  for (const auto& [name, text] : elements) {
    if (!text.empty()) {
      xml += "  <" + name + ">" + text + "</" + name + ">\n";
    }
  }
  return xml + extraXml + "</config>\n";
}

ConfigElements siteSettings(const ConfigElements& overrides) {
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

ConfigElements siteConstants(const ConfigElements& overrides) {
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

std::string siteRunDir(const std::string& etcDir) {
  return etcDir + "/run";
}

bool startSiteDaemon(ChildProcess& daemon, const std::string& etcDir, int serverPort,
                     const std::vector<std::string>& wrapper,
                     const std::map<std::string, std::string>& extraEnv) {
  std::vector<std::string> argv = wrapper;
  argv.push_back(FRIGEL_BIN_DIR "/frigel");
  std::map<std::string, std::string> env = extraEnv;
  env["FRIGEL_ETC"] = etcDir;
  // The status file stays in the temporary folder, never in /run.
  env["FRIGEL_RUN"] = siteRunDir(etcDir);
  env["VULOD_PORT"] = std::to_string(serverPort);
  return daemon.start(argv, env);
}

bool restartSiteServer(std::unique_ptr<VulosimProcess>& server, const std::string& siteFile,
                       int port) {
  for (int attempt = 0; attempt < kRestartAttempts; ++attempt) {
    server.reset(new VulosimProcess);
    if (server->startSite(siteFile, {}, port)) {
      return true;
    }
    ::usleep(kRestartPauseMicroseconds);  // the port may still be held
  }
  return false;
}
