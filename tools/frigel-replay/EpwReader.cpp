// EnergyPlus weather files: 8 header lines, then one line an hour. Fields
// (1-based) 1-4 are year, month, day and hour 1-24 (the hour ending: hour
// 24 is the next day's 00:00), field 7 the dry-bulb temperature in degrees
// Celsius, 99.9 when missing. The time is the file's own (local standard
// time), taken as it is.
#include <algorithm>
#include <string>
#include <vector>

#include "WeatherReaders.h"
#include "WeatherText.h"

namespace {

constexpr int kHeaderLines = 8;
constexpr std::size_t kDryBulbField = 6;  // 0-based
constexpr double kMissingDryBulb = 99.9;

struct EpwRow {
  long line;
  int year;
  int month;
  int day;
  int hour;
  double celsius;
  bool missing;
};

int wholeField(const std::vector<std::string>& fields, std::size_t index, const char* name,
               long line) {
  int value = 0;
  if (!parseWholeNumber(fields[index], value)) {
    throw WeatherInputError(
        line, std::string(name) + " '" + trimmed(fields[index]) + "' is not a whole number");
  }
  return value;
}

// City, state and country of the LOCATION line, those that are given.
std::string placeOf(const std::vector<std::string>& location) {
  std::string place;
  for (std::size_t i = 1; i <= 3 && i < location.size(); ++i) {
    const std::string part = trimmed(location[i]);
    if (!part.empty() && part != "-") {
      place += (place.empty() ? "" : ", ") + part;
    }
  }
  return place;
}

// Reads the header; returns the fields of its LOCATION line.
std::vector<std::string> readHeader(TextLines& lines) {
  std::string line;
  std::vector<std::string> location;
  for (int expected = 1; expected <= kHeaderLines; ++expected) {
    if (!lines.next(line)) {
      const int found = expected - 1;
      throw WeatherInputError(0, "the header ends after " + std::to_string(found) +
                                     (found == 1 ? " line" : " lines") + "; an EPW header has " +
                                     std::to_string(kHeaderLines));
    }
    if (expected == 1) {
      if (line.compare(0, 9, "LOCATION,") != 0) {
        throw WeatherInputError(1, "an EPW file starts with its LOCATION line");
      }
      splitPlainFields(line, location);
    }
  }
  if (line.compare(0, 12, "DATA PERIODS") != 0) {
    throw WeatherInputError(kHeaderLines, "the header's last line is not DATA PERIODS");
  }
  std::vector<std::string> periods;
  splitPlainFields(line, periods);
  if (periods.size() < 2 || trimmed(periods[1]) != "1") {
    throw WeatherInputError(kHeaderLines,
                            "only hourly files are read (DATA PERIODS gives " +
                                (periods.size() < 2 ? std::string("no") : trimmed(periods[1])) +
                                " records an hour)");
  }
  return location;
}

std::vector<EpwRow> readRows(TextLines& lines) {
  std::vector<EpwRow> rows;
  rows.reserve(8784);
  std::string line;
  std::vector<std::string> fields;
  std::size_t fieldCount = 0;
  while (lines.nextWithContent(line)) {
    const long number = lines.number();
    splitPlainFields(line, fields);
    if (fieldCount == 0) {
      fieldCount = fields.size();
    }
    if (fields.size() <= kDryBulbField || fields.size() != fieldCount) {
      throw WeatherInputError(
          number, "expected " +
                      std::to_string(std::max<std::size_t>(fieldCount, kDryBulbField + 1)) +
                      " fields, found " + std::to_string(fields.size()));
    }
    EpwRow row{number,
               wholeField(fields, 0, "year", number),
               wholeField(fields, 1, "month", number),
               wholeField(fields, 2, "day", number),
               wholeField(fields, 3, "hour", number),
               0.0,
               false};
    if (row.hour < 1 || row.hour > 24) {
      throw WeatherInputError(number, "hour " + std::to_string(row.hour) + " is not 1-24");
    }
    double value = 0.0;
    row.missing = parseNumber(fields[kDryBulbField], value) && value == kMissingDryBulb;
    if (!row.missing) {
      row.celsius = readCelsius(fields[kDryBulbField], "dry-bulb temperature", number);
    }
    rows.push_back(row);
  }
  if (rows.empty()) {
    throw WeatherInputError(0, "no data lines after the header");
  }
  return rows;
}

// A typical year's months come from different years, so its years change
// other than from December to the next January.
bool isTypicalYear(const std::vector<EpwRow>& rows) {
  for (std::size_t i = 1; i < rows.size(); ++i) {
    const EpwRow& before = rows[i - 1];
    const EpwRow& row = rows[i];
    const bool newYear = row.year == before.year + 1 && before.month == 12 && row.month == 1;
    if (row.year != before.year && !newYear) {
      return true;
    }
  }
  return false;
}

}  // namespace

WeatherSeries readEpw(const std::string& text, const std::string& file, int typicalYear) {
  TextLines lines(text);
  const std::vector<std::string> location = readHeader(lines);
  const std::vector<EpwRow> rows = readRows(lines);
  const bool typical = isTypicalYear(rows);
  if (typical && !isValidDate(CalendarDate{typicalYear, 1, 1})) {
    throw WeatherInputError(
        0, "the typical year " + std::to_string(typicalYear) + " is not a year 1-9999");
  }

  std::vector<WeatherPoint> points;
  points.reserve(rows.size());
  TimeOnLine previous;
  GapTally gaps;
  int64_t missingRun = 0;
  std::string missingFrom;
  int firstYear = rows.front().year;
  int lastYear = rows.front().year;
  for (const EpwRow& row : rows) {
    firstYear = std::min(firstYear, row.year);
    lastYear = std::max(lastYear, row.year);
    const CalendarDate date{typical ? typicalYear : row.year, row.month, row.day};
    if (!isValidDate(date)) {
      const CalendarDate written{row.year, row.month, row.day};
      throw WeatherInputError(
          row.line,
          "date " + formatDate(written) +
              (typical ? " (put onto the typical year " + std::to_string(typicalYear) + ")" : "") +
              " is not a day of the calendar");
    }
    const TimeOnLine current{unixSecondsAtMidnight(date) + row.hour * kSecondsPerHour, row.line};
    requireLater(previous, current, "time " + formatUnixSeconds(current.unixSeconds));
    previous = current;
    if (row.missing) {
      if (missingRun == 0) {
        missingFrom = formatUnixSeconds(current.unixSeconds);
      }
      ++missingRun;
      continue;
    }
    if (missingRun > 0) {
      gaps.add(missingRun, missingFrom);
      missingRun = 0;
    }
    points.push_back({current.unixSeconds, row.celsius});
  }
  if (missingRun > 0) {
    gaps.add(missingRun, missingFrom);
  }
  if (points.empty()) {
    throw WeatherInputError(0, "every dry-bulb temperature is missing (99.9)");
  }

  WeatherOrigin origin{file, "EPW", placeOf(location), ""};
  if (typical) {
    const std::string source = location.size() > 4 ? trimmed(location[4]) : "";
    origin.note = "typical year" + (source.empty() ? "" : " (" + source + ")") + ": rows from " +
                  std::to_string(firstYear) + "-" + std::to_string(lastYear) + " put onto " +
                  std::to_string(typicalYear);
  }
  const std::string gapNote = gaps.note("hour");
  if (!gapNote.empty()) {
    origin.note += (origin.note.empty() ? "" : ", ") + gapNote;
  }
  return WeatherSeries(std::move(points), std::move(origin));
}
