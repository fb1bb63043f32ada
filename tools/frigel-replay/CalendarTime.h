// Dates and times of weather files on the proleptic Gregorian calendar,
// counted as UTC: a file's clock is taken as it is written, with no time
// zone and no daylight saving.
#ifndef FRIGEL_REPLAY_CALENDARTIME_H
#define FRIGEL_REPLAY_CALENDARTIME_H

#include <cstdint>
#include <string>

constexpr int64_t kSecondsPerHour = 3600;
constexpr int64_t kSecondsPerCalendarDay = 86400;

struct CalendarDate {
  int year = 1970;
  int month = 1;  // 1-12
  int day = 1;    // 1-31
};

bool isLeapYear(int year);
// True for a day that exists: years 1-9999, months 1-12, the month's days.
bool isValidDate(const CalendarDate& date);
// Days since 1970-01-01 (negative before it).
int64_t daysSinceEpoch(const CalendarDate& date);
CalendarDate dateOfDays(int64_t daysSinceEpoch);
int64_t unixSecondsAtMidnight(const CalendarDate& date);
// The day `unixSeconds` falls on, in days since 1970-01-01 (rounded down,
// also before 1970), and its second of that day, 0 to 86399.
int64_t daysOfUnixSeconds(int64_t unixSeconds);
int64_t secondOfDay(int64_t unixSeconds);

// "2015-02-28"
std::string formatDate(const CalendarDate& date);
// "2015-02-28 13:00", or with seconds "2015-02-28 13:00:05" when they are
// not 0.
std::string formatUnixSeconds(int64_t unixSeconds);

// Parsing reports what it found wrong in `problem`, without the line.
//
// YYYY-MM-DD, a day that exists.
bool parseDate(const std::string& text, CalendarDate& date, std::string& problem);
// YYYY-MM-DDTHH:MM[:SS][Z] or YYYY-MM-DD HH:MM[:SS][Z]: hours 00-23,
// minutes and seconds 00-59.
bool parseDateTime(const std::string& text, int64_t& unixSeconds, std::string& problem);

#endif
