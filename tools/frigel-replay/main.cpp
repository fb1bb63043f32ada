// frigel-replay: the real controller replayed pass by pass through measured
// weather in vulosim's room model, against a comparison run. See
// kReplayHelp (ReplayOptions.cpp) and docs/replay.md.
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>

#include "CalendarTime.h"
#include "CommandLine.h"
#include "ModelFile.h"
#include "PassRescale.h"
#include "ReplayJobs.h"
#include "ReplayOptions.h"
#include "ReplayReport.h"
#include "SiteConfiguration.h"
#include "SpanReplay.h"
#include "Weather.h"

namespace {

constexpr int kRefused = kCommandLineRefused;

int refuse(const std::string& message) {
  std::fprintf(stderr, "frigel-replay: %s\n", message.c_str());
  return kRefused;
}

// One run's setup from a site's configuration: its pass counts rescaled to
// the replay's pass. Nothing, with `error`, when one does not divide.
std::optional<ReplayRunPlan> planRun(const std::string& name, const SiteConfiguration& site,
                                     const ReplayOptions& options, const ModelSpec& model,
                                     std::string& error) {
  std::optional<ReplaySetup> setup =
      replaySetup(site, options.passMicroseconds.value_or(site.passMicroseconds), model, error);
  if (!setup) {
    return std::nullopt;
  }
  setup->csvIntervalSeconds = options.csvPath.empty() ? 0 : options.csvIntervalSeconds;
  return ReplayRunPlan{name, site.etc, std::move(*setup)};
}

// The time the weather covers: from its first point, or from that day's
// midnight when the first point falls in the day's first hour (as an EPW's
// or a daily file's 01:00 does), to its last point.
TimeSpan weatherSpan(const WeatherSeries& weather) {
  const int64_t first = weather.firstUnixSeconds();
  const int64_t sinceMidnight = secondOfDay(first);
  const int64_t begin = sinceMidnight <= kSecondsPerHour ? first - sinceMidnight : first;
  return {begin, weather.lastUnixSeconds()};
}

int processCount(const ReplayOptions& options) {
  if (options.processes > 0) {
    return options.processes;
  }
  const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 ? static_cast<int>(online) : 1;
}

// Writes what the options ask for; false when something could not be.
bool writeOutputs(const ReplayOptions& options, const ReplayResults& results) {
  bool written = true;
  std::string error;
  if (!options.jsonPath.empty() &&
      !writeTextFile(options.jsonPath, resultsJson(results).dump(2) + "\n", error)) {
    std::fprintf(stderr, "frigel-replay: %s\n", error.c_str());
    written = false;
  }
  if (!options.csvPath.empty()) {
    for (std::size_t r = 0; r < results.runs.size(); ++r) {
      const std::string text =
          std::string(kReplayCsvHeader) + "\n" + results.runs[r].figures.csvRows;
      if (!writeTextFile(pathForRun(options.csvPath, results, r), text, error)) {
        std::fprintf(stderr, "frigel-replay: %s\n", error.c_str());
        written = false;
      }
    }
  }
  if (!options.plotFolder.empty() && !writePlots(options.plotFolder, results, error)) {
    std::fprintf(stderr, "frigel-replay: %s\n", error.c_str());
    written = false;
  }
  return written;
}

}  // namespace

int main(int argc, char** argv) {
  const auto started = std::chrono::steady_clock::now();
  std::string error;
  const std::optional<ReplayOptions> options = parseReplayOptions(argc, argv, error);
  if (const std::optional<int> status =
          commandLineExit({"frigel-replay", kReplayUsage, kReplayHelp}, options, error)) {
    return *status;
  }

  ModelSpec model;
  if (!loadModelFile(options->modelPath, model, error)) {
    return refuse(error);
  }
  if (modelStepMicroseconds(model) == 0) {
    return refuse(options->modelPath + ": the model's step is not a whole number of microseconds");
  }
  const std::optional<WeatherSeries> weather =
      readWeatherFile(options->weatherPath, options->weather, error);
  if (!weather) {
    return refuse(error);
  }
  const TimeSpan span = weatherSpan(*weather);
  if (span.endUnixSeconds <= span.beginUnixSeconds) {
    return refuse(options->weatherPath + ": the weather covers no time to replay");
  }

  const std::optional<SiteConfiguration> site = readSiteConfiguration(options->etc, error);
  if (!site) {
    return refuse(error);
  }
  std::vector<ReplayRunPlan> plans;
  ReplayResults results;
  // A run of `configuration`, or false with `error` when it cannot be.
  const auto addRun = [&](const std::string& name, const SiteConfiguration& configuration,
                          const std::string& note) {
    std::optional<ReplayRunPlan> plan = planRun(name, configuration, *options, model, error);
    if (plan) {
      results.runs.push_back({name,
                              configuration.etc,
                              note,
                              configuration.passMicroseconds,
                              plan->setup.passMicroseconds,
                              {}});
      plans.push_back(std::move(*plan));
    }
    return plan.has_value();
  };
  if (!addRun("settings", *site, "")) {
    return refuse(error);
  }
  if (options->compare == "no-free-air") {
    SiteConfiguration compressorOnly = *site;
    compressorOnly.settings.useFreeAir = 0;
    if (!addRun("no-free-air", compressorOnly, "useFreeAir 0")) {
      return refuse(error);
    }
  } else if (!options->compare.empty()) {
    const std::optional<SiteConfiguration> other = readSiteConfiguration(options->compare, error);
    if (!other || !addRun(options->compare, *other, "")) {
      return refuse(error);
    }
  }

  const int processes = processCount(*options);
  std::optional<std::vector<RunFigures>> figures =
      replayRuns(plans, *weather, calendarYearSpans(span.beginUnixSeconds, span.endUnixSeconds),
                 processes, error);
  if (!figures) {
    std::fprintf(stderr, "frigel-replay: %s\n", error.c_str());
    return 1;
  }

  results.weather = &*weather;
  results.modelPath = options->modelPath;
  results.thresholds = model.thresholds;
  results.processes = processes;
  bool broken = false;
  for (std::size_t r = 0; r < plans.size(); ++r) {
    results.runs[r].figures = std::move((*figures)[r]);
    broken = broken || !results.runs[r].figures.breaks.empty();
  }
  results.wallSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  if (!options->quiet) {
    printSummary(std::cout, results);
    std::cout.flush();
  }
  const bool written = writeOutputs(*options, results);
  return broken || !written ? 1 : 0;
}
