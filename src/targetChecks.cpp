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
#include "controllerVariables.h"

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
// Every controller variable has the type its list gives (option bytes and
// flags one byte, durations and count-downs unsigned 32-bit pass counts,
// temperatures and the fan speed single precision): the lists that the
// state snapshot and the explorer copy by are the declarations' own.
#define FRIGEL_CHECK_TYPE(type, name) \
  static_assert(isExactly<decltype(name), type>, #name " has the type of its list");
FRIGEL_CONTROLLER_SETTINGS(FRIGEL_CHECK_TYPE)
FRIGEL_CONTROLLER_LIVE_STATE(FRIGEL_CHECK_TYPE)
#undef FRIGEL_CHECK_TYPE
static_assert(sizeof(uint8_t) == 1 && sizeof(uint32_t) == 4, "fixed-size integers");

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
