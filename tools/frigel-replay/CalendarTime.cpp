#include "CalendarTime.h"

#include <cstdio>

namespace {

// Days before each month of a common year.
constexpr int kDaysBeforeMonth[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

int daysInMonth(int year, int month) {
  static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

// Days from 0001-01-01 to 1970-01-01.
constexpr int64_t kEpochDayNumber = 719162;

// Days since 0001-01-01 of January 1st of `year`.
int64_t daysBeforeYear(int64_t year) {
  const int64_t y = year - 1;
  return y * 365 + y / 4 - y / 100 + y / 400;
}

// `count` decimal digits at `text[at]`, as a number; false on anything else.
bool digitsAt(const std::string& text, std::size_t at, std::size_t count, int& value) {
  if (at + count > text.size()) {
    return false;
  }
  value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') {
      return false;
    }
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

enum class DateText { Valid, NotADate, NoSuchDay };

// The date part of `text`, its first ten characters.
DateText readDatePart(const std::string& text, CalendarDate& date) {
  if (!digitsAt(text, 0, 4, date.year) || text.size() < 10 || text[4] != '-' ||
      !digitsAt(text, 5, 2, date.month) || text[7] != '-' || !digitsAt(text, 8, 2, date.day)) {
    return DateText::NotADate;
  }
  return isValidDate(date) ? DateText::Valid : DateText::NoSuchDay;
}

const char* const kNoSuchDay = "is not a day of the calendar";

}  // namespace

bool isLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

bool isValidDate(const CalendarDate& date) {
  return date.year >= 1 && date.year <= 9999 && date.month >= 1 && date.month <= 12 &&
         date.day >= 1 && date.day <= daysInMonth(date.year, date.month);
}

int64_t daysSinceEpoch(const CalendarDate& date) {
  const int leapDay = date.month > 2 && isLeapYear(date.year) ? 1 : 0;
  return daysBeforeYear(date.year) + kDaysBeforeMonth[date.month - 1] + leapDay + date.day - 1 -
         kEpochDayNumber;
}

CalendarDate dateOfDays(int64_t days) {
  const int64_t dayNumber = days + kEpochDayNumber;
  // A first guess from the mean year length, then corrected by a year.
  int64_t year = dayNumber * 400 / 146097 + 1;
  while (daysBeforeYear(year) > dayNumber) {
    --year;
  }
  while (daysBeforeYear(year + 1) <= dayNumber) {
    ++year;
  }
  CalendarDate date;
  date.year = static_cast<int>(year);
  int dayOfYear = static_cast<int>(dayNumber - daysBeforeYear(year));
  date.month = 1;
  while (dayOfYear >= daysInMonth(date.year, date.month)) {
    dayOfYear -= daysInMonth(date.year, date.month);
    ++date.month;
  }
  date.day = dayOfYear + 1;
  return date;
}

int64_t unixSecondsAtMidnight(const CalendarDate& date) {
  return daysSinceEpoch(date) * kSecondsPerCalendarDay;
}

std::string formatDate(const CalendarDate& date) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
  return text;
}

int64_t daysOfUnixSeconds(int64_t unixSeconds) {
  // Floor division, so times before 1970 fall on the right day.
  const int64_t days = unixSeconds / kSecondsPerCalendarDay;
  return unixSeconds % kSecondsPerCalendarDay < 0 ? days - 1 : days;
}

int64_t secondOfDay(int64_t unixSeconds) {
  return unixSeconds - daysOfUnixSeconds(unixSeconds) * kSecondsPerCalendarDay;
}

std::string formatUnixSeconds(int64_t unixSeconds) {
  const int64_t days = daysOfUnixSeconds(unixSeconds);
  const int64_t daySecond = secondOfDay(unixSeconds);
  const int hour = static_cast<int>(daySecond / kSecondsPerHour);
  const int minute = static_cast<int>(daySecond % kSecondsPerHour / 60);
  const int second = static_cast<int>(daySecond % 60);
  char clock[16];
  if (second == 0) {
    std::snprintf(clock, sizeof clock, " %02d:%02d", hour, minute);
  } else {
    std::snprintf(clock, sizeof clock, " %02d:%02d:%02d", hour, minute, second);
  }
  return formatDate(dateOfDays(days)) + clock;
}

bool parseDate(const std::string& text, CalendarDate& date, std::string& problem) {
  const DateText found = text.size() == 10 ? readDatePart(text, date) : DateText::NotADate;
  if (found != DateText::Valid) {
    problem = found == DateText::NoSuchDay ? kNoSuchDay : "is not a date YYYY-MM-DD";
    return false;
  }
  return true;
}

bool parseDateTime(const std::string& text, int64_t& unixSeconds, std::string& problem) {
  std::string clock = text.size() > 10 ? text.substr(10) : std::string();
  if (!clock.empty() && clock.back() == 'Z') {
    clock.pop_back();
  }
  int hour = 0;
  int minute = 0;
  int second = 0;
  const bool clockShape = (clock.size() == 6 || clock.size() == 9) &&
                          (clock[0] == 'T' || clock[0] == ' ') && digitsAt(clock, 1, 2, hour) &&
                          clock[3] == ':' && digitsAt(clock, 4, 2, minute) &&
                          (clock.size() == 6 || (clock[6] == ':' && digitsAt(clock, 7, 2, second)));
  CalendarDate date;
  const DateText found = clockShape ? readDatePart(text, date) : DateText::NotADate;
  if (found != DateText::Valid) {
    problem = found == DateText::NoSuchDay
                  ? kNoSuchDay
                  : "is not a time YYYY-MM-DDTHH:MM[:SS][Z] or YYYY-MM-DD HH:MM[:SS][Z]";
    return false;
  }
  if (hour > 23 || minute > 59 || second > 59) {
    problem = "is not a time of day (hours 00-23, minutes and seconds 00-59)";
    return false;
  }
  unixSeconds = unixSecondsAtMidnight(date) + hour * kSecondsPerHour + minute * 60 + second;
  return true;
}
