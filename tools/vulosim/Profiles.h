// Quantities that follow the clock: the outside temperature (a daily curve
// or a recorded series) and the equipment's heat load (constant or a daily
// profile). Times are seconds since midnight of the run's first day.
#ifndef VULOSIM_PROFILES_H
#define VULOSIM_PROFILES_H

#include <string>
#include <utility>
#include <vector>

constexpr double kSecondsPerDay = 86400.0;

// The same every day: lowest (minC) at coldestHour, highest (maxC) at
// warmestHour, and a half cosine wave from each to the other, so the curve
// is smooth and flat at both ends. The two hours may be anywhere in the day
// but must differ.
class DailyTemperatureCurve {
 public:
  DailyTemperatureCurve(double minC, double maxC, double coldestHour, double warmestHour);
  double at(double clockS) const;

 private:
  double mMinC;
  double mMaxC;
  double mColdestS;
  double mWarmestS;
};

// A value given at a few hours of the day, linear between them and from
// the last point of one day to the first of the next. One point is a
// constant.
class DailyProfile {
 public:
  // `points` are (hour of day in [0, 24), value), hours strictly rising;
  // at least one.
  explicit DailyProfile(std::vector<std::pair<double, double>> points);
  static DailyProfile constant(double value) { return DailyProfile({{0.0, value}}); }
  double at(double clockS) const;

 private:
  std::vector<std::pair<double, double>> mPoints;  // (seconds of the day, value)
};

// Recorded values at given times, linear between them; before the first
// time and after the last the nearest value holds.
class TimeSeries {
 public:
  // `points` are (seconds since midnight of the first day, value), times
  // strictly rising; at least one.
  explicit TimeSeries(std::vector<std::pair<double, double>> points) : mPoints(std::move(points)) {}
  double at(double clockS) const;

 private:
  std::vector<std::pair<double, double>> mPoints;
};

// Reads a CSV of time and temperature, one point a line:
//   time,temperature
// The time is either seconds since midnight of the first day ("3600",
// "5400.5") or a clock time H:MM or H:MM:SS whose hours may pass 23 for the
// following days ("13:30", "25:00"). Fields may be separated by a comma, a
// semicolon or a tab; blank lines and lines starting with '#' are skipped,
// and so is a first line that does not start with a time (a header). Times
// must rise strictly. False with `error` (without the path) naming the line
// and the problem.
bool parseTemperatureCsv(const std::string& text, std::vector<std::pair<double, double>>& points,
                         std::string& error);

// The outside temperature: a daily curve or a recorded series.
class OutsideTemperature {
 public:
  explicit OutsideTemperature(const DailyTemperatureCurve& curve)
      : mCurve(curve), mSeries({{0.0, 0.0}}), mRecorded(false) {}
  explicit OutsideTemperature(const TimeSeries& series)
      : mCurve(0.0, 0.0, 0.0, 12.0), mSeries(series), mRecorded(true) {}
  double at(double clockS) const { return mRecorded ? mSeries.at(clockS) : mCurve.at(clockS); }

 private:
  DailyTemperatureCurve mCurve;
  TimeSeries mSeries;
  bool mRecorded;
};

#endif
