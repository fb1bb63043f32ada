// The reader of each weather format (see Weather.h for the formats). Each
// takes a file's whole text and the name to report, and throws
// WeatherInputError at the first problem.
#ifndef FRIGEL_REPLAY_WEATHERREADERS_H
#define FRIGEL_REPLAY_WEATHERREADERS_H

#include <string>

#include "WeatherSeries.h"

// An EnergyPlus weather file. A typical year (rows from several years) is
// put onto `typicalYear`.
WeatherSeries readEpw(const std::string& text, const std::string& file, int typicalYear);

// time,temperature lines, with an optional header line.
WeatherSeries readTimeTemperatureCsv(const std::string& text, const std::string& file);

// True when `headerLine` names the columns of a daily minimum/maximum file.
bool isDailyHeader(const std::string& headerLine);
// Daily minima and maxima, spread over each day by the diurnal profile.
// `location` picks one of several places ("" for a file of one place).
WeatherSeries readDailyMinMax(const std::string& text, const std::string& file,
                              const std::string& location);

#endif
