// A measured outdoor climate as a time series of temperatures: what every
// weather reader produces and what a replay plays.
#ifndef FRIGEL_REPLAY_WEATHERSERIES_H
#define FRIGEL_REPLAY_WEATHERSERIES_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "CalendarTime.h"

struct WeatherPoint {
  int64_t unixSeconds;  // UTC, no daylight saving
  double celsius;
};

// Where a series came from, for reports.
struct WeatherOrigin {
  std::string file;      // the path as given
  std::string format;    // "EPW", "time,temperature CSV", "daily minimum/maximum CSV"
  std::string location;  // the place; "" when the file names none
  std::string note;      // how it was read, when that matters ("typical year ..."); may be ""
};

class WeatherSeries {
 public:
  // `points` must be non-empty with times strictly rising (throws
  // std::invalid_argument otherwise: the readers never hand over less).
  WeatherSeries(std::vector<WeatherPoint> points, WeatherOrigin origin);

  // Linear between the two points around `unixSeconds`; the first point's
  // value before it, the last point's value after it.
  double celsiusAt(int64_t unixSeconds) const;
  int64_t firstUnixSeconds() const { return mPoints.front().unixSeconds; }
  int64_t lastUnixSeconds() const { return mPoints.back().unixSeconds; }
  const std::vector<WeatherPoint>& points() const { return mPoints; }
  const WeatherOrigin& origin() const { return mOrigin; }

  // One line: file, format, location, note, span and number of points.
  std::string description() const;
  // "2001-01-01 01:00 to 2002-01-01 00:00"
  std::string span() const;

 private:
  std::vector<WeatherPoint> mPoints;
  WeatherOrigin mOrigin;
};

// The part of `series` for the days `from` to `to`, both included: every
// point from 00:00 of `from` to 24:00 (the next day's 00:00) of `to`, so
// each chosen day can be interpolated whole. An unset bound leaves that
// end as it is. Nothing with `error` (naming the file and its span) when no
// point is left or `from` comes after `to`.
std::optional<WeatherSeries> selectDays(const WeatherSeries& series,
                                        const std::optional<CalendarDate>& from,
                                        const std::optional<CalendarDate>& to, std::string& error);

#endif
