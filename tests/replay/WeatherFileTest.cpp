// The weather readers on small files: every kind of malformed input is
// refused whole with the file, the line and the problem; a few well-formed
// files show what the readers make of details the shipped files lack.
#include <gtest/gtest.h>

#include <string>

#include "TempDir.h"
#include "Weather.h"

namespace {

const std::string kEpwHeader =
    "LOCATION,Testville,TS,XYZ,TMY3,000000,0,0,0,0\n"
    "DESIGN CONDITIONS,0\nTYPICAL/EXTREME PERIODS,0\nGROUND TEMPERATURES,0\n"
    "HOLIDAYS/DAYLIGHT SAVINGS,No,0,0,0\nCOMMENTS 1,\nCOMMENTS 2,\n"
    "DATA PERIODS,1,1,Data,Sunday, 1/ 1,12/31\n";

// One EPW data line of 35 fields: `dateHour` is "year,month,day,hour".
std::string epwLine(const std::string& dateHour, const std::string& dryBulb) {
  std::string line = dateHour + ",0,?9?9," + dryBulb;
  for (int field = 8; field <= 35; ++field) {
    line += ",0";
  }
  return line + "\n";
}

struct MalformedRow {
  const char* name;
  const char* file;
  const char* content;  // nullptr: the file does not exist
  WeatherReadOptions options;
  const char* fragment;
  long line;  // 0: the message names no line
};

WeatherReadOptions withFormat(WeatherFormat format) {
  WeatherReadOptions options;
  options.format = format;
  return options;
}

WeatherReadOptions withLocation(const char* location) {
  WeatherReadOptions options;
  options.location = location;
  return options;
}

WeatherReadOptions withDays(CalendarDate from, CalendarDate to) {
  WeatherReadOptions options;
  options.from = from;
  options.to = to;
  return options;
}

const std::string kShortEpwRow = "1986,1,1,1,0,?9?9,1.0,0,0,0,0,0,0,0,0,0,0,0,0,0\n";
const std::string kCsvHeader = "time,temperature\n";
const std::string kDailyHeader = "year,month,day,tmin,tmax\n";
const std::string kTwoPlaces =
    "location,date,precipitation,temp_max,temp_min,wind,weather\n"
    "Here,2015-01-01,0,10,2,1,sun\nThere,2015-01-01,0,12,4,1,sun\n";

TEST(WeatherFile, MalformedInputIsRefusedWithFileAndLine) {
  const WeatherReadOptions none;
  const std::string epwRows[] = {
      kEpwHeader.substr(0, kEpwHeader.find("DATA PERIODS")) + "DATA PERIODS,4,1,Data\n",
      kEpwHeader + "1986,1,1,1,0,?9?9\n",
      kEpwHeader + epwLine("1986,1,1,1", "1.0") + kShortEpwRow,
      kEpwHeader + epwLine("1986,1,1,1", "abc"),
      kEpwHeader + epwLine("1986,1,1,1", "61.0"),
      kEpwHeader + epwLine("1986,2,30,1", "1.0"),
      kEpwHeader + epwLine("1986,1,1,1", "1.0") + epwLine("1986,1,1,1", "2.0"),
      kEpwHeader + epwLine("1986,1,1,25", "1.0"),
      kEpwHeader + epwLine("1986,1,1,1", "1.0") + epwLine("1988,2,29,1", "2.0"),
      kEpwHeader + epwLine("1986,1,1,1", "99.9"),
  };
  const MalformedRow rows[] = {
      {"missing file", "absent.csv", nullptr, none, "cannot be read: No such file", 0},
      {"blank file", "blank.csv", "\n  \n", none, "the file is empty", 0},
      {"EPW header cut short", "short.epw", "LOCATION,x\nDESIGN CONDITIONS\n", none,
       "the header ends after 2 lines; an EPW header has 8", 0},
      {"EPW not hourly", "quarter.epw", epwRows[0].c_str(), none, "only hourly files", 8},
      {"EPW line without a dry bulb", "few.epw", epwRows[1].c_str(), none,
       "expected 7 fields, found 6", 9},
      {"EPW line cut short", "cut.epw", epwRows[2].c_str(), none, "expected 35 fields, found 20",
       10},
      {"EPW dry bulb not a number", "text.epw", epwRows[3].c_str(), none,
       "dry-bulb temperature 'abc' is not a number", 9},
      {"EPW dry bulb too warm", "warm.epw", epwRows[4].c_str(), none,
       "dry-bulb temperature 61.0 is outside -90 to +60", 9},
      {"EPW February 30", "feb.epw", epwRows[5].c_str(), none,
       "date 1986-02-30 is not a day of the calendar", 9},
      {"EPW hour twice", "twice.epw", epwRows[6].c_str(), none,
       "time 1986-01-01 01:00 repeats line 9", 10},
      {"EPW hour 25", "hour.epw", epwRows[7].c_str(), none, "hour 25 is not 1-24", 9},
      {"EPW leap day put onto a common typical year", "leap.epw", epwRows[8].c_str(), none,
       "date 1988-02-29 (put onto the typical year 2001) is not a day", 10},
      {"EPW without a dry bulb at all", "gone.epw", epwRows[9].c_str(), none,
       "every dry-bulb temperature is missing", 0},
      {"EPW asked of a CSV", "forced.csv", "2015-01-01T00:00,1\n", withFormat(WeatherFormat::Epw),
       "starts with its LOCATION line", 1},
      {"CSV extra field", "extra.csv", "2015-01-01T00:00,1,2\n", none,
       "expected 2 fields (time,temperature), found 3", 1},
      {"CSV temperature not a number", "text.csv", "2015-01-01T00:00,warm\n", none,
       "temperature 'warm' is not a number", 1},
      {"CSV temperature too cold", "cold.csv", "2015-01-01T00:00,-95\n", none,
       "temperature -95 is outside -90 to +60", 1},
      {"CSV time of another shape", "shape.csv", "2015-01-01T0:00,1\n", none,
       "time '2015-01-01T0:00' is not a time YYYY-MM-DDTHH:MM", 1},
      {"CSV February 30", "feb.csv", "2015-02-30 10:00,1\n", none,
       "time '2015-02-30 10:00' is not a day of the calendar", 1},
      {"CSV hour 24", "late.csv", "2015-01-01T24:00,1\n", none, "is not a time of day", 1},
      {"CSV times out of order", "order.csv",
       "time,temperature\n2015-01-01T01:00,1\n2015-01-01T00:00,1\n", none,
       "time 2015-01-01 00:00 comes before line 2's", 3},
      {"CSV time twice", "twice.csv", "2015-01-01T01:00Z,1\n\n2015-01-01 01:00,2\n", none,
       "time 2015-01-01 01:00 repeats line 1", 3},
      {"CSV header alone", "header.csv", "time,temperature\n", none, "no time,temperature lines",
       0},
      {"CSV quote left open", "quote.csv", "\"2015-01-01T00:00,1\n", none, "a quote is left open",
       1},
      {"CSV with a location asked", "place.csv", "2015-01-01T00:00,1\n", withLocation("Here"),
       "only daily files with a location column", 0},
      {"daily minimum above maximum", "swap.csv", "year,month,day,tmin,tmax\n2015,1,1,12,10\n",
       none, "minimum 12 is above the maximum 10", 2},
      {"daily February 29 of a common year", "leap.csv",
       "\"year\",\"month\",\"day\",\"tmin\",\"tmax\"\n2015,2,29,1,2\n", none,
       "date 2015-02-29 is not a day of the calendar", 2},
      {"daily field missing", "few.csv", "year,month,day,tmin,tmax\n2015,1,1,1\n", none,
       "expected 5 fields as in the header, found 4", 2},
      {"daily day twice", "twice.csv", "year,month,day,tmin,tmax\n2015,1,1,1,2\n2015,1,1,1,2\n",
       none, "date 2015-01-01 repeats line 2", 3},
      {"daily with a location asked", "one.csv", "year,month,day,tmin,tmax\n2015,1,1,1,2\n",
       withLocation("Here"), "location 'Here' was asked for, but the file has no location column",
       0},
      {"daily places without a name", "two.csv", kTwoPlaces.c_str(), none,
       "the file holds several locations (Here, There); name one", 0},
      {"daily place unknown", "two.csv", kTwoPlaces.c_str(), withLocation("Elsewhere"),
       "no location 'Elsewhere' in the file; it holds Here, There", 0},
      {"daily place out of order", "order.csv",
       "location,date,temp_max,temp_min\nHere,2015-01-02,3,1\nThere,2015-01-01,3,1\n"
       "Here,2015-01-01,3,1\n",
       none, "date 2015-01-01 comes before line 2's", 4},
      {"daily asked of a CSV", "forced.csv", "time,temperature\n2015-01-01T00:00,1\n",
       withFormat(WeatherFormat::Daily), "a daily file's header names the columns", 1},
      {"days outside the file", "span.csv", "2015-01-01T01:00,1\n2015-01-03T00:00,2\n",
       withDays({2016, 1, 1}, {2016, 1, 31}),
       "no weather from 2016-01-01 to 2016-01-31; the file covers 2015-01-01 01:00 to "
       "2015-01-03 00:00",
       0},
      {"days reversed", "span.csv", "2015-01-01T01:00,1\n", withDays({2015, 1, 2}, {2015, 1, 1}),
       "the range 2015-01-02 to 2015-01-01 ends before", 0},
  };
  TempDir folder;
  for (const MalformedRow& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string path = folder.path() + "/" + row.file;
    if (row.content != nullptr) {
      ASSERT_EQ(folder.write(row.file, row.content), path);
    }
    std::string error;
    EXPECT_FALSE(readWeatherFile(path, row.options, error).has_value());
    const std::string where = path + (row.line > 0 ? ":" + std::to_string(row.line) : "") + ": ";
    EXPECT_EQ(error.rfind(where, 0), 0u) << error;
    EXPECT_NE(error.find(row.fragment), std::string::npos) << error;
  }
}

TEST(WeatherFile, EpwGapsAreInterpolated) {
  const std::string text = kEpwHeader + epwLine("2015,1,1,1", "10.0") +
                           epwLine("2015,1,1,2", "99.9") + epwLine("2015,1,1,3", "14.0");
  std::string error;
  const auto series = readWeatherText(text, "gap.epw", {}, error);
  ASSERT_TRUE(series) << error;
  EXPECT_EQ(series->points().size(), 2u);
  EXPECT_DOUBLE_EQ(series->celsiusAt(1420074000 + 3600), 12.0);  // 2015-01-01 02:00
  EXPECT_EQ(
      series->description(),
      "gap.epw: EPW, Testville, TS, XYZ, the file lacks 1 hour from 2015-01-01 02:00, filled in "
      "linearly; "
      "2015-01-01 01:00 to 2015-01-01 03:00 (2 points)");
}

// Byte order mark, CR LF, a header, both time shapes, seconds and Z.
TEST(WeatherFile, TimeTemperatureLinesInEveryShape) {
  const std::string text =
      "\xEF\xBB\xBFtime,temperature\r\n2015-01-01T00:00Z,10\r\n2015-01-01 01:00,12\r\n"
      "2015-01-01T01:00:30,13.5\r\n";
  std::string error;
  const auto series = readWeatherText(text, "t.csv", {}, error);
  ASSERT_TRUE(series) << error;
  const int64_t midnight = 1420070400;  // 2015-01-01 00:00 UTC
  ASSERT_EQ(series->points().size(), 3u);
  EXPECT_EQ(series->firstUnixSeconds(), midnight);
  EXPECT_EQ(series->lastUnixSeconds(), midnight + 3630);
  EXPECT_DOUBLE_EQ(series->celsiusAt(midnight - 60), 10.0);
  EXPECT_DOUBLE_EQ(series->celsiusAt(midnight + 1800), 11.0);
  EXPECT_DOUBLE_EQ(series->celsiusAt(midnight + 3615), 12.75);
  EXPECT_DOUBLE_EQ(series->celsiusAt(midnight + 7200), 13.5);
}

}  // namespace
