// A site's configuration as a replay needs it, read from its folder of the
// daemon's three files with the daemon's own readers: the controller's
// settings, the length of a pass, and the bridge's minimum off time and
// start stagger.
#ifndef FRIGEL_REPLAY_SITECONFIGURATION_H
#define FRIGEL_REPLAY_SITECONFIGURATION_H

#include <cstdint>
#include <optional>
#include <string>

#include "daemonKeys.h"

#include "ModelFile.h"
#include "PassRescale.h"
#include "SpanReplay.h"

struct SiteConfiguration {
  std::string etc;  // the folder, as given
  ControllerSettingValues settings;
  // PassPeriodMicroseconds, raised to the daemon's shortest period.
  int64_t passMicroseconds = 0;
  // AirconMinimumOffSeconds and AirconStartStaggerSeconds as the daemon
  // reads them; 0: off.
  double minimumOffSeconds = 0.0;
  double startStaggerSeconds = 0.0;
  // The no-cooling alarm: a unit alone this long without the room falling
  // this much (AirconNoCoolingMinutes, AirconNoCoolingKelvin).
  double noCoolingMinutes = kDefaultAirconNoCoolingMinutes;
  double noCoolingKelvin = kDefaultAirconNoCoolingKelvin;
  // The settings file sets up air conditioner 1, 2: the daemon drives only
  // those.
  bool airconSetUp[2] = {false, false};
};

// The configuration in `etc` (etc/frigel.conf, etc/frigel/frigelconfig.xml,
// etc/frigel/frigelConstants.xml). Nothing, with `error` naming the file,
// when one cannot be read or parsed, when the properties give no exact pass
// length (the literal loop's passes have no fixed length to replay), or
// when the settings file names no probe (the daemon would stay idle).
std::optional<SiteConfiguration> readSiteConfiguration(const std::string& etc, std::string& error);

// The replay of `site` in `model` at passes of `passMicroseconds`: its pass
// counts rescaled, its holds in microseconds. Nothing, with `error` naming
// the folder and every setting that does not divide, when one does not.
std::optional<ReplaySetup> replaySetup(const SiteConfiguration& site, int64_t passMicroseconds,
                                       const ModelSpec& model, std::string& error);

#endif
