#include "RoomModel.h"

#include <algorithm>
#include <cmath>

double airflowConductanceWPerK(double cubicMetresPerHour) {
  return cubicMetresPerHour / 3600.0 * kAirHeatJPerCubicMetreKelvin;
}

double StepCurve::at(double s) const {
  if (decayPerS > 0.0) {
    return equilibriumC + (startC - equilibriumC) * std::exp(-decayPerS * s);
  }
  return startC + slopeCPerS * s;
}

double StepCurve::integralCS() const {
  if (decayPerS > 0.0) {
    // expm1 keeps the small-step case exact: 1 - e^-x for a tiny x.
    const double settledFraction = -std::expm1(-decayPerS * durationS);
    return equilibriumC * durationS + (startC - equilibriumC) * settledFraction / decayPerS;
  }
  return startC * durationS + slopeCPerS * durationS * durationS / 2.0;
}

double StepCurve::timeAboveS(double thresholdC) const {
  const double endTemperatureC = endC();
  const bool startAbove = startC > thresholdC;
  const bool endAbove = endTemperatureC > thresholdC;
  if (startAbove == endAbove) {
    return startAbove ? durationS : 0.0;
  }
  // T is monotonic, so it crosses the threshold exactly once.
  double crossingS = 0.0;
  if (decayPerS > 0.0) {
    crossingS = -std::log((thresholdC - equilibriumC) / (startC - equilibriumC)) / decayPerS;
  } else {
    crossingS = (thresholdC - startC) / slopeCPerS;
  }
  crossingS = std::clamp(crossingS, 0.0, durationS);
  return startAbove ? crossingS : durationS - crossingS;
}

StepCurve RoomModel::advance(const RoomInputs& inputs, double durationS) {
  StepCurve curve;
  curve.startC = mTemperatureC;
  curve.durationS = durationS;
  const double conductanceWPerK = mParameters.wallConductanceWPerK + inputs.ventilationWPerK;
  const double netHeatW = inputs.loadW - inputs.coolingW;
  if (conductanceWPerK > 0.0) {
    curve.equilibriumC = inputs.outsideC + netHeatW / conductanceWPerK;
    curve.decayPerS = conductanceWPerK / mParameters.heatCapacityJPerK;
  } else {
    curve.slopeCPerS = netHeatW / mParameters.heatCapacityJPerK;
  }
  mTemperatureC = curve.endC();
  return curve;
}
