// A copy of the controller's whole state that can be put back: every live
// variable and timer of Globals.h and the first-pass marker, which only the
// controller's own unit can reach. The settings are not part of it: they
// are written once at start and never change while the controller runs.
// Tools that walk the controller's states (the state explorer, the test
// rig) save and restore it between passes; the mode logic never sees it.
#ifndef FRIGEL_CONTROLLERSNAPSHOT_H
#define FRIGEL_CONTROLLERSNAPSHOT_H

#include <cstdint>

#include "Globals.h"

// The settings, as X(type, name): written by the parameter reader only.
#define FRIGEL_CONTROLLER_SETTINGS(X)           \
  X(uint8_t, numberOfAircons)                   \
  X(uint8_t, airconRotation)                    \
  X(uint8_t, useFreeAir)                        \
  X(uint8_t, useFanInHiTemp)                    \
  X(float, goalTemperature)                     \
  X(float, maximumExtAboveIntTemperature)       \
  X(float, hiTemperaturePullIn)                 \
  X(float, hiTemperatureDropOut)                \
  X(float, aircon1PullIn)                       \
  X(float, aircon2PullIn)                       \
  X(float, aircon1DropOut)                      \
  X(float, aircon2DropOut)                      \
  X(float, coolingPullIn)                       \
  X(float, hiTempFanPullIn)                     \
  X(float, fanSpeedStepUpSize)                  \
  X(float, fanSpeedStepDownSize)                \
  X(uint32_t, airconFailRetryPeriod)            \
  X(uint32_t, airconRunTimeAfterDropOutValue)   \
  X(uint32_t, fanMinimumRunTimePreCoolingValue) \
  X(uint32_t, fanSpeedDecreaseTimeOutValue)     \
  X(uint32_t, fanSpeedIncreaseTimeOutValue)     \
  X(uint32_t, fanMinimumRunTimePreAirconValue)  \
  X(uint32_t, aircon2MinimumRunTimeValue)       \
  X(uint32_t, aircon1MinimumRunTimeValue)       \
  X(uint32_t, fanRampDownTimeValue)             \
  X(uint32_t, fanRampUpTimeValue)

// The live state and the timers' Registers and Flags, as X(type, name).
#define FRIGEL_CONTROLLER_LIVE_STATE(X)            \
  X(eCoolingModeState, coolState)                  \
  X(float, internalTemperatureAveraging)           \
  X(float, externalTemperatureAveraging)           \
  X(float, fanSpeedPercent)                        \
  X(uint8_t, aircon1)                              \
  X(uint8_t, aircon2)                              \
  X(uint8_t, lastAirconOff)                        \
  X(uint32_t, freeAirTimerLoop)                    \
  X(uint32_t, AirCon1timerLoop)                    \
  X(uint32_t, AirCon2timerLoop)                    \
  X(uint32_t, emergencytimerLoop)                  \
  X(uint8_t, extraHighTempFanMode)                 \
  X(uint32_t, airconRunTimeAfterDropOutRegister)   \
  X(uint8_t, airconRunTimeAfterDropOutFlag)        \
  X(uint32_t, fanMinimumRunTimePreCoolingRegister) \
  X(uint8_t, fanMinimumRunTimePreCoolingFlag)      \
  X(uint32_t, fanSpeedDecreaseTimeOutRegister)     \
  X(uint8_t, fanSpeedDecreaseTimeOutFlag)          \
  X(uint32_t, fanSpeedIncreaseTimeOutRegister)     \
  X(uint8_t, fanSpeedIncreaseTimeOutFlag)          \
  X(uint32_t, fanMinimumRunTimePreAirconRegister)  \
  X(uint8_t, fanMinimumRunTimePreAirconFlag)       \
  X(uint32_t, aircon2RunTimeRegister)              \
  X(uint8_t, aircon2MinimumTimeOutFlag)            \
  X(uint32_t, aircon1RunTimeRegister)              \
  X(uint8_t, aircon1MinimumTimeOutFlag)            \
  X(uint32_t, fanRampDownTimeRegister)             \
  X(uint8_t, fanRampDownTimeFlag)                  \
  X(uint32_t, fanRampUpTimeRegister)               \
  X(uint8_t, fanRampUpTimeFlag)

struct ControllerSnapshot {
#define FRIGEL_SNAPSHOT_FIELD(type, name) type name{};
  FRIGEL_CONTROLLER_LIVE_STATE(FRIGEL_SNAPSHOT_FIELD)
#undef FRIGEL_SNAPSHOT_FIELD
  // 1 until the first pass has chosen the starting mode.
  uint8_t first = 1;
};

// The state now. A default ControllerSnapshot is the state at start.
ControllerSnapshot saveControllerState();
// Puts every variable of `snapshot` back, the first-pass marker included.
void restoreControllerState(const ControllerSnapshot& snapshot);

#endif
