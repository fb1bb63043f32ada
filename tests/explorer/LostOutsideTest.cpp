// With the outside probe lost, the daemon gives the controller an outside
// temperature that keeps outside air out. Over every reachable state of the
// controller, with every inside temperature that matters, free air then
// never draws outside air in: its step keeps the fan at its lowest speed.
#include <gtest/gtest.h>

#include "Explorer.h"
#include "ExplorerTable.h"
#include "daemonKeys.h"
#include "lostProbeValues.h"

namespace {

TEST(LostOutside, FreeAirDrawsNoOutsideAirIn) {
  for (uint8_t units = 0; units <= 2; ++units) {
    SCOPED_TRACE(std::to_string(units) + " units");
    ExplorerConfig config;
    config.name = "outside probe lost";
    config.settings = baseExplorerSettings();
    config.settings.useFreeAir = 1;
    config.settings.numberOfAircons = units;
    config.lostOutsideCelsius =
        freeAirBlockingOutsideCelsius(static_cast<float>(kDefaultProbeMaximumCelsius),
                                      config.settings.maximumExtAboveIntTemperature);
    const ExplorerResult result = explore(config);
    EXPECT_TRUE(result.complete);
    EXPECT_TRUE(result.violations.empty()) << describeResult(config, result);
  }
}

}  // namespace
