// time,temperature lines: the time YYYY-MM-DDTHH:MM[:SS][Z] or YYYY-MM-DD
// HH:MM[:SS][Z], the temperature in degrees Celsius. A first line whose
// first field does not start with a digit is a header.
#include <cctype>
#include <string>
#include <vector>

#include "WeatherReaders.h"
#include "WeatherText.h"

WeatherSeries readTimeTemperatureCsv(const std::string& text, const std::string& file) {
  TextLines lines(text);
  std::string line;
  std::vector<std::string> fields;
  std::vector<WeatherPoint> points;
  TimeOnLine previous;
  bool firstLine = true;
  while (lines.nextWithContent(line)) {
    const long number = lines.number();
    splitCsvFields(line, number, fields);
    const bool header =
        firstLine && !fields[0].empty() && !std::isdigit(static_cast<unsigned char>(fields[0][0]));
    firstLine = false;
    if (header) {
      continue;
    }
    if (fields.size() != 2) {
      throw WeatherInputError(
          number, "expected 2 fields (time,temperature), found " + std::to_string(fields.size()));
    }
    TimeOnLine current{0, number};
    std::string problem;
    if (!parseDateTime(fields[0], current.unixSeconds, problem)) {
      throw WeatherInputError(number, "time '" + fields[0] + "' " + problem);
    }
    const double celsius = readCelsius(fields[1], "temperature", number);
    requireLater(previous, current, "time " + formatUnixSeconds(current.unixSeconds));
    previous = current;
    points.push_back({current.unixSeconds, celsius});
  }
  if (points.empty()) {
    throw WeatherInputError(0, "no time,temperature lines");
  }
  return WeatherSeries(std::move(points), WeatherOrigin{file, "time,temperature CSV", "", ""});
}
