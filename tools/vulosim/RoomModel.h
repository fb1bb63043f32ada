// The thermal physics of one lumped room: one temperature for the air and
// everything in the room, heated by the equipment, exchanging heat with the
// outside through the walls and through the fan's airflow, cooled by the
// air conditioners:
//
//   C dT/dt = load - cooling + (UA + G_fan) (T_out - T)
//
// With the inputs held constant over a step the equation is linear with a
// closed-form solution, which advance() uses: any step length is stable and
// exact for constant inputs. No I/O and no clock: the caller decides the
// inputs and the step.
#ifndef VULOSIM_ROOMMODEL_H
#define VULOSIM_ROOMMODEL_H

// Heat carried by one cubic metre of air per kelvin: 1.2 kg/m3 times
// 1005 J/(kg K).
constexpr double kAirHeatJPerCubicMetreKelvin = 1206.0;

// The conductance (W/K) of an airflow of `cubicMetresPerHour` that swaps
// inside air for outside air.
double airflowConductanceWPerK(double cubicMetresPerHour);

// The room temperature over one step with constant inputs:
//   T(s) = equilibriumC + (startC - equilibriumC) exp(-decayPerS s)
// or, when nothing conducts heat out (decayPerS == 0), the straight line
//   T(s) = startC + slopeCPerS s.
// Either way T is monotonic over the step, which the queries rely on.
struct StepCurve {
  double startC = 0.0;
  double durationS = 0.0;
  // The temperature the room tends to; meaningful when decayPerS > 0.
  double equilibriumC = 0.0;
  // Conductance over heat capacity (1/s), the inverse of the time constant;
  // 0 when the room is perfectly insulated.
  double decayPerS = 0.0;
  // Rate of change when decayPerS == 0 (K/s).
  double slopeCPerS = 0.0;

  // T at `s` seconds into the step (0 <= s <= durationS).
  double at(double s) const;
  double endC() const { return at(durationS); }
  // The integral of T over the step (degree-seconds): the step's share of
  // a time-weighted mean.
  double integralCS() const;
  // Seconds of the step during which T is above `thresholdC`.
  double timeAboveS(double thresholdC) const;
};

struct RoomParameters {
  // Heat capacity of the air and everything in the room (J/K); > 0.
  double heatCapacityJPerK = 1.0;
  // Conductance of the walls and roof to the outside (W/K); >= 0.
  double wallConductanceWPerK = 0.0;
};

// What acts on the room during one step.
struct RoomInputs {
  double outsideC = 0.0;
  // Heat given off inside by the equipment (W).
  double loadW = 0.0;
  // Heat taken out by the running air conditioners (W).
  double coolingW = 0.0;
  // Conductance of the fan's airflow at its current speed (W/K); 0: off.
  double ventilationWPerK = 0.0;
};

class RoomModel {
 public:
  RoomModel(const RoomParameters& parameters, double initialC)
      : mParameters(parameters), mTemperatureC(initialC) {}

  double temperatureC() const { return mTemperatureC; }
  const RoomParameters& parameters() const { return mParameters; }

  // The curve of the next `durationS` seconds (> 0) under `inputs`; the
  // room's temperature moves to the curve's end.
  StepCurve advance(const RoomInputs& inputs, double durationS);

 private:
  RoomParameters mParameters;
  double mTemperatureC;
};

#endif
