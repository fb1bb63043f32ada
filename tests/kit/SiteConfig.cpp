#include "SiteConfig.h"

#include <memory>

#include "LoopbackServer.h"

const char* const kDaemonSiteFile = FRIGEL_TEST_DATA_DIR "/daemon-site.xml";

const char* const kPropertiesFile = "frigel.conf";
const char* const kSettingsFile = "frigel/frigelconfig.xml";
const char* const kConstantsFile = "frigel/frigelConstants.xml";

const char* const kSiteLogProperties =
    "log4cpp.rootCategory=INFO, console\n"
    "log4cpp.appender.console=ConsoleAppender\n"
    "log4cpp.appender.console.layout=PatternLayout\n"
    "log4cpp.appender.console.layout.ConversionPattern=%p %c: %m%n\n";

const char* const kRepollEverySecond = "SyncTime=1\n";

namespace {

// The settings for the site's labels.
const ConfigElements kSiteSettings = {
    {"internalProbeLabel", "t-int"},
    {"externalProbeLabel", "t-ext"},
    {"aircon", "<number>1</number><label>ac-1</label>"},
    {"fan", "<label>fan</label>"},
    {"airconRotation", "0"},
    {"useFreeAir", "0"},
    {"useFanInHiTemp", "0"},
    {"goalTemperature", "24"},
};

// The constants for one air conditioner with short durations.
const ConfigElements kSiteConstants = {
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
  return merged(kSiteSettings, overrides);
}

ConfigElements siteConstants(const ConfigElements& overrides) {
  return merged(kSiteConstants, overrides);
}

std::string siteRunDir(const std::string& etcDir) {
  return etcDir + "/run";
}

std::vector<std::unique_ptr<cObjectPort>> daemonSitePorts() {
  // As in tests/data/daemon-site.xml.
  auto port = [](std::unique_ptr<cObjectPort> made, uint32_t serial, uint32_t id,
                 const char* label) {
    made->setDeviceSerial(serial);
    made->setPortId(id);
    made->setPortLabel(label);
    return made;
  };
  auto probe = [&](uint32_t id, const char* label, float value) {
    auto input = std::make_unique<cObjectAInput>();
    input->setCalculatedValue(value);
    return port(std::move(input), 1001, id, label);
  };
  auto aircon = [&](uint32_t id, const char* label) {
    auto output = std::make_unique<cObjectDOutput>();
    output->setOutputState(OBJ_IO_STATE_CLEAR);
    return port(std::move(output), 2002, id, label);
  };
  auto fan = std::make_unique<cObjectAOutput>();
  fan->setOutputValue(50);
  std::vector<std::unique_ptr<cObjectPort>> ports;
  ports.push_back(probe(1, "t-int", 20));
  ports.push_back(probe(2, "t-ext", 15));
  ports.push_back(aircon(1, "ac-1"));
  ports.push_back(aircon(2, "ac-2"));
  ports.push_back(port(std::move(fan), 2002, 3, "fan"));
  return ports;
}

void addDaemonSitePorts(LoopbackServer& server) {
  for (std::unique_ptr<cObjectPort>& port : daemonSitePorts()) {
    server.addPort(std::move(port));
  }
}

bool startSiteDaemon(ChildProcess& daemon, const std::string& etcDir, int serverPort,
                     const SiteDaemonOptions& options) {
  std::vector<std::string> argv = options.wrapper;
  argv.push_back(options.program);
  std::map<std::string, std::string> env = options.extraEnv;
  env["FRIGEL_ETC"] = etcDir;
  // The status file stays in the configuration folder, never in /run.
  env["FRIGEL_RUN"] = siteRunDir(etcDir);
  env["VULOD_PORT"] = std::to_string(serverPort);
  return daemon.start(argv, env, options.outputFile);
}
