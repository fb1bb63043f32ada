#include "ReplayReport.h"

#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>

#include "CalendarTime.h"
#include "Globals.h"
#include "coolingModes.h"

namespace {

constexpr double kJoulesPerKilowattHour = 3.6e6;
constexpr double kSecondsPerHourD = 3600.0;

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

std::string format(const char* pattern, ...) {
  char text[512];
  va_list arguments;
  va_start(arguments, pattern);
  std::vsnprintf(text, sizeof text, pattern, arguments);
  va_end(arguments);
  return text;
}

double hours(double seconds) {
  return seconds / kSecondsPerHourD;
}

double kilowattHours(double joules) {
  return joules / kJoulesPerKilowattHour;
}

// "10 ms", "1 s", "2.5 s"
std::string passText(int64_t microseconds) {
  if (microseconds < 1000000) {
    return format("%g ms", static_cast<double>(microseconds) / 1000.0);
  }
  return format("%g s", static_cast<double>(microseconds) / 1e6);
}

// "2001-03"
std::string monthText(int64_t unixSeconds) {
  return formatUnixSeconds(unixSeconds).substr(0, 7);
}

// The saving of `value` against `reference`, 0 to 1; nothing to say when
// the reference is 0.
std::string savingText(double value, double reference) {
  return reference > 0.0 ? format("%.1f %%", (1.0 - value / reference) * 100.0) : "";
}

std::string shareText(double share) {
  return share < 0.0 ? "n/a" : format("%.1f %%", share * 100.0);
}

std::string secondsOrNone(double seconds) {
  return seconds < 0.0 ? "n/a" : format("%.0f", seconds);
}

// One row of the side-by-side table: a label, then one text per run, then
// the savings (empty when the row has none).
struct Row {
  using Value = std::function<std::string(const PeriodFigures&)>;
  using Saved = std::function<double(const PeriodFigures&)>;
  Row(std::string rowLabel, Value rowValue, Saved rowSaved = nullptr)
      : label(std::move(rowLabel)), value(std::move(rowValue)), saved(std::move(rowSaved)) {}

  std::string label;
  Value value;
  Saved saved;  // null: no saving
};

void printTable(std::ostream& out, const ReplayResults& results, const std::vector<Row>& rows) {
  out << format("%-36s", "");
  for (const RunResult& run : results.runs) {
    out << format(" %14s", run.name.substr(0, 14).c_str());
  }
  if (results.runs.size() > 1) {
    out << format(" %10s", "saving");
  }
  out << "\n";
  for (const Row& row : rows) {
    out << format("%-36s", row.label.c_str());
    for (const RunResult& run : results.runs) {
      out << format(" %14s", row.value(run.figures.whole).c_str());
    }
    if (results.runs.size() > 1 && row.saved) {
      out << format(" %10s", savingText(row.saved(results.runs[0].figures.whole),
                                        row.saved(results.runs[1].figures.whole))
                                 .c_str());
    }
    out << "\n";
  }
}

std::vector<Row> wholeRows(const ReplayResults& results) {
  std::vector<Row> rows;
  auto fixed = [](const char* pattern, std::function<double(const PeriodFigures&)> of) {
    return [pattern, of](const PeriodFigures& p) { return format(pattern, of(p)); };
  };
  const auto compressorHours = [](const PeriodFigures& p) { return hours(p.compressorSeconds()); };
  const auto starts = [](const PeriodFigures& p) { return static_cast<double>(p.starts()); };
  const auto energy = [](const PeriodFigures& p) { return kilowattHours(p.energyJ()); };
  rows.push_back({"compressor hours", fixed("%.1f", compressorHours), compressorHours});
  rows.push_back({"compressor starts", fixed("%.0f", starts), starts});
  rows.push_back({"energy, air conditioners and fan (kWh)", fixed("%.1f", energy), energy});
  for (int u = 0; u < 2; ++u) {
    const std::string unit = "aircon " + std::to_string(u + 1) + " ";
    rows.push_back({unit + "hours", fixed("%.1f", [u](const PeriodFigures& p) {
                      return hours(p.aircon[u].runSeconds);
                    })});
    rows.push_back({unit + "starts", fixed("%.0f", [u](const PeriodFigures& p) {
                      return static_cast<double>(p.aircon[u].starts);
                    })});
    rows.push_back({unit + "most starts in 60 min", fixed("%.0f", [u](const PeriodFigures& p) {
                      return static_cast<double>(p.aircon[u].mostStartsIn60Minutes);
                    })});
    rows.push_back({unit + "shortest run (s)", [u](const PeriodFigures& p) {
                      return secondsOrNone(p.aircon[u].shortestRunSeconds);
                    }});
    rows.push_back({unit + "shortest rest (s)", [u](const PeriodFigures& p) {
                      return secondsOrNone(p.aircon[u].shortestRestSeconds);
                    }});
    rows.push_back({unit + "held starts", fixed("%.0f", [u](const PeriodFigures& p) {
                      return static_cast<double>(p.aircon[u].heldStarts);
                    })});
    rows.push_back({unit + "energy (kWh)", fixed("%.1f", [u](const PeriodFigures& p) {
                      return kilowattHours(p.aircon[u].energyJ);
                    })});
    rows.push_back({unit + "no-cooling alarms", fixed("%.0f", [u](const PeriodFigures& p) {
                      return static_cast<double>(p.aircon[u].noCoolingAlarms);
                    })});
  }
  rows.push_back(
      {"fan hours", fixed("%.1f", [](const PeriodFigures& p) { return hours(p.fanRunSeconds); })});
  rows.push_back({"fan energy (kWh)", fixed("%.1f", [](const PeriodFigures& p) {
                    return kilowattHours(p.fanEnergyJ);
                  })});
  rows.push_back({"cooling by outside air",
                  [](const PeriodFigures& p) { return shareText(p.freeAirShare()); }});
  rows.push_back(
      {"inside max (C)", fixed("%.2f", [](const PeriodFigures& p) { return p.inside.maxC; })});
  rows.push_back(
      {"inside mean (C)", fixed("%.2f", [](const PeriodFigures& p) { return p.insideMeanC(); })});
  rows.push_back(
      {"inside min (C)", fixed("%.2f", [](const PeriodFigures& p) { return p.inside.minC; })});
  for (std::size_t i = 0; i < results.thresholds.size(); ++i) {
    const ThresholdSpec& threshold = results.thresholds[i];
    rows.push_back({format("hours above %s %g C", threshold.name.c_str(), threshold.temperatureC),
                    fixed("%.2f", [i](const PeriodFigures& p) {
                      return i < p.secondsAbove.size() ? hours(p.secondsAbove[i]) : 0.0;
                    })});
  }
  rows.push_back({format("hours below %g C", kColdCelsius),
                  fixed("%.1f", [](const PeriodFigures& p) { return hours(p.secondsBelowCold); })});
  for (int mode = 0; mode < kCoolingModes; ++mode) {
    rows.push_back(
        {std::string("hours in ") + coolingModeName(static_cast<eCoolingModeState>(mode)),
         fixed("%.1f", [mode](const PeriodFigures& p) { return hours(p.modeSeconds[mode]); })});
  }
  rows.push_back({"invariant breaks", fixed("%.0f", [](const PeriodFigures& p) {
                    return static_cast<double>(p.invariantBreaks);
                  })});
  return rows;
}

void printMonths(std::ostream& out, const ReplayResults& results) {
  const RunResult& first = results.runs.front();
  const RunResult* other = results.runs.size() > 1 ? &results.runs[1] : nullptr;
  out << "\n" << first.name << ", month by month";
  if (other != nullptr) {
    out << " (compressor hours also of " << other->name << ")";
  }
  out << ":\n";
  out << format("%-8s %8s %7s %5s %8s %7s %8s %7s %7s", "month", "comp h", "starts", "held", "kWh",
                "fan h", "free air", "in max", "in min");
  for (const ThresholdSpec& threshold : results.thresholds) {
    out << format(" %9s", (">" + threshold.name.substr(0, 8)).c_str());
  }
  out << format(" %7s %6s", "<10C h", "breaks");
  if (other != nullptr) {
    out << format(" %8s %7s", "comp h 2", "saving");
  }
  out << "\n";
  for (std::size_t m = 0; m < first.figures.months.size(); ++m) {
    const PeriodFigures& month = first.figures.months[m];
    uint64_t held = month.aircon[0].heldStarts + month.aircon[1].heldStarts;
    out << format("%-8s %8.1f %7llu %5llu %8.1f %7.1f %8s %7.2f %7.2f",
                  monthText(month.beginUnixSeconds).c_str(), hours(month.compressorSeconds()),
                  static_cast<unsigned long long>(month.starts()),
                  static_cast<unsigned long long>(held), kilowattHours(month.energyJ()),
                  hours(month.fanRunSeconds), shareText(month.freeAirShare()).c_str(),
                  month.inside.maxC, month.inside.minC);
    for (std::size_t i = 0; i < results.thresholds.size(); ++i) {
      out << format(" %9.2f", i < month.secondsAbove.size() ? hours(month.secondsAbove[i]) : 0.0);
    }
    out << format(" %7.1f %6llu", hours(month.secondsBelowCold),
                  static_cast<unsigned long long>(month.invariantBreaks));
    if (other != nullptr && m < other->figures.months.size()) {
      const double reference = other->figures.months[m].compressorSeconds();
      out << format(" %8.1f %7s", hours(reference),
                    savingText(month.compressorSeconds(), reference).c_str());
    }
    out << "\n";
  }
}

void printBreaks(std::ostream& out, const ReplayResults& results) {
  for (const RunResult& run : results.runs) {
    for (const InvariantBreak& broken : run.figures.breaks) {
      out << format("invariant broken (%s): %s, unit %d, %s: %s\n", run.name.c_str(),
                    formatUnixSeconds(broken.unixMicroseconds / 1000000).c_str(), broken.unit,
                    broken.rule.c_str(), broken.detail.c_str());
    }
  }
}

nlohmann::json nullableSeconds(double seconds) {
  return seconds < 0.0 ? nlohmann::json(nullptr) : nlohmann::json(seconds);
}

nlohmann::json nullableShare(double share) {
  return share < 0.0 ? nlohmann::json(nullptr) : nlohmann::json(share);
}

// The figures every period has, whole run or month.
nlohmann::json periodJson(const PeriodFigures& period, const ReplayResults& results) {
  nlohmann::json json;
  json["simulated_seconds"] = period.simulatedSeconds;
  json["inside_max_c"] = period.inside.maxC;
  json["inside_min_c"] = period.inside.minC;
  json["inside_mean_c"] = period.insideMeanC();
  json["outside_max_c"] = period.outside.maxC;
  json["outside_min_c"] = period.outside.minC;
  nlohmann::json above = nlohmann::json::object();
  for (std::size_t i = 0; i < results.thresholds.size(); ++i) {
    above[results.thresholds[i].name] =
        i < period.secondsAbove.size() ? hours(period.secondsAbove[i]) : 0.0;
  }
  json["hours_above"] = above;
  json["hours_below_10c"] = hours(period.secondsBelowCold);
  json["free_air_share"] = nullableShare(period.freeAirShare());
  json["energy_kwh"] = kilowattHours(period.energyJ());
  json["compressor_hours"] = hours(period.compressorSeconds());
  json["starts"] = period.starts();
  nlohmann::json units = nlohmann::json::array();
  for (int u = 0; u < 2; ++u) {
    const UnitFigures& unit = period.aircon[u];
    units.push_back({{"unit", u + 1},
                     {"run_hours", hours(unit.runSeconds)},
                     {"starts", unit.starts},
                     {"max_starts_60min", unit.mostStartsIn60Minutes},
                     {"shortest_run_s", nullableSeconds(unit.shortestRunSeconds)},
                     {"shortest_rest_s", nullableSeconds(unit.shortestRestSeconds)},
                     {"held_starts", unit.heldStarts},
                     {"energy_kwh", kilowattHours(unit.energyJ)},
                     {"no_cooling_alarms", unit.noCoolingAlarms}});
  }
  json["aircon"] = units;
  json["fan"] = {{"run_hours", hours(period.fanRunSeconds)},
                 {"energy_kwh", kilowattHours(period.fanEnergyJ)}};
  nlohmann::json modes = nlohmann::json::object();
  for (int mode = 0; mode < kCoolingModes; ++mode) {
    modes[coolingModeName(static_cast<eCoolingModeState>(mode))] = hours(period.modeSeconds[mode]);
  }
  json["mode_hours"] = modes;
  json["cooling_kwh"] = {{"outside_air", kilowattHours(period.outsideAirCoolingJ)},
                         {"aircons", kilowattHours(period.airconCoolingJ)},
                         {"heat_brought_in_by_fan", kilowattHours(period.fanHeatGainJ)}};
  return json;
}

nlohmann::json runJson(const RunResult& run, const ReplayResults& results) {
  nlohmann::json json = periodJson(run.figures.whole, results);
  json["name"] = run.name;
  json["etc"] = run.etc;
  if (!run.note.empty()) {
    json["note"] = run.note;
  }
  json["site_pass_seconds"] = static_cast<double>(run.sitePassMicroseconds) / 1e6;
  json["pass_seconds"] = static_cast<double>(run.passMicroseconds) / 1e6;
  json["passes"] = run.figures.passes;
  json["wall_seconds"] = run.figures.wallSeconds;
  json["mode_changes"] = run.figures.modeChanges.size();
  nlohmann::json violations = nlohmann::json::array();
  for (const InvariantBreak& broken : run.figures.breaks) {
    violations.push_back({{"time", formatUnixSeconds(broken.unixMicroseconds / 1000000)},
                          {"unit", broken.unit},
                          {"rule", broken.rule},
                          {"detail", broken.detail}});
  }
  json["violations"] = violations;
  nlohmann::json months = nlohmann::json::array();
  for (const PeriodFigures& month : run.figures.months) {
    nlohmann::json entry = periodJson(month, results);
    entry["month"] = monthText(month.beginUnixSeconds);
    entry["invariant_breaks"] = month.invariantBreaks;
    months.push_back(entry);
  }
  json["months"] = months;
  return json;
}

}  // namespace

void printSummary(std::ostream& out, const ReplayResults& results) {
  out << "weather  " << results.weather->description() << "\n";
  out << "model    " << results.modelPath << "\n";
  for (std::size_t r = 0; r < results.runs.size(); ++r) {
    const RunResult& run = results.runs[r];
    out << format("run %zu    %s: %s%s%s, passes of %s", r + 1, run.name.c_str(), run.etc.c_str(),
                  run.note.empty() ? "" : " with ", run.note.c_str(),
                  passText(run.sitePassMicroseconds).c_str());
    if (run.passMicroseconds != run.sitePassMicroseconds) {
      out << " replayed as " << passText(run.passMicroseconds);
    }
    out << "\n";
  }
  const PeriodFigures& whole = results.runs.front().figures.whole;
  out << format("replayed %s to %s (%.1f days) in %zu process%s, %.2f s\n\n",
                formatUnixSeconds(whole.beginUnixSeconds).c_str(),
                formatUnixSeconds(whole.endUnixSeconds).c_str(), whole.simulatedSeconds / 86400.0,
                static_cast<std::size_t>(results.processes), results.processes == 1 ? "" : "es",
                results.wallSeconds);
  printTable(out, results, wholeRows(results));
  printMonths(out, results);
  printBreaks(out, results);
}

nlohmann::json resultsJson(const ReplayResults& results) {
  nlohmann::json json;
  const WeatherSeries& weather = *results.weather;
  json["weather"] = {{"file", weather.origin().file},
                     {"format", weather.origin().format},
                     {"location", weather.origin().location},
                     {"note", weather.origin().note},
                     {"span", weather.span()},
                     {"description", weather.description()}};
  json["model"] = results.modelPath;
  json["processes"] = results.processes;
  json["wall_seconds"] = results.wallSeconds;
  nlohmann::json runs = nlohmann::json::array();
  for (const RunResult& run : results.runs) {
    runs.push_back(runJson(run, results));
  }
  json["runs"] = runs;
  if (results.runs.size() > 1) {
    // The first run's saving against the second, 0 to 1 (negative: more).
    const PeriodFigures& first = results.runs[0].figures.whole;
    const PeriodFigures& second = results.runs[1].figures.whole;
    auto saving = [](double value, double reference) {
      return reference > 0.0 ? nlohmann::json(1.0 - value / reference) : nlohmann::json(nullptr);
    };
    json["comparison"] = {
        {"of", results.runs[0].name},
        {"against", results.runs[1].name},
        {"compressor_hours_saved", saving(first.compressorSeconds(), second.compressorSeconds())},
        {"starts_saved",
         saving(static_cast<double>(first.starts()), static_cast<double>(second.starts()))},
        {"energy_saved", saving(first.energyJ(), second.energyJ())}};
  }
  return json;
}

std::string fileSafeName(const std::string& name) {
  std::string safe;
  for (char c : name) {
    safe += std::isalnum(static_cast<unsigned char>(c)) || c == '-' ? c : '_';
  }
  return safe;
}

std::string pathForRun(const std::string& path, const ReplayResults& results, std::size_t run) {
  if (run == 0) {
    return path;
  }
  const std::string name = fileSafeName(results.runs[run].name);
  const std::size_t slash = path.find_last_of('/');
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
    return path + "." + name;
  }
  return path.substr(0, dot) + "." + name + path.substr(dot);
}

bool writeTextFile(const std::string& path, const std::string& text, std::string& error) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (file) {
    file << text;
    file.close();
  }
  if (!file) {
    error = path + ": cannot write it: " + std::strerror(errno);
    return false;
  }
  return true;
}
