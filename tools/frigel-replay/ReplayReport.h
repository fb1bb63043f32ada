// What a replay command reports: the summary it prints, side by side for
// the runs it compares, with each month of the first; the JSON of --json;
// the CSV of --csv; and the plots of --plot.
#ifndef FRIGEL_REPLAY_REPLAYREPORT_H
#define FRIGEL_REPLAY_REPLAYREPORT_H

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ModelFile.h"
#include "ReplayFigures.h"
#include "WeatherSeries.h"

struct RunResult {
  std::string name;  // "settings", "no-free-air", or the compared folder
  std::string etc;   // the settings folder
  std::string note;  // how it differs, for the reader ("useFreeAir 0"); may be ""
  int64_t sitePassMicroseconds = 0;
  int64_t passMicroseconds = 0;
  RunFigures figures;
};

struct ReplayResults {
  const WeatherSeries* weather = nullptr;
  std::string modelPath;
  std::vector<ThresholdSpec> thresholds;
  std::vector<RunResult> runs;  // the first is the site's settings
  int processes = 1;
  double wallSeconds = 0.0;  // the whole command
};

// The summary: the weather, each run's whole figures side by side (with the
// first run's saving against each other run), then the first run month by
// month, and every broken invariant.
void printSummary(std::ostream& out, const ReplayResults& results);

// {"weather": ..., "runs": [{"name": ..., ...}, ...], "comparison": ...}
nlohmann::json resultsJson(const ReplayResults& results);

// `name` with every character but letters, digits and '-' made '_'.
std::string fileSafeName(const std::string& name);

// `path` with the run's name put before its extension for every run but
// the first ("year.csv" -> "year.no-free-air.csv").
std::string pathForRun(const std::string& path, const ReplayResults& results, std::size_t run);

// Writes `text` to `path` whole; false with `error` naming the path.
bool writeTextFile(const std::string& path, const std::string& text, std::string& error);

// Writes the plots into `folder` (created if missing) with gnuplot: the
// monthly compressor hours of every run, the inside temperature's duration
// curve of every run, and a day-by-hour map of each run's modes; with the
// data files they are drawn from. False with `error` when a file cannot be
// written or gnuplot fails.
bool writePlots(const std::string& folder, const ReplayResults& results, std::string& error);

#endif
