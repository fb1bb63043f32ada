// Reads a room model file (see docs/simulation.md). ModelPorts.h ties its
// labels to the ports of a site.
//
//   <model>
//     <time step="1" factor="500" duration="86400" start="0"/>
//     <record interval="60"/>
//     <room heatCapacity="1000" initialTemperature="21"/>
//     <load watts="3000"/>            or <load><point hour="3" watts="2600"/>...</load>
//     <walls conductance="150"/>
//     <outside min="17" max="35" coldestHour="5" warmestHour="15"/>  or <outside csv="day.csv"/>
//     <probes internal="LABEL" external="LABEL" resolution="0.1" noise="0" seed="1"/>
//     <aircon number="1" label="LABEL" coolingWatts="3500" electricWatts="1300" failed="false"/>
//     <fan label="LABEL" airflow="1500" electricWatts="250"/>
//     <threshold name="emergency" temperature="40"/>
//   </model>
#ifndef VULOSIM_MODELFILE_H
#define VULOSIM_MODELFILE_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Profiles.h"

struct AirconSpec {
  int number = 1;  // 1 or 2
  std::string label;
  double coolingW = 0.0;
  double electricW = 0.0;
  // True: the unit starts the run failed: while its output is on it runs
  // and draws its electric power, but takes no heat out of the room.
  bool failed = false;
  long line = 0;  // line of the element in the model file, for messages
};

struct FanSpec {
  std::string label;
  // Airflow at 100 percent (m3/h); linear in the commanded speed.
  double airflowM3PerH = 0.0;
  // Electrical power at 100 percent (W); the cube of the speed below it.
  double electricW = 0.0;
  long line = 0;
};

struct ThresholdSpec {
  std::string name;  // one word
  double temperatureC = 0.0;
};

struct ModelSpec {
  // True: the clock stands still until the first client connects.
  bool waitForClient = false;
  // Simulated seconds per step (> 0).
  double stepS = 1.0;
  // Simulated seconds per real second (> 0).
  double factor = 1.0;
  // Simulated seconds of the run: a whole number of steps.
  double durationS = 86400.0;
  // Time of day at which the run starts (seconds after midnight, < 86400).
  double startClockS = 0.0;
  // Simulated seconds between CSV rows: a whole number of steps.
  double recordIntervalS = 60.0;

  double heatCapacityJPerK = 1.0;
  // Unset: the site file's value of the (first) internal probe.
  std::optional<double> initialC;
  DailyProfile loadW = DailyProfile::constant(0.0);
  double wallConductanceWPerK = 0.0;
  OutsideTemperature outside{DailyTemperatureCurve(0.0, 0.0, 0.0, 12.0)};

  std::string internalLabel;
  std::string externalLabel;
  double resolutionC = 0.0;
  double noiseC = 0.0;
  uint32_t seed = 1;
  long probesLine = 0;

  // At most two, numbers 1 and 2, in number order.
  std::vector<AirconSpec> aircons;
  std::optional<FanSpec> fan;
  std::vector<ThresholdSpec> thresholds;  // in file order

  // Steps in the run and between CSV rows.
  uint64_t totalSteps() const;
  uint64_t stepsPerRecord() const;
};

// True when `path` was read into `definition`. Otherwise false with `error`
// naming the file, the line where known, and the problem.
bool loadModelFile(const std::string& path, ModelSpec& definition, std::string& error);

#endif
