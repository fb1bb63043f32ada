#include "ReplayOptions.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "CommandLine.h"
#include "WeatherText.h"
#include "etcPaths.h"

const char* const kReplayUsage =
    "usage: frigel-replay --model FILE --weather FILE [--etc DIR] [--format F] [--location NAME]\n"
    "                     [--typical-year Y] [--from DATE] [--to DATE] [--pass-seconds S]\n"
    "                     [--compare no-free-air|DIR] [--processes N] [--csv FILE]\n"
    "                     [--csv-interval S] [--plot DIR] [--json FILE] [--quiet] [--help]\n";

const char* const kReplayHelp =
    "Replays the real controller, pass by pass, in vulosim's room model through measured\n"
    "weather, and reports compressor hours and starts, free air's share, temperatures and\n"
    "broken invariants, for the whole run and month by month (docs/replay.md).\n"
    "\n"
    "  --etc DIR            the site's settings folder: DIR/frigel.conf,\n"
    "                       DIR/frigel/frigelconfig.xml, DIR/frigel/frigelConstants.xml\n"
    "                       (default: $FRIGEL_ETC when set, else /etc/vulo)\n"
    "  --model FILE         vulosim's room model; its outside temperature is replaced by\n"
    "                       the weather, its time and record settings are not used\n"
    "  --weather FILE       an EPW file, a time,temperature CSV or a daily min/max CSV\n"
    "  --format F           auto (default), epw, csv or daily\n"
    "  --location NAME      the place to read from a daily file of several places\n"
    "  --typical-year Y     the year a typical-year EPW is put onto (default 2001)\n"
    "  --from DATE          the first day to replay, YYYY-MM-DD (default: the file's)\n"
    "  --to DATE            the last day to replay, included (default: the file's)\n"
    "  --pass-seconds S     replay passes of S seconds, every pass count of the constants\n"
    "                       rescaled exactly (refused, naming it, when one does not divide);\n"
    "                       default: the site's PassPeriodMicroseconds\n"
    "  --compare WHAT       also replay no-free-air (the settings with useFreeAir 0) or\n"
    "                       another settings folder, and print the savings side by side\n"
    "  --processes N        replay years and runs in up to N processes (default: one per\n"
    "                       processor); the results do not depend on N\n"
    "  --csv FILE           a row every --csv-interval seconds (default 3600); a compared\n"
    "                       run's rows go to FILE with its name before the extension\n"
    "  --plot DIR           PNG plots with gnuplot (and their data files) into DIR\n"
    "  --json FILE          every figure as JSON\n"
    "  --quiet              no summary on standard output\n"
    "\n"
    "Exit status: 0 done; 1 done, but an invariant broke or an output file could not be\n"
    "written; 2 refused (bad option, file or setting), nothing replayed.\n";

namespace {

// The options, in the order of kOptions.
enum OptionIndex : std::size_t {
  kEtc,
  kModel,
  kWeather,
  kFormat,
  kLocation,
  kTypicalYear,
  kFrom,
  kTo,
  kPassSeconds,
  kCompare,
  kProcesses,
  kCsv,
  kCsvInterval,
  kPlot,
  kJson,
  kQuiet,
  kHelp,
};

const std::vector<LongOption> kOptions = {
    {"etc", true},          {"model", true},        {"weather", true},   {"format", true},
    {"location", true},     {"typical-year", true}, {"from", true},      {"to", true},
    {"pass-seconds", true}, {"compare", true},      {"processes", true}, {"csv", true},
    {"csv-interval", true}, {"plot", true},         {"json", true},      {"quiet", false},
    {"help", false},
};

// The options whose value is kept as it is given, and where.
const std::pair<OptionIndex, std::string ReplayOptions::*> kTextOptions[] = {
    {kModel, &ReplayOptions::modelPath}, {kWeather, &ReplayOptions::weatherPath},
    {kCsv, &ReplayOptions::csvPath},     {kPlot, &ReplayOptions::plotFolder},
    {kJson, &ReplayOptions::jsonPath},
};

// A whole number from `low` to `high`.
bool wholeIn(const std::string& text, int low, int high, int& value) {
  return parseWholeNumber(text, value) && value >= low && value <= high;
}

bool readDate(const std::string& option, const std::string& text, std::optional<CalendarDate>& date,
              std::string& error) {
  CalendarDate parsed;
  std::string problem;
  if (!parseDate(text, parsed, problem)) {
    error = "--" + option + " '" + text + "': " + problem;
    return false;
  }
  date = parsed;
  return true;
}

std::string withoutTrailingSlashes(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') {
    folder.pop_back();
  }
  return folder;
}

bool applyOption(std::size_t index, const std::string& value, ReplayOptions& options,
                 std::string& error) {
  for (const auto& [textIndex, member] : kTextOptions) {
    if (index == textIndex) {
      options.*member = value;
      return true;
    }
  }
  int number = 0;
  switch (index) {
    case kEtc:
      options.etc = withoutTrailingSlashes(value);
      return true;
    case kFormat:
      if (!parseWeatherFormat(value, options.weather.format)) {
        error = "--format '" + value + "': not auto, epw, csv or daily";
        return false;
      }
      return true;
    case kLocation:
      options.weather.location = value;
      return true;
    case kTypicalYear:
      if (!wholeIn(value, 1, 9999, options.weather.typicalYear)) {
        error = "--typical-year '" + value + "': not a year from 1 to 9999";
        return false;
      }
      return true;
    case kFrom:
      return readDate("from", value, options.weather.from, error);
    case kTo:
      return readDate("to", value, options.weather.to, error);
    case kPassSeconds: {
      int64_t microseconds = 0;
      if (!parseSecondsAsMicroseconds(value, microseconds)) {
        error = "--pass-seconds '" + value +
                "': not a number of seconds above 0 with at most six decimals";
        return false;
      }
      options.passMicroseconds = microseconds;
      return true;
    }
    case kCompare:
      options.compare = value == "no-free-air" ? value : withoutTrailingSlashes(value);
      return true;
    case kProcesses:
      if (!wholeIn(value, 1, 256, options.processes)) {
        error = "--processes '" + value + "': not a whole number from 1 to 256";
        return false;
      }
      return true;
    case kCsvInterval:
      if (!wholeIn(value, 1, 366 * 86400, number)) {
        error = "--csv-interval '" + value + "': not a whole number of seconds from 1 up";
        return false;
      }
      options.csvIntervalSeconds = number;
      return true;
    case kQuiet:
      options.quiet = true;
      return true;
    case kHelp:
      options.help = true;
      return true;
    default:
      return false;
  }
}

}  // namespace

bool parseSecondsAsMicroseconds(const std::string& text, int64_t& microseconds) {
  const std::size_t point = text.find('.');
  const std::string whole = text.substr(0, point);
  std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
  if ((whole.empty() && fraction.empty()) || whole.size() > 9 || fraction.size() > 6 ||
      (point != std::string::npos && fraction.empty())) {
    return false;
  }
  for (char c : whole + fraction) {
    if (c < '0' || c > '9') {
      return false;
    }
  }
  fraction.resize(6, '0');
  const int64_t value = (whole.empty() ? 0 : std::stoll(whole)) * 1000000 + std::stoll(fraction);
  if (value <= 0) {
    return false;
  }
  microseconds = value;
  return true;
}

std::optional<ReplayOptions> parseReplayOptions(int argc, char** argv, std::string& error) {
  ReplayOptions options;
  options.etc = etcDirectory();
  CommandLineRefusal refusal;
  const auto take = [&](const GivenOption& given) {
    return applyOption(given.index, given.value, options, error);
  };
  const std::vector<std::string> arguments(argv + std::min(argc, 1), argv + argc);
  if (!readLongOptions(arguments, kOptions, false, take, refusal)) {
    if (refusal.kind == CommandLineRefusal::Kind::UnexpectedArgument) {
      error = "unexpected argument '" + refusal.word + "'";
    } else if (refusal.kind != CommandLineRefusal::Kind::NotTaken) {
      error = "'" + refusal.word + "' is not an option, or lacks its value";
    }
    return std::nullopt;
  }
  if (options.help) {
    return options;
  }
  if (options.modelPath.empty() || options.weatherPath.empty()) {
    error = "--model and --weather are needed";
    return std::nullopt;
  }
  return options;
}
