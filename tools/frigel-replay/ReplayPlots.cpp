// The plots of --plot, drawn by gnuplot from data files written beside
// them.
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "CalendarTime.h"
#include "ReplayReport.h"

namespace {

// A path inside a gnuplot string in single quotes.
std::string quoted(const std::string& text) {
  std::string result = "'";
  for (char c : text) {
    result += c;
    if (c == '\'') {
      result += '\'';
    }
  }
  return result + "'";
}

bool makeFolder(const std::string& folder, std::string& error) {
  if (::mkdir(folder.c_str(), 0777) == 0 || errno == EEXIST) {
    struct stat info;
    if (::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
      return true;
    }
  }
  error = folder + ": cannot make it a folder: " + std::strerror(errno);
  return false;
}

// Month, then each run's compressor hours in it.
std::string monthlyData(const ReplayResults& results) {
  std::ostringstream data;
  data << "# month";
  for (const RunResult& run : results.runs) {
    data << " " << run.name;
  }
  data << "\n";
  const std::vector<PeriodFigures>& months = results.runs.front().figures.months;
  for (std::size_t m = 0; m < months.size(); ++m) {
    data << formatUnixSeconds(months[m].beginUnixSeconds).substr(0, 7);
    for (const RunResult& run : results.runs) {
      const double seconds =
          m < run.figures.months.size() ? run.figures.months[m].compressorSeconds() : 0.0;
      data << " " << seconds / 3600.0;
    }
    data << "\n";
  }
  return data.str();
}

// For each run a block of (inside temperature, hours at or above it), from
// the warmest tenth of a degree down.
std::string durationData(const ReplayResults& results) {
  std::ostringstream data;
  for (const RunResult& run : results.runs) {
    data << "# " << run.name << ": inside C, hours at or above\n";
    const std::vector<double>& tenths = run.figures.insideSecondsByTenth;
    double atOrAboveS = 0.0;
    for (std::size_t i = tenths.size(); i-- > 0;) {
      if (tenths[i] <= 0.0 && atOrAboveS <= 0.0) {
        continue;  // above the warmest
      }
      atOrAboveS += tenths[i];
      data << kDistributionLowestC + static_cast<double>(i) / 10.0 << " " << atOrAboveS / 3600.0
           << "\n";
      if (atOrAboveS >= run.figures.whole.simulatedSeconds) {
        break;  // below the coldest
      }
    }
    data << "\n\n";
  }
  return data.str();
}

// Day of the replay, hour of the day, mode: one line per hour.
std::string modeMapData(const RunResult& run, int64_t firstMidnight) {
  std::ostringstream data;
  data << "# day hour mode (0 no cooling ... 4 emergency)\n";
  for (std::size_t k = 0; k < run.figures.hourModes.size(); ++k) {
    const int64_t hourStart = run.figures.firstHourUnixSeconds + static_cast<int64_t>(k) * 3600;
    const int64_t since = hourStart - firstMidnight;
    data << since / kSecondsPerCalendarDay << " " << since % kSecondsPerCalendarDay / 3600 << " "
         << static_cast<int>(run.figures.hourModes[k]) << "\n";
  }
  return data.str();
}

// The days from `firstMidnight` that the run's hours touch.
double daysCovered(const RunResult& run, int64_t firstMidnight) {
  const int64_t end = run.figures.firstHourUnixSeconds +
                      static_cast<int64_t>(run.figures.hourModes.size()) * 3600 - firstMidnight;
  return static_cast<double>((end + kSecondsPerCalendarDay - 1) / kSecondsPerCalendarDay);
}

// The lines that start a plot: a PNG of `size` pixels ("1200,600") written
// to `png`, with its title.
void startPlot(std::ostream& script, const char* size, const std::string& png,
               const std::string& title) {
  script << "set terminal pngcairo size " << size << " font ',10' noenhanced\n"
         << "set output " << quoted(png) << "\n"
         << "set title " << quoted(title) << "\n";
}

bool runGnuplot(const std::string& script, std::string& error) {
  std::fflush(stdout);
  FILE* gnuplot = ::popen("gnuplot", "w");
  if (gnuplot == nullptr) {
    error = std::string("cannot start gnuplot: ") + std::strerror(errno);
    return false;
  }
  std::fwrite(script.data(), 1, script.size(), gnuplot);
  const int status = ::pclose(gnuplot);
  if (status != 0) {
    error = WIFEXITED(status) && WEXITSTATUS(status) == 127
                ? "gnuplot is missing (Debian package gnuplot-nox)"
                : "gnuplot failed to draw the plots";
    return false;
  }
  return true;
}

}  // namespace

bool writePlots(const std::string& folder, const ReplayResults& results, std::string& error) {
  if (!makeFolder(folder, error)) {
    return false;
  }
  const std::string monthly = folder + "/monthly-compressor-hours";
  const std::string duration = folder + "/inside-duration";
  if (!writeTextFile(monthly + ".dat", monthlyData(results), error) ||
      !writeTextFile(duration + ".dat", durationData(results), error)) {
    return false;
  }
  const int64_t firstMidnight =
      daysOfUnixSeconds(results.runs.front().figures.firstHourUnixSeconds) * kSecondsPerCalendarDay;
  const std::string place = results.weather->origin().location.empty()
                                ? results.weather->origin().file
                                : results.weather->origin().location;

  std::ostringstream script;
  startPlot(script, "1200,600", monthly + ".png", "Compressor hours by month: " + place);
  script << "set grid ytics lc rgb '#dddddd'\n"
         << "set style data histograms\nset style histogram clustered gap 1\n"
         << "set style fill solid 0.8 border -1\nset boxwidth 0.9\n"
         << "set ylabel 'compressor hours'\nset yrange [0:*]\nset xtics rotate by -45\n"
         << "set key top left\n"
         << "plot ";
  for (std::size_t r = 0; r < results.runs.size(); ++r) {
    script << (r == 0 ? quoted(monthly + ".dat") : "''") << " using " << r + 2
           << (r == 0 ? ":xtic(1)" : "") << " title " << quoted(results.runs[r].name)
           << (r + 1 < results.runs.size() ? ", " : "\n");
  }
  script << "reset\n";
  startPlot(script, "1000,600", duration + ".png", "Inside temperature, duration curve: " + place);
  script << "set grid lc rgb '#dddddd'\n"
         << "set xlabel 'hours at or above'\nset ylabel 'inside temperature (C)'\n"
         << "set xrange [0:*]\nset key top right\n"
         << "plot ";
  for (std::size_t r = 0; r < results.runs.size(); ++r) {
    script << quoted(duration + ".dat") << " index " << r << " using 2:1 with lines lw 2 title "
           << quoted(results.runs[r].name) << (r + 1 < results.runs.size() ? ", " : "\n");
  }
  for (std::size_t r = 0; r < results.runs.size(); ++r) {
    const RunResult& run = results.runs[r];
    const std::string map = folder + "/modes" + (r == 0 ? "" : "-" + fileSafeName(run.name));
    if (!writeTextFile(map + ".dat", modeMapData(run, firstMidnight), error)) {
      return false;
    }
    script << "reset\n";
    startPlot(script, "1200,500", map + ".png", "Mode of each hour (" + run.name + "): " + place);
    script << "set xlabel " << quoted("days from " + formatUnixSeconds(firstMidnight).substr(0, 10))
           << "\nset ylabel 'hour of the day'\nset yrange [-0.5:23.5]\nset ytics 0,3,21\n"
           << "set xrange [-0.5:" << daysCovered(run, firstMidnight) - 0.5 << "]\n"
           << "set rmargin 18\n"
           << "set palette defined (0 '#f2f2f2', 1 '#2ca02c', 2 '#ff7f0e', 3 '#9467bd', "
              "4 '#d62728')\n"
           << "set palette maxcolors 5\nset cbrange [-0.5:4.5]\n"
           << "set cbtics ('no cooling' 0, 'free air' 1, 'single aircon' 2, 'two aircon' 3, "
              "'emergency' 4)\n"
           << "plot " << quoted(map + ".dat") << " using 1:2:3 with image notitle\n";
  }
  return runGnuplot(script.str(), error);
}
