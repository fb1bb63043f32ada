// Reads measured outdoor temperatures for a replay: an EnergyPlus weather
// file (EPW), a time,temperature CSV, or a CSV of daily minima and maxima
// spread over each day by a diurnal profile. docs/replay.md, "Weather
// files", describes each format and how it is read.
//
// Every malformed input is refused whole: the reader returns no series and
// a message naming the file and, where there is one, the line.
#ifndef FRIGEL_REPLAY_WEATHER_H
#define FRIGEL_REPLAY_WEATHER_H

#include <optional>
#include <string>

#include "CalendarTime.h"
#include "WeatherSeries.h"

enum class WeatherFormat {
  Detect,  // EPW by its first line LOCATION,...; daily by its header; else time,temperature
  Epw,     // EnergyPlus weather file
  TimeTemperature,  // time,temperature CSV
  Daily,            // daily minimum/maximum CSV
};

// "auto", "epw", "csv", "daily"; false for any other name.
bool parseWeatherFormat(const std::string& name, WeatherFormat& format);

struct WeatherReadOptions {
  WeatherFormat format = WeatherFormat::Detect;
  // Daily files with a location column: the place to read (any case).
  // "" reads a file of one place; a file of several places then is refused.
  // Must be "" for files without a location column.
  std::string location;
  // The year a typical-year EPW (months from different years) is put onto.
  int typicalYear = 2001;
  // The days to keep, both included (see selectDays); unset: from the
  // start, to the end.
  std::optional<CalendarDate> from;
  std::optional<CalendarDate> to;
};

// The format `text` would be read as with WeatherFormat::Detect.
WeatherFormat detectWeatherFormat(const std::string& text);

// The series in the file at `path`; nothing, with `error` ("path:line:
// problem", or "path: problem" for the file as a whole), when it cannot be
// read or anything in it is wrong.
std::optional<WeatherSeries> readWeatherFile(const std::string& path,
                                             const WeatherReadOptions& options, std::string& error);
// The same for a text already read; `file` is the name messages give.
std::optional<WeatherSeries> readWeatherText(const std::string& text, const std::string& file,
                                             const WeatherReadOptions& options, std::string& error);

#endif
