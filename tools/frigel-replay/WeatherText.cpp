#include "WeatherText.h"

#include <cctype>

#include "plainText.h"

namespace {

// Outdoor temperatures outside these are not measurements (the records
// are about -89 and +57 degrees Celsius).
constexpr double kColdestCelsius = -90.0;
constexpr double kWarmestCelsius = 60.0;

bool isBlank(char c) {
  return isOneOf(c, kWhiteSpace);
}

}  // namespace

TextLines::TextLines(const std::string& text) : mText(text) {
  if (mText.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    mAt = 3;
  }
}

bool TextLines::next(std::string& line) {
  if (mAt >= mText.size()) {
    return false;
  }
  std::size_t end = mText.find('\n', mAt);
  if (end == std::string::npos) {
    end = mText.size();
  }
  std::size_t length = end - mAt;
  if (length > 0 && mText[mAt + length - 1] == '\r') {
    --length;
  }
  line.assign(mText, mAt, length);
  mAt = end + 1;
  ++mNumber;
  return true;
}

bool TextLines::nextWithContent(std::string& line) {
  while (next(line)) {
    for (char c : line) {
      if (!isBlank(c)) {
        return true;
      }
    }
  }
  return false;
}

std::string trimmed(const std::string& text) {
  return trimmedOf(text, kWhiteSpace);
}

std::string lowerCase(std::string text) {
  for (char& c : text) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return text;
}

void splitPlainFields(const std::string& line, std::vector<std::string>& fields) {
  fields.clear();
  std::size_t begin = 0;
  for (;;) {
    const std::size_t comma = line.find(',', begin);
    if (comma == std::string::npos) {
      fields.emplace_back(line, begin);
      return;
    }
    fields.emplace_back(line, begin, comma - begin);
    begin = comma + 1;
  }
}

void splitCsvFields(const std::string& line, long lineNumber, std::vector<std::string>& fields) {
  fields.clear();
  std::size_t at = 0;
  for (;;) {
    std::string field;
    while (at < line.size() && isBlank(line[at])) {
      ++at;
    }
    if (at < line.size() && line[at] == '"') {
      for (++at;; ++at) {
        if (at >= line.size()) {
          throw WeatherInputError(lineNumber, "a quote is left open");
        }
        if (line[at] == '"' && at + 1 < line.size() && line[at + 1] == '"') {
          field += '"';
          ++at;
        } else if (line[at] == '"') {
          break;
        } else {
          field += line[at];
        }
      }
      ++at;
      while (at < line.size() && isBlank(line[at])) {
        ++at;
      }
      if (at < line.size() && line[at] != ',') {
        throw WeatherInputError(
            lineNumber, "text after a closing quote in field " + std::to_string(fields.size() + 1));
      }
    } else {
      const std::size_t comma = line.find(',', at);
      field = trimmed(line.substr(at, comma == std::string::npos ? std::string::npos : comma - at));
      at = comma == std::string::npos ? line.size() : comma;
    }
    fields.push_back(std::move(field));
    if (at >= line.size()) {
      return;
    }
    ++at;  // the comma
  }
}

bool parseNumber(const std::string& text, double& value) {
  return parseFiniteNumber(trimmed(text), value);
}

bool parseWholeNumber(const std::string& text, int& value) {
  const std::string number = trimmed(text);
  std::size_t at = number.size() > 0 && (number[0] == '-' || number[0] == '+') ? 1 : 0;
  if (at == number.size() || number.size() - at > 9) {
    return false;
  }
  int parsed = 0;
  for (; at < number.size(); ++at) {
    if (number[at] < '0' || number[at] > '9') {
      return false;
    }
    parsed = parsed * 10 + (number[at] - '0');
  }
  value = number[0] == '-' ? -parsed : parsed;
  return true;
}

double readCelsius(const std::string& text, const std::string& what, long lineNumber) {
  double celsius = 0.0;
  if (!parseNumber(text, celsius)) {
    throw WeatherInputError(lineNumber, what + " '" + trimmed(text) + "' is not a number");
  }
  if (celsius < kColdestCelsius || celsius > kWarmestCelsius) {
    throw WeatherInputError(lineNumber,
                            what + " " + trimmed(text) + " is outside -90 to +60 degrees Celsius");
  }
  return celsius;
}

void requireLater(const TimeOnLine& previous, const TimeOnLine& current, const std::string& shown) {
  if (previous.line == 0 || current.unixSeconds > previous.unixSeconds) {
    return;
  }
  const std::string other = "line " + std::to_string(previous.line);
  throw WeatherInputError(current.line, current.unixSeconds == previous.unixSeconds
                                            ? shown + " repeats " + other
                                            : shown + " comes before " + other + "'s");
}

void GapTally::add(int64_t count, const std::string& from) {
  mMissing += count;
  ++mGaps;
  if (count > mLongest) {
    mLongest = count;
    mLongestFrom = from;
  }
}

std::string GapTally::note(const std::string& unit) const {
  if (mGaps == 0) {
    return "";
  }
  const std::string missing =
      "the file lacks " + std::to_string(mMissing) + " " + unit + (mMissing == 1 ? "" : "s");
  if (mGaps == 1) {
    return missing + " from " + mLongestFrom + ", filled in linearly";
  }
  return missing + " in " + std::to_string(mGaps) + " gaps (the longest " +
         std::to_string(mLongest) + " from " + mLongestFrom + "), filled in linearly";
}
