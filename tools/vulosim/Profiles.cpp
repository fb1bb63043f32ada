#include "Profiles.h"

#include <cmath>
#include <cstdlib>
#include <sstream>

#include "NumberText.h"
#include "plainText.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// `value` folded into [0, period).
double wrap(double value, double period) {
  double folded = std::fmod(value, period);
  if (folded < 0.0) {
    folded += period;
  }
  return folded >= period ? 0.0 : folded;
}

// 0 at 0, 1 at 1, flat at both ends.
double halfCosine(double fraction) {
  return (1.0 - std::cos(kPi * fraction)) / 2.0;
}

double interpolate(double x0, double y0, double x1, double y1, double x) {
  return x1 == x0 ? y0 : y0 + (y1 - y0) * (x - x0) / (x1 - x0);
}

bool parseDigits(const std::string& text, double& value) {
  if (text.empty() || text.size() > 9 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  value = std::strtod(text.c_str(), nullptr);
  return true;
}

// "3600" (seconds) or "H:MM" / "H:MM:SS" (a clock time, hours unbounded).
bool parseTime(const std::string& text, double& seconds) {
  const std::size_t firstColon = text.find(':');
  if (firstColon == std::string::npos) {
    return parseFiniteDouble(text, seconds) && seconds >= 0.0;
  }
  const std::size_t secondColon = text.find(':', firstColon + 1);
  double hours = 0.0;
  double minutes = 0.0;
  double secs = 0.0;
  const std::string minutesText =
      text.substr(firstColon + 1, secondColon == std::string::npos ? std::string::npos
                                                                   : secondColon - firstColon - 1);
  if (!parseDigits(text.substr(0, firstColon), hours) || minutesText.size() != 2 ||
      !parseDigits(minutesText, minutes) || minutes >= 60.0) {
    return false;
  }
  if (secondColon != std::string::npos) {
    const std::string secondsText = text.substr(secondColon + 1);
    if (secondsText.size() != 2 || !parseDigits(secondsText, secs) || secs >= 60.0) {
      return false;
    }
  }
  seconds = hours * 3600.0 + minutes * 60.0 + secs;
  return true;
}

// A line or field of a CSV file without the spaces, tabs and carriage
// returns around it.
std::string trim(const std::string& text) {
  return trimmedOf(text, " \t\r");
}

}  // namespace

DailyTemperatureCurve::DailyTemperatureCurve(double minC, double maxC, double coldestHour,
                                             double warmestHour)
    : mMinC(minC),
      mMaxC(maxC),
      mColdestS(wrap(coldestHour * 3600.0, kSecondsPerDay)),
      mWarmestS(wrap(warmestHour * 3600.0, kSecondsPerDay)) {}

double DailyTemperatureCurve::at(double clockS) const {
  double risingS = wrap(mWarmestS - mColdestS, kSecondsPerDay);
  if (risingS == 0.0) {
    risingS = kSecondsPerDay / 2.0;  // refused when loading; never divide by zero
  }
  const double sinceColdestS = wrap(clockS - mColdestS, kSecondsPerDay);
  const double swingC = mMaxC - mMinC;
  if (sinceColdestS < risingS) {
    return mMinC + swingC * halfCosine(sinceColdestS / risingS);
  }
  const double fallingS = kSecondsPerDay - risingS;
  return mMaxC - swingC * halfCosine((sinceColdestS - risingS) / fallingS);
}

DailyProfile::DailyProfile(std::vector<std::pair<double, double>> points) {
  for (const auto& [hour, value] : points) {
    mPoints.emplace_back(hour * 3600.0, value);
  }
  if (mPoints.empty()) {
    mPoints.emplace_back(0.0, 0.0);
  }
}

double DailyProfile::at(double clockS) const {
  const double s = wrap(clockS, kSecondsPerDay);
  const auto& first = mPoints.front();
  const auto& last = mPoints.back();
  if (mPoints.size() == 1) {
    return first.second;
  }
  if (s < first.first) {
    return interpolate(last.first - kSecondsPerDay, last.second, first.first, first.second, s);
  }
  if (s >= last.first) {
    return interpolate(last.first, last.second, first.first + kSecondsPerDay, first.second, s);
  }
  for (std::size_t i = 0; i + 1 < mPoints.size(); ++i) {
    if (s < mPoints[i + 1].first) {
      return interpolate(mPoints[i].first, mPoints[i].second, mPoints[i + 1].first,
                         mPoints[i + 1].second, s);
    }
  }
  return last.second;
}

double TimeSeries::at(double clockS) const {
  if (mPoints.empty()) {
    return 0.0;
  }
  if (clockS <= mPoints.front().first) {
    return mPoints.front().second;
  }
  if (clockS >= mPoints.back().first) {
    return mPoints.back().second;
  }
  // The first point after clockS; the one before it is at or before clockS.
  std::size_t lo = 0;
  std::size_t hi = mPoints.size() - 1;
  while (hi - lo > 1) {
    const std::size_t mid = lo + (hi - lo) / 2;
    (mPoints[mid].first <= clockS ? lo : hi) = mid;
  }
  return interpolate(mPoints[lo].first, mPoints[lo].second, mPoints[hi].first, mPoints[hi].second,
                     clockS);
}

bool parseTemperatureCsv(const std::string& text, std::vector<std::pair<double, double>>& points,
                         std::string& error) {
  points.clear();
  std::istringstream lines(text);
  std::string line;
  int lineNumber = 0;
  bool firstContentLine = true;
  while (std::getline(lines, line)) {
    ++lineNumber;
    const std::string content = trim(line);
    if (content.empty() || content[0] == '#') {
      continue;
    }
    const std::size_t separator = content.find_first_of(",;\t");
    const std::string timeText =
        trim(separator == std::string::npos ? content : content.substr(0, separator));
    const std::string valueText =
        separator == std::string::npos ? "" : trim(content.substr(separator + 1));
    double timeS = 0.0;
    const bool timeOk = parseTime(timeText, timeS);
    const bool wasFirst = firstContentLine;
    firstContentLine = false;
    if (!timeOk && wasFirst && !timeText.empty() &&
        !std::isdigit(static_cast<unsigned char>(timeText[0]))) {
      continue;  // a header such as "time,temperature"
    }
    const std::string where = "line " + std::to_string(lineNumber) + ": ";
    if (!timeOk) {
      error = where + "time '" + timeText + "' is neither seconds nor H:MM[:SS]";
      return false;
    }
    double valueC = 0.0;
    if (!parseFiniteDouble(valueText, valueC)) {
      error = where + "temperature '" + valueText + "' is not a finite number";
      return false;
    }
    if (!points.empty() && timeS <= points.back().first) {
      error = where + "time '" + timeText + "' does not come after the line before";
      return false;
    }
    points.emplace_back(timeS, valueC);
  }
  if (points.empty()) {
    error = "no time and temperature in it";
    return false;
  }
  return true;
}
