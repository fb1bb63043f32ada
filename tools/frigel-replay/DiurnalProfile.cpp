#include "DiurnalProfile.h"

#include <stdexcept>

namespace {

// ASHRAE Handbook - Fundamentals, chapter 14, Table 6, hours 1 to 24.
constexpr double kFractionOfDailyRange[24] = {0.88, 0.92, 0.95, 0.98, 1.00, 0.98, 0.91, 0.74,
                                              0.55, 0.38, 0.23, 0.13, 0.05, 0.00, 0.00, 0.06,
                                              0.14, 0.24, 0.39, 0.50, 0.59, 0.68, 0.75, 0.82};

}  // namespace

double fractionOfDailyRange(int hour) {
  if (hour < 1 || hour > 24) {
    throw std::out_of_range("the hours of a day are 1 to 24");
  }
  return kFractionOfDailyRange[hour - 1];
}

double diurnalCelsius(double minimumCelsius, double maximumCelsius, int hour) {
  return maximumCelsius - fractionOfDailyRange(hour) * (maximumCelsius - minimumCelsius);
}
