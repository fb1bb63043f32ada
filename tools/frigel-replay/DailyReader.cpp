// Daily minimum/maximum files in two layouts, told apart by the header's
// column names (in any order, any case, quoted or not):
//   year,month,day,tmin,tmax
//   location,date,...,temp_max,temp_min,...   (several places in one file)
// Each day becomes 24 hourly points, 01:00 to the next day's 00:00, on the
// diurnal profile between its minimum and maximum.
#include <cstddef>
#include <string>
#include <vector>

#include "DiurnalProfile.h"
#include "WeatherReaders.h"
#include "WeatherText.h"

namespace {

constexpr std::size_t kAbsent = static_cast<std::size_t>(-1);

// Where each column is; kAbsent for those the layout has not.
struct DailyColumns {
  bool byLocation = false;
  std::size_t count = 0;
  std::size_t year = kAbsent;
  std::size_t month = kAbsent;
  std::size_t day = kAbsent;
  std::size_t location = kAbsent;
  std::size_t date = kAbsent;
  std::size_t minimum = kAbsent;
  std::size_t maximum = kAbsent;

  bool known() const {
    const bool dated = byLocation ? location != kAbsent && date != kAbsent
                                  : year != kAbsent && month != kAbsent && day != kAbsent;
    return dated && minimum != kAbsent && maximum != kAbsent;
  }
};

DailyColumns dailyColumns(const std::vector<std::string>& header) {
  DailyColumns columns;
  columns.count = header.size();
  for (std::size_t i = 0; i < header.size(); ++i) {
    const std::string name = lowerCase(header[i]);
    std::size_t* const column = name == "year"                         ? &columns.year
                                : name == "month"                      ? &columns.month
                                : name == "day"                        ? &columns.day
                                : name == "location"                   ? &columns.location
                                : name == "date"                       ? &columns.date
                                : name == "tmin" || name == "temp_min" ? &columns.minimum
                                : name == "tmax" || name == "temp_max" ? &columns.maximum
                                                                       : nullptr;
    if (column != nullptr && *column == kAbsent) {
      *column = i;
    }
  }
  columns.byLocation = columns.location != kAbsent;
  return columns;
}

struct DayExtremes {
  int64_t day;  // days since 1970-01-01
  double minimumCelsius;
  double maximumCelsius;
};

// One place's days, in file order.
struct PlaceDays {
  std::string name;
  std::vector<DayExtremes> days;
  TimeOnLine last;
};

class DailyFile {
 public:
  explicit DailyFile(const DailyColumns& columns) : mColumns(columns) {}
  void readLine(const std::vector<std::string>& fields, long line);
  const std::vector<PlaceDays>& places() const { return mPlaces; }

 private:
  CalendarDate dateOf(const std::vector<std::string>& fields, long line) const;
  PlaceDays& placeNamed(const std::string& name);

  DailyColumns mColumns;
  std::vector<PlaceDays> mPlaces;
};

int wholeColumn(const std::vector<std::string>& fields, std::size_t column, const char* name,
                long line) {
  int value = 0;
  if (!parseWholeNumber(fields[column], value)) {
    throw WeatherInputError(line,
                            std::string(name) + " '" + fields[column] + "' is not a whole number");
  }
  return value;
}

CalendarDate DailyFile::dateOf(const std::vector<std::string>& fields, long line) const {
  CalendarDate date;
  if (mColumns.byLocation) {
    std::string problem;
    if (!parseDate(fields[mColumns.date], date, problem)) {
      throw WeatherInputError(line, "date '" + fields[mColumns.date] + "' " + problem);
    }
    return date;
  }
  date = {wholeColumn(fields, mColumns.year, "year", line),
          wholeColumn(fields, mColumns.month, "month", line),
          wholeColumn(fields, mColumns.day, "day", line)};
  if (!isValidDate(date)) {
    throw WeatherInputError(line, "date " + formatDate(date) + " is not a day of the calendar");
  }
  return date;
}

PlaceDays& DailyFile::placeNamed(const std::string& name) {
  for (PlaceDays& place : mPlaces) {
    if (place.name == name) {
      return place;
    }
  }
  mPlaces.push_back(PlaceDays{name, {}, {}});
  return mPlaces.back();
}

void DailyFile::readLine(const std::vector<std::string>& fields, long line) {
  if (fields.size() != mColumns.count) {
    throw WeatherInputError(line, "expected " + std::to_string(mColumns.count) +
                                      " fields as in the header, found " +
                                      std::to_string(fields.size()));
  }
  const CalendarDate date = dateOf(fields, line);
  const double minimum = readCelsius(fields[mColumns.minimum], "minimum", line);
  const double maximum = readCelsius(fields[mColumns.maximum], "maximum", line);
  if (minimum > maximum) {
    throw WeatherInputError(line, "minimum " + fields[mColumns.minimum] + " is above the maximum " +
                                      fields[mColumns.maximum]);
  }
  if (mColumns.byLocation && fields[mColumns.location].empty()) {
    throw WeatherInputError(line, "the location is empty");
  }
  PlaceDays& place = placeNamed(mColumns.byLocation ? fields[mColumns.location] : "");
  const TimeOnLine current{unixSecondsAtMidnight(date), line};
  requireLater(place.last, current, "date " + formatDate(date));
  place.last = current;
  place.days.push_back({daysSinceEpoch(date), minimum, maximum});
}

std::string placeList(const std::vector<PlaceDays>& places) {
  std::string list;
  for (const PlaceDays& place : places) {
    list += (list.empty() ? "" : ", ") + place.name;
  }
  return list;
}

const PlaceDays& chosenPlace(const std::vector<PlaceDays>& places, const DailyColumns& columns,
                             const std::string& location) {
  if (!columns.byLocation && !location.empty()) {
    throw WeatherInputError(
        0, "location '" + location + "' was asked for, but the file has no location column");
  }
  if (location.empty()) {
    if (places.size() > 1) {
      throw WeatherInputError(
          0, "the file holds several locations (" + placeList(places) + "); name one");
    }
    return places.front();
  }
  for (const PlaceDays& place : places) {
    if (lowerCase(place.name) == lowerCase(trimmed(location))) {
      return place;
    }
  }
  throw WeatherInputError(
      0, "no location '" + location + "' in the file; it holds " + placeList(places));
}

}  // namespace

bool isDailyHeader(const std::string& headerLine) {
  std::vector<std::string> fields;
  try {
    splitCsvFields(headerLine, 1, fields);
  } catch (const WeatherInputError&) {
    return false;
  }
  return dailyColumns(fields).known();
}

WeatherSeries readDailyMinMax(const std::string& text, const std::string& file,
                              const std::string& location) {
  TextLines lines(text);
  std::string line;
  std::vector<std::string> fields;
  if (!lines.nextWithContent(line)) {
    throw WeatherInputError(0, "the file is empty");
  }
  splitCsvFields(line, lines.number(), fields);
  const DailyColumns columns = dailyColumns(fields);
  if (!columns.known()) {
    throw WeatherInputError(lines.number(),
                            "a daily file's header names the columns year,month,day,tmin,tmax "
                            "or location,date,temp_max,temp_min");
  }
  DailyFile daily(columns);
  while (lines.nextWithContent(line)) {
    splitCsvFields(line, lines.number(), fields);
    daily.readLine(fields, lines.number());
  }
  if (daily.places().empty()) {
    throw WeatherInputError(0, "no data lines after the header");
  }
  const PlaceDays& place = chosenPlace(daily.places(), columns, location);

  std::vector<WeatherPoint> points;
  points.reserve(place.days.size() * 24);
  GapTally gaps;
  for (std::size_t i = 0; i < place.days.size(); ++i) {
    const DayExtremes& day = place.days[i];
    if (i > 0 && day.day > place.days[i - 1].day + 1) {
      gaps.add(day.day - place.days[i - 1].day - 1,
               formatDate(dateOfDays(place.days[i - 1].day + 1)));
    }
    for (int hour = 1; hour <= 24; ++hour) {
      points.push_back({day.day * kSecondsPerCalendarDay + hour * kSecondsPerHour,
                        diurnalCelsius(day.minimumCelsius, day.maximumCelsius, hour)});
    }
  }
  WeatherOrigin origin{
      file, "daily minimum/maximum CSV", place.name,
      std::to_string(place.days.size()) + " days, hours on the ASHRAE design-day profile"};
  const std::string gapNote = gaps.note("day");
  if (!gapNote.empty()) {
    origin.note += ", " + gapNote;
  }
  return WeatherSeries(std::move(points), std::move(origin));
}
