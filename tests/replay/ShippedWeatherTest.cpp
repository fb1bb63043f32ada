// The weather files shipped in data/weather, read as a replay reads them,
// against facts measured in the files themselves.
#include <gtest/gtest.h>

#include <string>

#include "Weather.h"

namespace {

std::string shipped(const char* file) {
  return std::string(FRIGEL_WEATHER_DIR) + "/" + file;
}

struct Extreme {
  double celsius;
  const char* when;  // the first time it is reached
};

struct ShippedFacts {
  const char* file;
  const char* location;
  std::size_t points;
  const char* first;
  const char* last;
  Extreme coldest;
  Extreme warmest;
  const char* description;
};

TEST(ShippedWeather, EachFileReadsWithItsMeasuredFacts) {
  // Times are UTC on the files' own clocks. The daily files' extremes fall
  // on the profile's 05:00 (minimum) and 14:00 (maximum).
  // clang-format off
  const ShippedFacts rows[] = {
      {"chicago-ohare-tmy3.epw", "", 8760,
       "2001-01-01 01:00", "2002-01-01 00:00",
       {-22.8, "2001-01-07 07:00"}, {35.0, "2001-07-19 15:00"},
       "EPW, Chicago Ohare Intl Ap, IL, USA, typical year (TMY3): rows from 1977-2002 put onto "
       "2001; 2001-01-01 01:00 to 2002-01-01 00:00 (8760 points)"},
      {"badajoz-1955-2015-daily.csv", "", 21908 * 24,
       "1955-01-01 01:00", "2016-01-01 00:00",
       {-7.2, "2005-01-28 05:00"}, {44.7758, "2003-08-01 14:00"},
       "daily minimum/maximum CSV, 21908 days, hours on the ASHRAE design-day profile, the file "
       "lacks 372 days in 17 gaps (the longest 28 from 1958-02-01), filled in linearly"},
      {"newyork-seattle-2012-2015-daily.csv", "Seattle", 1461 * 24,
       "2012-01-01 01:00", "2016-01-01 00:00",
       {-7.1, "2013-12-07 05:00"}, {35.6, "2014-08-11 14:00"},
       "daily minimum/maximum CSV, Seattle, 1461 days"},
      {"newyork-seattle-2012-2015-daily.csv", "new york", 1461 * 24,
       "2012-01-01 01:00", "2016-01-01 00:00",
       {-16.0, "2014-01-04 05:00"}, {37.8, "2013-07-18 14:00"},
       "daily minimum/maximum CSV, New York, 1461 days"},
  };
  // clang-format on
  for (const ShippedFacts& row : rows) {
    SCOPED_TRACE(std::string(row.file) + " " + row.location);
    WeatherReadOptions options;
    options.location = row.location;
    std::string error;
    const auto series = readWeatherFile(shipped(row.file), options, error);
    ASSERT_TRUE(series) << error;
    EXPECT_EQ(series->points().size(), row.points);
    EXPECT_EQ(formatUnixSeconds(series->firstUnixSeconds()), row.first);
    EXPECT_EQ(formatUnixSeconds(series->lastUnixSeconds()), row.last);
    WeatherPoint coldest{0, 1e9};
    WeatherPoint warmest{0, -1e9};
    for (const WeatherPoint& point : series->points()) {
      if (point.celsius < coldest.celsius) {
        coldest = point;
      }
      if (point.celsius > warmest.celsius) {
        warmest = point;
      }
    }
    EXPECT_NEAR(coldest.celsius, row.coldest.celsius, 1e-9);
    EXPECT_EQ(formatUnixSeconds(coldest.unixSeconds), row.coldest.when);
    EXPECT_NEAR(warmest.celsius, row.warmest.celsius, 1e-9);
    EXPECT_EQ(formatUnixSeconds(warmest.unixSeconds), row.warmest.when);
    EXPECT_NE(series->description().find(row.description), std::string::npos)
        << series->description();
  }
}

// Badajoz, a hot climate: its hottest days, its first day on the diurnal
// profile (minimum 3.6, maximum 14.2), and its second day chosen alone.
TEST(ShippedWeather, BadajozDaysOnTheDiurnalProfile) {
  WeatherReadOptions options;
  std::string error;
  const auto all = readWeatherFile(shipped("badajoz-1955-2015-daily.csv"), options, error);
  ASSERT_TRUE(all) << error;
  int hotDays = 0;
  for (const WeatherPoint& point : all->points()) {
    const int64_t secondOfDay =
        (point.unixSeconds % kSecondsPerCalendarDay + kSecondsPerCalendarDay) %
        kSecondsPerCalendarDay;
    const bool dailyMaximumHour = secondOfDay == 14 * kSecondsPerHour;
    hotDays += dailyMaximumHour && point.celsius >= 40.0 ? 1 : 0;
  }
  EXPECT_EQ(hotDays, 224);

  const int64_t midnight = -473385600;  // 1955-01-01 00:00
  const struct {
    int hour;
    double celsius;
  } hours[] = {{1, 14.2 - 0.88 * 10.6}, {5, 3.6}, {9, 14.2 - 0.55 * 10.6}, {14, 14.2}, {15, 14.2},
               {24, 14.2 - 0.82 * 10.6}};
  for (const auto& expected : hours) {
    EXPECT_NEAR(all->celsiusAt(midnight + expected.hour * kSecondsPerHour), expected.celsius, 1e-9)
        << "hour " << expected.hour;
  }

  // A day chosen alone keeps both its midnights: 00:00 to the next 00:00.
  options.from = CalendarDate{1955, 1, 2};
  options.to = CalendarDate{1955, 1, 2};
  const auto day = readWeatherFile(shipped("badajoz-1955-2015-daily.csv"), options, error);
  ASSERT_TRUE(day) << error;
  EXPECT_EQ(day->points().size(), 25u);
  EXPECT_EQ(day->firstUnixSeconds(), midnight + kSecondsPerCalendarDay);
  EXPECT_EQ(day->lastUnixSeconds(), midnight + 2 * kSecondsPerCalendarDay);
}

}  // namespace
