#include "ProbeReader.h"

#include <cmath>

double quantise(double valueC, double resolutionC) {
  if (!(resolutionC > 0.0)) {
    return valueC;
  }
  // + 0.0 turns a rounded -0 into 0, which prints as "0".
  return std::round(valueC / resolutionC) * resolutionC + 0.0;
}

float ProbeReader::read(double trueC) {
  double valueC = trueC;
  if (mNoiseC > 0.0) {
    valueC += mNoiseC * standardNormal();
  }
  return static_cast<float>(quantise(valueC, mResolutionC));
}

double ProbeReader::uniformOpen() {
  // 32 random bits mapped to the middle of 2^32 equal cells: never 0 or 1.
  return (static_cast<double>(mGenerator()) + 0.5) / 4294967296.0;
}

double ProbeReader::standardNormal() {
  if (mHaveSpare) {
    mHaveSpare = false;
    return mSpare;
  }
  constexpr double kTwoPi = 6.28318530717958647692;
  const double radius = std::sqrt(-2.0 * std::log(uniformOpen()));
  const double angle = kTwoPi * uniformOpen();
  mSpare = radius * std::sin(angle);
  mHaveSpare = true;
  return radius * std::cos(angle);
}
