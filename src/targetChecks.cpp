// Compile-time checks of what the daemon assumes about the machine it runs
// on. The controller is 32-bit ARM (armhf); development machines are x86-64.
// Every build compiles this unit, so an assumption that fails on either
// stops the build instead of miscounting or tearing a value at run time.
#include <atomic>
#include <cstdint>
#include <limits>
#include <type_traits>

#include <cObject.h>

#include "CqTranslator.h"
#include "Globals.h"

namespace {

template <typename Variable, typename Expected>
constexpr bool isExactly = std::is_same_v<std::remove_cv_t<Variable>, Expected>;

// ---- values shared between the delivery thread and the main loop --------
// These are read and written without locks; a lock-based atomic would take
// a mutex inside the client's callback and could tear under a signal.
static_assert(std::atomic<float>::is_always_lock_free, "probe values must be lock-free atomics");
static_assert(std::atomic<cObjectAInput*>::is_always_lock_free,
              "probe pointers must be lock-free atomics");
static_assert(std::atomic<bool>::is_always_lock_free, "the change flag must be a lock-free atomic");
static_assert(std::atomic<uint32_t>::is_always_lock_free,
              "the last trend number must be a lock-free atomic");
static_assert(isExactly<decltype(lastTrend), std::atomic<uint32_t>>,
              "trend sequence numbers are 32-bit");

// ---- floating point ------------------------------------------------------
// Temperatures and the fan speed are IEEE-754 single precision: the wire
// codec copies their 4 bytes as they are, and the thresholds compare them.
static_assert(std::numeric_limits<float>::is_iec559, "float must be IEEE-754");
static_assert(sizeof(float) == 4 && sizeof(float) == sizeof(uint32_t), "float must be 4 bytes");

// ---- fixed-size fields of the controller ---------------------------------
// Option bytes.
static_assert(isExactly<decltype(numberOfAircons), uint8_t>, "options are one byte");
static_assert(isExactly<decltype(airconRotation), uint8_t>, "options are one byte");
static_assert(isExactly<decltype(useFreeAir), uint8_t>, "options are one byte");
static_assert(isExactly<decltype(useFanInHiTemp), uint8_t>, "options are one byte");
static_assert(isExactly<decltype(aircon1), uint8_t> && isExactly<decltype(aircon2), uint8_t> &&
                  isExactly<decltype(lastAirconOff), uint8_t> &&
                  isExactly<decltype(extraHighTempFanMode), uint8_t>,
              "output states are one byte");

// Durations and step counters: unsigned 32-bit counts of passes.
static_assert(isExactly<decltype(airconRunTimeAfterDropOutValue), uint32_t> &&
                  isExactly<decltype(fanMinimumRunTimePreCoolingValue), uint32_t> &&
                  isExactly<decltype(fanSpeedDecreaseTimeOutValue), uint32_t> &&
                  isExactly<decltype(fanSpeedIncreaseTimeOutValue), uint32_t> &&
                  isExactly<decltype(fanMinimumRunTimePreAirconValue), uint32_t> &&
                  isExactly<decltype(aircon2MinimumRunTimeValue), uint32_t> &&
                  isExactly<decltype(aircon1MinimumRunTimeValue), uint32_t> &&
                  isExactly<decltype(fanRampDownTimeValue), uint32_t> &&
                  isExactly<decltype(fanRampUpTimeValue), uint32_t> &&
                  isExactly<decltype(airconFailRetryPeriod), uint32_t>,
              "durations are unsigned 32-bit pass counts");
static_assert(isExactly<decltype(airconRunTimeAfterDropOutRegister), uint32_t> &&
                  isExactly<decltype(fanMinimumRunTimePreCoolingRegister), uint32_t> &&
                  isExactly<decltype(fanSpeedDecreaseTimeOutRegister), uint32_t> &&
                  isExactly<decltype(fanSpeedIncreaseTimeOutRegister), uint32_t> &&
                  isExactly<decltype(fanMinimumRunTimePreAirconRegister), uint32_t> &&
                  isExactly<decltype(aircon2RunTimeRegister), uint32_t> &&
                  isExactly<decltype(aircon1RunTimeRegister), uint32_t> &&
                  isExactly<decltype(fanRampDownTimeRegister), uint32_t> &&
                  isExactly<decltype(fanRampUpTimeRegister), uint32_t>,
              "count-downs are unsigned 32-bit pass counts");
static_assert(isExactly<decltype(airconRunTimeAfterDropOutFlag), uint8_t> &&
                  isExactly<decltype(fanMinimumRunTimePreCoolingFlag), uint8_t> &&
                  isExactly<decltype(fanSpeedDecreaseTimeOutFlag), uint8_t> &&
                  isExactly<decltype(fanSpeedIncreaseTimeOutFlag), uint8_t> &&
                  isExactly<decltype(fanMinimumRunTimePreAirconFlag), uint8_t> &&
                  isExactly<decltype(aircon2MinimumTimeOutFlag), uint8_t> &&
                  isExactly<decltype(aircon1MinimumTimeOutFlag), uint8_t> &&
                  isExactly<decltype(fanRampDownTimeFlag), uint8_t> &&
                  isExactly<decltype(fanRampUpTimeFlag), uint8_t>,
              "timer flags are one byte");
static_assert(isExactly<decltype(freeAirTimerLoop), uint32_t> &&
                  isExactly<decltype(AirCon1timerLoop), uint32_t> &&
                  isExactly<decltype(AirCon2timerLoop), uint32_t> &&
                  isExactly<decltype(emergencytimerLoop), uint32_t>,
              "mode step counters are unsigned 32-bit");

// Temperatures and the fan speed.
static_assert(isExactly<decltype(goalTemperature), float> &&
                  isExactly<decltype(aircon1PullIn), float> &&
                  isExactly<decltype(hiTemperaturePullIn), float> &&
                  isExactly<decltype(internalTemperatureAveraging), float> &&
                  isExactly<decltype(externalTemperatureAveraging), float> &&
                  isExactly<decltype(fanSpeedPercent), float>,
              "temperatures and the fan speed are single precision");

// ---- enumerations --------------------------------------------------------
static_assert(std::is_unsigned_v<std::underlying_type_t<eCoolingModeState>>,
              "the cooling mode is unsigned");
static_assert(noCoolingModeState == 0 && freeAirCoolingModeState == 1 &&
                  aircon1CoolingModeState == 2 && aircon2CoolingModeState == 3 &&
                  emergencyCoolingModeState == 4,
              "cooling mode values");
// The object library's enumerations travel on the wire as one byte each.
static_assert(sizeof(eObjectTypes) == 1 && sizeof(ePortType) == 1 && sizeof(eObjectIOState) == 1,
              "object enumerations are one byte on the wire");
static_assert(OBJ_PORT_AIN == 4 && OBJ_TREND_EVENT == 8 && OBJ_PORT_AOUT == 11 &&
                  OBJ_NUM_OBJECT_TYPES == 14,
              "object type values");
static_assert(PORT_TYPE_DISCRETE_OUT == 2 && PORT_TYPE_ANALOG_IN == 3 && PORT_TYPE_ANALOG_OUT == 4,
              "port type values");
static_assert(OBJ_IO_STATE_UNKNOWN == 0 && OBJ_IO_STATE_SET == 1 && OBJ_IO_STATE_CLEAR == 2,
              "I/O state values");

}  // namespace
