// Definitions of the controller's process-wide state (see Globals.h). Every
// variable starts at zero. The parameter reader fills in the settings; the
// controller owns the rest.
#include "Globals.h"

// Settings.
uint8_t numberOfAircons = 0;
uint8_t airconRotation = 0;
uint8_t useFreeAir = 0;
uint8_t useFanInHiTemp = 0;
float goalTemperature = 0.0f;
float maximumExtAboveIntTemperature = 0.0f;
float hiTemperaturePullIn = 0.0f;
float hiTemperatureDropOut = 0.0f;
float aircon1PullIn = 0.0f;
float aircon2PullIn = 0.0f;
float aircon1DropOut = 0.0f;
float aircon2DropOut = 0.0f;
float coolingPullIn = 0.0f;
float hiTempFanPullIn = 0.0f;
float fanSpeedStepUpSize = 0.0f;
float fanSpeedStepDownSize = 0.0f;
uint32_t airconFailRetryPeriod = 0;

// Live state.
float internalTemperatureAveraging = 0.0f;
float externalTemperatureAveraging = 0.0f;
float fanSpeedPercent = 0.0f;
uint8_t aircon1 = 0;
uint8_t aircon2 = 0;
uint8_t lastAirconOff = 0;
uint32_t freeAirTimerLoop = 0;
uint32_t AirCon1timerLoop = 0;
uint32_t AirCon2timerLoop = 0;
uint32_t emergencytimerLoop = 0;
uint8_t extraHighTempFanMode = 0;

// Timers.
uint32_t airconRunTimeAfterDropOutValue = 0;
uint32_t airconRunTimeAfterDropOutRegister = 0;
uint8_t airconRunTimeAfterDropOutFlag = 0;
uint32_t fanMinimumRunTimePreCoolingValue = 0;
uint32_t fanMinimumRunTimePreCoolingRegister = 0;
uint8_t fanMinimumRunTimePreCoolingFlag = 0;
uint32_t fanSpeedDecreaseTimeOutValue = 0;
uint32_t fanSpeedDecreaseTimeOutRegister = 0;
uint8_t fanSpeedDecreaseTimeOutFlag = 0;
uint32_t fanSpeedIncreaseTimeOutValue = 0;
uint32_t fanSpeedIncreaseTimeOutRegister = 0;
uint8_t fanSpeedIncreaseTimeOutFlag = 0;
uint32_t fanMinimumRunTimePreAirconValue = 0;
uint32_t fanMinimumRunTimePreAirconRegister = 0;
uint8_t fanMinimumRunTimePreAirconFlag = 0;
uint32_t aircon2MinimumRunTimeValue = 0;
uint32_t aircon2RunTimeRegister = 0;
uint8_t aircon2MinimumTimeOutFlag = 0;
uint32_t aircon1MinimumRunTimeValue = 0;
uint32_t aircon1RunTimeRegister = 0;
uint8_t aircon1MinimumTimeOutFlag = 0;
uint32_t fanRampDownTimeValue = 0;
uint32_t fanRampDownTimeRegister = 0;
uint8_t fanRampDownTimeFlag = 0;
uint32_t fanRampUpTimeValue = 0;
uint32_t fanRampUpTimeRegister = 0;
uint8_t fanRampUpTimeFlag = 0;
