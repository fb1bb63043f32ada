#include "SiteConfiguration.h"

#include <unistd.h>

#include <cmath>

#include "daemonKeys.h"
#include "etcPaths.h"
#include "parameterFiles.h"
#include "properties.h"

namespace {

// Tells whether the parameter reader could parse each file.
class ParseWatch : public ParameterFileObserver {
 public:
  void fileNotParsed(const char* path) override {
    if (failedPath.empty()) {
      failedPath = path;
    }
  }
  std::string failedPath;
};

bool readable(const std::string& path, std::string& error) {
  if (::access(path.c_str(), R_OK) != 0) {
    error = path + ": cannot read it";
    return false;
  }
  return true;
}

bool readProperties(const std::string& path, SiteConfiguration& site, std::string& error) {
  cProperties properties;
  if (!properties.load(path.c_str())) {
    error = path + ": cannot read it";
    return false;
  }
  const int period = properties.getInt(kPassPeriodKey, kDefaultPassPeriodMicroseconds);
  if (period <= 0) {
    error = path + ": " + kPassPeriodKey +
            " is absent or not above 0: the daemon then runs its literal loop, whose passes "
            "have no fixed length to replay; set the site's period";
    return false;
  }
  site.passMicroseconds =
      period < kMinimumPassPeriodMicroseconds ? kMinimumPassPeriodMicroseconds : period;
  site.minimumOffSeconds = airconHoldSeconds(properties.getString(kAirconMinimumOffKey, nullptr));
  site.noCoolingMinutes = decimalProperty(properties.getString(kAirconNoCoolingMinutesKey, nullptr),
                                          kDefaultAirconNoCoolingMinutes);
  site.noCoolingKelvin = decimalProperty(properties.getString(kAirconNoCoolingKelvinKey, nullptr),
                                         kDefaultAirconNoCoolingKelvin);
  site.startStaggerSeconds =
      airconHoldSeconds(properties.getString(kAirconStartStaggerKey, nullptr));
  return true;
}

}  // namespace

std::optional<SiteConfiguration> readSiteConfiguration(const std::string& etc, std::string& error) {
  SiteConfiguration site;
  site.etc = etc;
  const std::string properties = propertiesFilePathIn(etc);
  const std::string settings = settingsFilePathIn(etc);
  const std::string constants = constantsFilePathIn(etc);
  if (!readable(properties, error) || !readable(settings, error) || !readable(constants, error) ||
      !readProperties(properties, site, error)) {
    return std::nullopt;
  }

  zeroAllParameters();
  ParseWatch watch;
  const std::vector<PortSetupRequest> setup =
      readParameterFilesRecordingSetup(settings.c_str(), constants.c_str(), &watch);
  if (!watch.failedPath.empty()) {
    error = watch.failedPath + ": not a well-formed XML document";
    return std::nullopt;
  }
  site.settings = ControllerSettingValues::current();
  bool probes[2] = {false, false};
  for (const PortSetupRequest& request : setup) {
    if (request.kind == PortSetupRequest::InternalProbe && !request.label.empty()) {
      probes[0] = true;
    } else if (request.kind == PortSetupRequest::ExternalProbe && !request.label.empty()) {
      probes[1] = true;
    } else if (request.kind == PortSetupRequest::Aircon &&
               (request.number == 1 || request.number == 2)) {
      site.airconSetUp[request.number - 1] = true;
    }
  }
  if (!probes[0] || !probes[1]) {
    error = settings + ": no " + std::string(probes[0] ? "external" : "internal") +
            " probe label: the daemon would stay idle";
    return std::nullopt;
  }
  return site;
}

std::optional<ReplaySetup> replaySetup(const SiteConfiguration& site, int64_t passMicroseconds,
                                       const ModelSpec& model, std::string& error) {
  std::string problem;
  const std::optional<ControllerSettingValues> settings =
      rescalePassCounts(site.settings, site.passMicroseconds, passMicroseconds, problem);
  if (!settings) {
    error = site.etc + ": cannot be replayed with passes of " + std::to_string(passMicroseconds) +
            " microseconds:\n" + problem;
    return std::nullopt;
  }
  ReplaySetup setup;
  setup.settings = *settings;
  setup.passMicroseconds = passMicroseconds;
  setup.minimumOffMicroseconds = std::llround(site.minimumOffSeconds * 1e6);
  setup.startStaggerMicroseconds = std::llround(site.startStaggerSeconds * 1e6);
  // At most a day, as the daemon takes it.
  setup.noCoolingAfterMicroseconds =
      std::llround(std::min(site.noCoolingMinutes, 1440.0) * 60.0 * 1e6);
  setup.noCoolingKelvin = static_cast<float>(site.noCoolingKelvin);
  setup.airconSetUp[0] = site.airconSetUp[0];
  setup.airconSetUp[1] = site.airconSetUp[1];
  setup.model = model;
  return setup;
}
