// The cooling controller's process-wide state. Defined in controllerState.cpp
// (all but coolState, defined here). Every variable starts at zero. Durations
// are counted in main-loop passes; temperatures are degrees Celsius.
#ifndef FRIGEL_GLOBALS_H
#define FRIGEL_GLOBALS_H

#include <cstdint>

enum eCoolingModeState : unsigned int {
  noCoolingModeState = 0,
  freeAirCoolingModeState = 1,
  aircon1CoolingModeState = 2,
  aircon2CoolingModeState = 3,
  emergencyCoolingModeState = 4
};

// The current cooling mode.
inline eCoolingModeState coolState = noCoolingModeState;

// Settings, written once at start from the parameter files.
extern uint8_t numberOfAircons;  // installed air conditioners: 0, 1 or 2
extern uint8_t airconRotation;   // 0: off; any other value: roles rotate
extern uint8_t useFreeAir;       // 1: cooling with outside air allowed
extern uint8_t useFanInHiTemp;   // 1: emergency fan follows its band
extern float goalTemperature;    // free-air regulation set point
extern float maximumExtAboveIntTemperature;
extern float hiTemperaturePullIn;
extern float hiTemperatureDropOut;
extern float aircon1PullIn;
extern float aircon2PullIn;
extern float aircon1DropOut;
extern float aircon2DropOut;
extern float coolingPullIn;
extern float hiTempFanPullIn;           // upper edge of the emergency fan band
extern float fanSpeedStepUpSize;        // percentage points
extern float fanSpeedStepDownSize;      // percentage points
extern uint32_t airconFailRetryPeriod;  // read, drives nothing

// Live state.
extern float internalTemperatureAveraging;
extern float externalTemperatureAveraging;
extern float fanSpeedPercent;         // commanded fan speed, sent every pass
extern uint8_t aircon1;               // last commanded state of unit 1: 1 on, 0 off
extern uint8_t aircon2;               // last commanded state of unit 2
extern uint8_t lastAirconOff;         // unit the first role last switched off; 0 none
extern uint32_t freeAirTimerLoop;     // step of free-air mode, 0 to 5
extern uint32_t AirCon1timerLoop;     // step of single-aircon mode, 0 or 1
extern uint32_t AirCon2timerLoop;     // step of two-aircon mode, 0 or 1
extern uint32_t emergencytimerLoop;   // step of emergency mode, 0 or 1
extern uint8_t extraHighTempFanMode;  // emergency fan band state, 0 to 3

// Count-down timers: Value (duration), Register (count-down), Flag (1 once
// the count-down has run out). See flagChecker().
extern uint32_t airconRunTimeAfterDropOutValue;
extern uint32_t airconRunTimeAfterDropOutRegister;
extern uint8_t airconRunTimeAfterDropOutFlag;
extern uint32_t fanMinimumRunTimePreCoolingValue;
extern uint32_t fanMinimumRunTimePreCoolingRegister;
extern uint8_t fanMinimumRunTimePreCoolingFlag;
extern uint32_t fanSpeedDecreaseTimeOutValue;
extern uint32_t fanSpeedDecreaseTimeOutRegister;
extern uint8_t fanSpeedDecreaseTimeOutFlag;
extern uint32_t fanSpeedIncreaseTimeOutValue;
extern uint32_t fanSpeedIncreaseTimeOutRegister;
extern uint8_t fanSpeedIncreaseTimeOutFlag;
extern uint32_t fanMinimumRunTimePreAirconValue;
extern uint32_t fanMinimumRunTimePreAirconRegister;
extern uint8_t fanMinimumRunTimePreAirconFlag;
extern uint32_t aircon2MinimumRunTimeValue;
extern uint32_t aircon2RunTimeRegister;
extern uint8_t aircon2MinimumTimeOutFlag;
extern uint32_t aircon1MinimumRunTimeValue;
extern uint32_t aircon1RunTimeRegister;
extern uint8_t aircon1MinimumTimeOutFlag;
// The two ramp timers load Value / 10 (unsigned division).
extern uint32_t fanRampDownTimeValue;
extern uint32_t fanRampDownTimeRegister;
extern uint8_t fanRampDownTimeFlag;
extern uint32_t fanRampUpTimeValue;
extern uint32_t fanRampUpTimeRegister;
extern uint8_t fanRampUpTimeFlag;

#endif
