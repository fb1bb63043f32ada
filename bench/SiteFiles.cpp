#include "SiteFiles.h"

#include <sys/stat.h>

#include <fstream>

namespace {

bool writeFile(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::trunc);
  file << text;
  return static_cast<bool>(file);
}

const char* const kSettings = R"(<?xml version="1.0"?>
<config>
  <internalProbeLabel>t-int</internalProbeLabel>
  <externalProbeLabel>t-ext</externalProbeLabel>
  <aircon><number>1</number><label>ac-1</label></aircon>
  <fan><label>fan</label></fan>
  <airconRotation>0</airconRotation>
  <useFreeAir>0</useFreeAir>
  <useFanInHiTemp>0</useFanInHiTemp>
  <goalTemperature>24</goalTemperature>
</config>
)";

const char* const kConstants = R"(<?xml version="1.0"?>
<config>
  <numberOfAircons>1</numberOfAircons>
  <coolingPullIn>25</coolingPullIn>
  <aircon1PullIn>30</aircon1PullIn>
  <aircon1DropOut>26</aircon1DropOut>
  <aircon2PullIn>33</aircon2PullIn>
  <aircon2DropOut>29</aircon2DropOut>
  <hiTemperaturePullIn>40</hiTemperaturePullIn>
  <hiTemperatureDropOut>36</hiTemperatureDropOut>
  <hiTempFanPullIn>42</hiTempFanPullIn>
  <maximumExtAboveIntTemperature>-2</maximumExtAboveIntTemperature>
  <aircon1MinimumRunTimeValue>1</aircon1MinimumRunTimeValue>
  <aircon2MinimumRunTimeValue>1</aircon2MinimumRunTimeValue>
  <airconRunTimeAfterDropOutValue>1</airconRunTimeAfterDropOutValue>
  <fanMinimumRunTimePreCoolingValue>10</fanMinimumRunTimePreCoolingValue>
  <fanMinimumRunTimePreAirconValue>10</fanMinimumRunTimePreAirconValue>
  <fanRampDownTimeValue>100</fanRampDownTimeValue>
  <fanRampUpTimeValue>100</fanRampUpTimeValue>
  <fanSpeedIncreaseTimeOutValue>10</fanSpeedIncreaseTimeOutValue>
  <fanSpeedDecreaseTimeOutValue>10</fanSpeedDecreaseTimeOutValue>
  <fanSpeedStepUpSize>10</fanSpeedStepUpSize>
  <fanSpeedStepDownSize>5</fanSpeedStepDownSize>
</config>
)";

}  // namespace

bool writeSiteFiles(const std::string& etcDir) {
  ::mkdir((etcDir + "/frigel").c_str(), 0755);
  return writeFile(etcDir + "/frigel/frigelconfig.xml", kSettings) &&
         writeFile(etcDir + "/frigel/frigelConstants.xml", kConstants);
}

bool writeProperties(const std::string& etcDir, int passPeriodMicroseconds) {
  std::string text =
      "log4cpp.rootCategory=INFO, console\n"
      "log4cpp.appender.console=ConsoleAppender\n"
      "log4cpp.appender.console.layout=PatternLayout\n"
      "log4cpp.appender.console.layout.ConversionPattern=%p %c: %m%n\n";
  if (passPeriodMicroseconds > 0) {
    text += "PassPeriodMicroseconds=" + std::to_string(passPeriodMicroseconds) + "\n";
  }
  return writeFile(etcDir + "/frigel.conf", text);
}
