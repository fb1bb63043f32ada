// Pieces the weather readers share: the problem a reader stops at, the
// lines of a file with their numbers, comma-separated fields and strict
// numbers.
#ifndef FRIGEL_REPLAY_WEATHERTEXT_H
#define FRIGEL_REPLAY_WEATHERTEXT_H

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// The first problem in a weather file: the reader stops there and returns
// no series. `line` is 1-based; 0 when the problem is the file as a whole.
class WeatherInputError : public std::runtime_error {
 public:
  WeatherInputError(long line, const std::string& problem)
      : std::runtime_error(problem), mLine(line) {}
  long line() const { return mLine; }

 private:
  long mLine;
};

// The lines of a text one by one, without their end (LF or CR LF), counted
// from 1. A UTF-8 byte order mark before the first line is dropped.
class TextLines {
 public:
  explicit TextLines(const std::string& text);
  // The next line into `line`; false at the end of the text.
  bool next(std::string& line);
  // The next line that holds more than white space.
  bool nextWithContent(std::string& line);
  // The number of the line `next` returned last.
  long number() const { return mNumber; }

 private:
  const std::string& mText;
  std::size_t mAt = 0;
  long mNumber = 0;
};

std::string trimmed(const std::string& text);
std::string lowerCase(std::string text);

// Splits at every comma, as they are: for files that never quote (EPW).
void splitPlainFields(const std::string& line, std::vector<std::string>& fields);
// Splits a CSV line: fields may be in double quotes (which may hold commas,
// and "" for a quote); each field is unquoted and trimmed of white space.
// Throws WeatherInputError on line `lineNumber` for a quote left open or
// text after a closing quote.
void splitCsvFields(const std::string& line, long lineNumber, std::vector<std::string>& fields);

// `text`, trimmed, as a whole finite number; false for anything else.
bool parseNumber(const std::string& text, double& value);
// `text`, trimmed, as a whole number of decimal digits with an optional
// sign; false for anything else or beyond +-999999999.
bool parseWholeNumber(const std::string& text, int& value);

// The temperature in `text` on line `lineNumber`, called `what` in the
// messages; throws WeatherInputError when it is not a number or outside
// -90 to +60 degrees Celsius.
double readCelsius(const std::string& text, const std::string& what, long lineNumber);

// A time and the line it was read on.
struct TimeOnLine {
  int64_t unixSeconds = 0;
  long line = 0;  // 0: nothing read yet
};
// Throws WeatherInputError on `current`'s line when it does not come after
// `previous`; `shown` is how the message shows the current time ("time
// 2015-01-01 10:00", "date 2015-01-01").
void requireLater(const TimeOnLine& previous, const TimeOnLine& current, const std::string& shown);

// The stretches without values that a series fills in by straight lines
// between their neighbours, summed up for the series' note.
class GapTally {
 public:
  // A stretch of `count` missing hours or days, the first at `from`.
  void add(int64_t count, const std::string& from);
  // "" without gaps; otherwise, with `unit` "hour" or "day": "the file
  // lacks 372 days in 17 gaps (the longest 28 from 1958-02-01), filled in
  // linearly". It speaks of the whole file, also after a selection.
  std::string note(const std::string& unit) const;

 private:
  int64_t mMissing = 0;
  int64_t mGaps = 0;
  int64_t mLongest = 0;
  std::string mLongestFrom;
};

#endif
