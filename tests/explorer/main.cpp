// controller_explorer: walks every reachable state of the cooling
// controller and checks its invariants on every transition.
//
//   controller_explorer            the built-in table of configurations
//   controller_explorer --quick    its smaller part (sanitizer builds)
//   controller_explorer --etc DIR [--minimum-off-passes K] [--rest-passes R]
//                                  one site's settings and constants,
//                                  DIR/frigel/frigelconfig.xml and
//                                  DIR/frigel/frigelConstants.xml, with the
//                                  bridge holding starts for K passes, and
//                                  no rest shorter than R passes allowed
//                                  (default K); --below-emergency: only
//                                  inside temperatures below the emergency
//                                  pull-in
//
// Exit status: 0 every invariant holds, 1 one was broken (its shortest
// trace is printed) or the search was cut short, 2 bad usage or files.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Explorer.h"
#include "ExplorerTable.h"
#include "parameterFiles.h"

namespace {

// Timers longer than this make the search long.
constexpr uint32_t kLongTimerPasses = 20;

bool readable(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// A number of passes on the command line.
bool passCount(const char* text, long& passes) {
  char* end = nullptr;
  passes = std::strtol(text, &end, 10);
  return end != text && *end == '\0' && passes >= 0 && passes <= 1000000;
}

int usage() {
  std::fprintf(stderr,
               "usage: controller_explorer [--quick]\n"
               "       controller_explorer --etc DIR [--minimum-off-passes K] [--rest-passes R]\n"
               "                           [--below-emergency]\n");
  return 2;
}

// The site's own settings, read with the daemon's reader.
bool readSite(const std::string& etc, ControllerSettingValues& settings) {
  const std::string settingsFile = etc + "/frigel/frigelconfig.xml";
  const std::string constantsFile = etc + "/frigel/frigelConstants.xml";
  for (const std::string& file : {settingsFile, constantsFile}) {
    if (!readable(file)) {
      std::fprintf(stderr, "controller_explorer: cannot read %s\n", file.c_str());
      return false;
    }
  }
  readParameterFilesRecordingSetup(settingsFile.c_str(), constantsFile.c_str());
  settings = ControllerSettingValues::current();
  const uint32_t timers[] = {
      settings.aircon1MinimumRunTimeValue,      settings.aircon2MinimumRunTimeValue,
      settings.airconRunTimeAfterDropOutValue,  settings.fanMinimumRunTimePreCoolingValue,
      settings.fanMinimumRunTimePreAirconValue, settings.fanSpeedIncreaseTimeOutValue,
      settings.fanSpeedDecreaseTimeOutValue,    settings.fanRampDownTimeValue / 10,
      settings.fanRampUpTimeValue / 10};
  for (uint32_t passes : timers) {
    if (passes > kLongTimerPasses) {
      std::printf(
          "note: a timer of %u passes; the states grow with every timer's length, so scale "
          "the timers down to a few passes (keeping their order) for a complete search\n",
          passes);
      break;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  bool quick = false;
  std::string etc;
  long minimumOff = 0;
  long restPasses = -1;
  bool belowEmergency = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--quick") == 0) {
      quick = true;
    } else if (std::strcmp(argv[i], "--below-emergency") == 0) {
      belowEmergency = true;
    } else if (std::strcmp(argv[i], "--etc") == 0 && i + 1 < argc) {
      etc = argv[++i];
    } else if (std::strcmp(argv[i], "--minimum-off-passes") == 0 && i + 1 < argc) {
      if (!passCount(argv[++i], minimumOff)) {
        return usage();
      }
    } else if (std::strcmp(argv[i], "--rest-passes") == 0 && i + 1 < argc) {
      if (!passCount(argv[++i], restPasses)) {
        return usage();
      }
    } else {
      return usage();
    }
  }

  std::vector<ExplorerConfig> configs;
  if (etc.empty()) {
    configs = explorerTable(quick);
  } else {
    ExplorerConfig site;
    site.name = etc;
    if (!readSite(etc, site.settings)) {
      return 2;
    }
    site.minimumOffPasses = static_cast<uint32_t>(minimumOff);
    site.belowEmergency = belowEmergency;
    site.requiredRestPasses = static_cast<uint32_t>(restPasses >= 0 ? restPasses : minimumOff);
    configs.push_back(site);
  }

  bool allHold = true;
  for (const ExplorerConfig& config : configs) {
    const ExplorerResult result = explore(config);
    std::fputs(describeResult(config, result).c_str(), stdout);
    std::fflush(stdout);
    allHold = allHold && result.violations.empty() && result.complete;
  }
  std::puts(allHold ? "every invariant holds in every reachable state"
                    : "an invariant is broken, or a search was cut short");
  return allHold ? 0 : 1;
}
