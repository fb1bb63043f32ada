#include "Weather.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "WeatherReaders.h"
#include "WeatherText.h"

namespace {

// Far more than any weather file (61 years of hourly EPW lines are about
// 100 MB): a larger file is refused rather than read into memory.
constexpr long kLargestFileBytes = 256L * 1024 * 1024;

// The whole file into `text`; false with `problem` when it cannot be read.
bool readWholeFile(const std::string& path, std::string& text, std::string& problem) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                             &std::fclose);
  if (!file) {
    problem = std::strerror(errno);
    return false;
  }
  char buffer[65536];
  std::size_t count = 0;
  while ((count = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
    if (text.size() + count > static_cast<std::size_t>(kLargestFileBytes)) {
      problem = "larger than " + std::to_string(kLargestFileBytes / (1024 * 1024)) +
                " MiB, more than any weather file";
      return false;
    }
    text.append(buffer, count);
  }
  if (std::ferror(file.get())) {
    problem = std::strerror(errno);
    return false;
  }
  return true;
}

WeatherSeries readAs(WeatherFormat format, const std::string& text, const std::string& file,
                     const WeatherReadOptions& options) {
  if (format == WeatherFormat::Daily) {
    return readDailyMinMax(text, file, options.location);
  }
  if (!options.location.empty()) {
    throw WeatherInputError(0, "location '" + options.location +
                                   "' was asked for, but only daily files with a location "
                                   "column hold several places");
  }
  return format == WeatherFormat::Epw ? readEpw(text, file, options.typicalYear)
                                      : readTimeTemperatureCsv(text, file);
}

}  // namespace

bool parseWeatherFormat(const std::string& name, WeatherFormat& format) {
  const std::string known = lowerCase(name);
  if (known == "auto") {
    format = WeatherFormat::Detect;
  } else if (known == "epw") {
    format = WeatherFormat::Epw;
  } else if (known == "csv") {
    format = WeatherFormat::TimeTemperature;
  } else if (known == "daily") {
    format = WeatherFormat::Daily;
  } else {
    return false;
  }
  return true;
}

WeatherFormat detectWeatherFormat(const std::string& text) {
  TextLines lines(text);
  std::string first;
  lines.nextWithContent(first);
  if (first.compare(0, 9, "LOCATION,") == 0) {
    return WeatherFormat::Epw;
  }
  return isDailyHeader(first) ? WeatherFormat::Daily : WeatherFormat::TimeTemperature;
}

std::optional<WeatherSeries> readWeatherText(const std::string& text, const std::string& file,
                                             const WeatherReadOptions& options,
                                             std::string& error) {
  try {
    std::string first;
    TextLines lines(text);
    if (!lines.nextWithContent(first)) {
      throw WeatherInputError(0, "the file is empty");
    }
    const WeatherFormat format =
        options.format == WeatherFormat::Detect ? detectWeatherFormat(text) : options.format;
    WeatherSeries series = readAs(format, text, file, options);
    if (options.from || options.to) {
      return selectDays(series, options.from, options.to, error);
    }
    return series;
  } catch (const WeatherInputError& problem) {
    error = file + (problem.line() > 0 ? ":" + std::to_string(problem.line()) : "") + ": " +
            problem.what();
    return std::nullopt;
  }
}

std::optional<WeatherSeries> readWeatherFile(const std::string& path,
                                             const WeatherReadOptions& options,
                                             std::string& error) {
  std::string text;
  std::string problem;
  if (!readWholeFile(path, text, problem)) {
    error = path + ": cannot be read: " + problem;
    return std::nullopt;
  }
  return readWeatherText(text, path, options, error);
}
