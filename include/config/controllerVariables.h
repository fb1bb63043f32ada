// The controller's variables of Globals.h as lists, for code that must
// visit every one of them (the snapshot, the settings as values below, the
// replay's rescaling), so that none is forgotten when one is added.
#ifndef FRIGEL_CONTROLLERVARIABLES_H
#define FRIGEL_CONTROLLERVARIABLES_H

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

// The controller's settings as values, one member per setting (0 unless
// set), apart from the process-wide variables: a site's settings kept,
// compared or changed before the controller gets them.
struct ControllerSettingValues {
#define FRIGEL_SETTING_VALUE(type, name) type name{};
  FRIGEL_CONTROLLER_SETTINGS(FRIGEL_SETTING_VALUE)
#undef FRIGEL_SETTING_VALUE

  // The controller's settings now (after the parameter files were read).
  static ControllerSettingValues current();
  // Writes every member into the controller's settings.
  void apply() const;
  // Every member the same (a NaN threshold equals nothing).
  bool operator==(const ControllerSettingValues& other) const;
};

#endif
