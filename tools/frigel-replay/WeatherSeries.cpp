#include "WeatherSeries.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

WeatherSeries::WeatherSeries(std::vector<WeatherPoint> points, WeatherOrigin origin)
    : mPoints(std::move(points)), mOrigin(std::move(origin)) {
  if (mPoints.empty()) {
    throw std::invalid_argument("a weather series needs at least one point");
  }
  for (std::size_t i = 1; i < mPoints.size(); ++i) {
    if (mPoints[i].unixSeconds <= mPoints[i - 1].unixSeconds) {
      throw std::invalid_argument("weather points must rise strictly in time");
    }
  }
}

double WeatherSeries::celsiusAt(int64_t unixSeconds) const {
  const auto after = std::upper_bound(
      mPoints.begin(), mPoints.end(), unixSeconds,
      [](int64_t time, const WeatherPoint& point) { return time < point.unixSeconds; });
  if (after == mPoints.begin()) {
    return mPoints.front().celsius;
  }
  if (after == mPoints.end()) {
    return mPoints.back().celsius;
  }
  const WeatherPoint& before = *(after - 1);
  const double share = static_cast<double>(unixSeconds - before.unixSeconds) /
                       static_cast<double>(after->unixSeconds - before.unixSeconds);
  return before.celsius + share * (after->celsius - before.celsius);
}

std::string WeatherSeries::span() const {
  return formatUnixSeconds(firstUnixSeconds()) + " to " + formatUnixSeconds(lastUnixSeconds());
}

std::string WeatherSeries::description() const {
  std::string text = mOrigin.file + ": " + mOrigin.format;
  if (!mOrigin.location.empty()) {
    text += ", " + mOrigin.location;
  }
  if (!mOrigin.note.empty()) {
    text += ", " + mOrigin.note;
  }
  return text + "; " + span() + " (" + std::to_string(mPoints.size()) + " points)";
}

std::optional<WeatherSeries> selectDays(const WeatherSeries& series,
                                        const std::optional<CalendarDate>& from,
                                        const std::optional<CalendarDate>& to, std::string& error) {
  const int64_t begin = from ? unixSecondsAtMidnight(*from) : series.firstUnixSeconds();
  const int64_t end =
      to ? unixSecondsAtMidnight(*to) + kSecondsPerCalendarDay : series.lastUnixSeconds();
  const std::string asked = (from ? formatDate(*from) : std::string("the start")) + " to " +
                            (to ? formatDate(*to) : std::string("the end"));
  if (begin >= end) {
    error = series.origin().file + ": the range " + asked + " ends before it begins";
    return std::nullopt;
  }
  const auto& points = series.points();
  const auto first = std::lower_bound(
      points.begin(), points.end(), begin,
      [](const WeatherPoint& point, int64_t time) { return point.unixSeconds < time; });
  const auto last = std::upper_bound(
      first, points.end(), end,
      [](int64_t time, const WeatherPoint& point) { return time < point.unixSeconds; });
  if (first == last) {
    error =
        series.origin().file + ": no weather from " + asked + "; the file covers " + series.span();
    return std::nullopt;
  }
  return WeatherSeries(std::vector<WeatherPoint>(first, last), series.origin());
}
