// The cooling mode machine. whichCooloingMode() runs once per main-loop pass:
// it picks the starting mode on the first pass, forces emergency cooling at
// the high-temperature threshold, runs one step of the current mode and sends
// the fan speed. Each mode step is a plain function over the process-wide
// state of Globals.h. A step that changes coolState hands over at the next
// pass: the new mode's step never runs in the same pass.
//
// Every temperature test is a plain single-precision comparison; where a rule
// has an "otherwise" that is itself a temperature condition, that condition is
// tested explicitly, so a temperature that is not a number satisfies no rule.
#include "frigel.h"

#include <cstdint>

#include "Globals.h"
#include "controllerSnapshot.h"
#include "iostub.h"

namespace {

// 1 until the first pass has chosen the starting mode; never 1 again.
uint8_t first = 1;

// One step of a fan ramp: 10 percentage points per expiry of a ramp timer,
// which is loaded with a tenth of its Value (unsigned division, remainder
// dropped). A Value below 10 therefore loads 0, and that timer never expires.
const float rampStepPercent = 10.0f;
const float fullSpeedPercent = 100.0f;
const uint32_t rampIntervalDivisor = 10;

// Free-air mode never stops the fan; its lowest speed is 1 percent.
const float freeAirLowestSpeedPercent = 1.0f;

// Width of the emergency fan band below hiTempFanPullIn, degrees Celsius.
const float hiTempFanBandWidth = 2.0f;

// Steps of free-air mode, kept in freeAirTimerLoop.
enum : uint32_t {
  freeAirStart = 0,
  freeAirPreCooling = 1,
  freeAirRegulate = 2,
  freeAirWaitAfterStepDown = 3,
  freeAirWaitAfterStepUp = 4,
  freeAirPreAircon = 5
};

// States of the emergency fan band, kept in extraHighTempFanMode.
enum : uint8_t {
  bandStartRampUp = 0,
  bandStartRampDown = 1,
  bandRampingUp = 2,
  bandRampingDown = 3
};

uint32_t rampDownInterval() {
  return fanRampDownTimeValue / rampIntervalDivisor;
}
uint32_t rampUpInterval() {
  return fanRampUpTimeValue / rampIntervalDivisor;
}

// ---- Air conditioner roles ------------------------------------------------

// With rotation on (and other than exactly one unit installed), the first
// role belongs to unit 2 unless unit 2 was the last one the first role
// switched off. Evaluated afresh on every call: a unit still running in the
// second role takes the first role as soon as the first unit is switched off.
bool rolesSwapped() {
  return numberOfAircons != 1 && lastAirconOff != 2 && airconRotation != 0;
}

uint8_t secondAirconUnit() {
  return rolesSwapped() ? 1 : 2;
}

// The controller's record of a unit's last commanded state (1 on, 0 off).
uint8_t recordedState(uint8_t unit) {
  return unit == 1 ? aircon1 : aircon2;
}

// Switches `unit` to `state` only when its record shows the opposite state,
// so that the role operations can run on every pass. True when it switched.
bool switchOnChange(uint8_t unit, int state) {
  const int opposite = state == on ? off : on;
  if (recordedState(unit) != opposite) {
    return false;
  }
  switchAircon(unit, static_cast<uint8_t>(state), 0);
  return true;
}

// ---- Shared mode actions ----------------------------------------------------

// One ramp-down step: lowers the fan by 10 and restarts the ramp timer; at 10
// or below (or at an impossible speed above 100) the fan stops and the timer
// is left alone, which ends the ramp. Takes the expiry.
void rampFanDownOneStep() {
  if (fanSpeedPercent > fullSpeedPercent || fanSpeedPercent <= rampStepPercent) {
    fanSpeedPercent = 0.0f;
  } else {
    fanSpeedPercent -= rampStepPercent;
    fanRampDownTimeRegister = rampDownInterval();
  }
  fanRampDownTimeFlag = clear;
}

// One ramp-up step: raises the fan by 10 and restarts the ramp timer; from
// 90 up the fan goes to full speed and the ramp ends. Takes the expiry.
void rampFanUpOneStep() {
  if (fanSpeedPercent >= fullSpeedPercent - rampStepPercent) {
    fanSpeedPercent = fullSpeedPercent;
  } else {
    fanSpeedPercent += rampStepPercent;
    fanRampUpTimeRegister = rampUpInterval();
  }
  fanRampUpTimeFlag = clear;
}

// Hand-over to single-aircon cooling with its minimum run time started.
// freeAirTimerLoop is left alone: the single-aircon first step resets it.
void pullIntoSingleAircon() {
  coolState = aircon1CoolingModeState;
  aircon1RunTimeRegister = aircon1MinimumRunTimeValue;
}

// Hand-over to free air with the first unit still running: it runs on for
// the after-drop-out time, which free-air mode waits for before it stops
// the unit. The flag is cleared with the load, so that one raised by an
// earlier run-on cannot stop the unit at the first free-air pass.
void startRunOnAfterDropOut() {
  airconRunTimeAfterDropOutRegister = airconRunTimeAfterDropOutValue;
  airconRunTimeAfterDropOutFlag = clear;
}

// Starts the full-speed pre-aircon run of free-air mode.
void startPreAirconRun() {
  fanSpeedPercent = fullSpeedPercent;
  freeAirTimerLoop = freeAirPreAircon;
  fanMinimumRunTimePreAirconRegister = fanMinimumRunTimePreAirconValue;
}

// ---- First pass and emergency pull-in ---------------------------------------

void chooseStartingMode(float internalTemp) {
  if (internalTemp >= hiTemperaturePullIn) {
    coolState = emergencyCoolingModeState;
  } else if (internalTemp >= aircon2PullIn && numberOfAircons >= 2) {
    aircon2RunTimeRegister = aircon2MinimumRunTimeValue;
    coolState = aircon2CoolingModeState;
  } else if (internalTemp >= aircon1PullIn && numberOfAircons >= 1) {
    aircon1RunTimeRegister = aircon1MinimumRunTimeValue;
    coolState = aircon1CoolingModeState;
  } else if (internalTemp >= coolingPullIn && useFreeAir == yes) {
    fanMinimumRunTimePreCoolingRegister = fanMinimumRunTimePreCoolingValue;
    coolState = freeAirCoolingModeState;
  } else {
    coolState = noCoolingModeState;
  }
  first = 0;
}

// Entering emergency from another mode: the first air conditioner is called
// at once and the fan starts ramping down, before the emergency step runs.
void pullIntoEmergency() {
  coolState = emergencyCoolingModeState;
  aircon1MinimumTimeOutFlag = clear;
  if (numberOfAircons != 0) {
    fanRampDownTimeRegister = rampDownInterval();
    fanRampDownTimeFlag = clear;
    turnOnFirstAircon();
  }
}

// ---- Free-air steps ---------------------------------------------------------

void freeAirStartStep(float internalTemp, float externalLessMargin) {
  if (internalTemp > externalLessMargin) {
    fanSpeedPercent = fullSpeedPercent;
  } else {
    fanSpeedPercent = freeAirLowestSpeedPercent;
    fanMinimumRunTimePreCoolingFlag = clear;
  }
  freeAirTimerLoop = freeAirPreCooling;
  AirCon1timerLoop = 0;
  AirCon2timerLoop = 0;
  emergencytimerLoop = 0;
  fanMinimumRunTimePreCoolingRegister = fanMinimumRunTimePreCoolingValue;
}

void freeAirPreCoolingStep(float internalTemp) {
  if (fanMinimumRunTimePreCoolingFlag != set) {
    return;
  }
  freeAirTimerLoop = freeAirRegulate;
  fanMinimumRunTimePreCoolingFlag = clear;
  if (internalTemp >= aircon1PullIn && numberOfAircons != 0) {
    pullIntoSingleAircon();
  }
}

// Outside air cooler than the room: move the fan one step towards the goal,
// or go to full speed ahead of an air conditioner.
void freeAirRegulateTowardsGoal(float internalTemp) {
  if (internalTemp > goalTemperature && internalTemp >= aircon1PullIn) {
    // No test of numberOfAircons here; the pre-aircon run makes it.
    startPreAirconRun();
  } else if (internalTemp > goalTemperature && internalTemp < aircon1PullIn) {
    if (fanSpeedPercent < fullSpeedPercent) {
      const float raised = fanSpeedPercent + fanSpeedStepUpSize;
      fanSpeedPercent = raised > fullSpeedPercent ? fullSpeedPercent : raised;
      fanSpeedIncreaseTimeOutRegister = fanSpeedIncreaseTimeOutValue;
      freeAirTimerLoop = freeAirWaitAfterStepUp;
      fanMinimumRunTimePreAirconFlag = clear;
    }
  } else if (internalTemp < goalTemperature) {
    if (fanSpeedPercent >= fanSpeedStepDownSize) {
      const float lowered = fanSpeedPercent - fanSpeedStepDownSize;
      fanSpeedPercent = lowered;
      fanSpeedDecreaseTimeOutRegister = fanSpeedDecreaseTimeOutValue;
      freeAirTimerLoop = freeAirWaitAfterStepDown;
      if (fanSpeedStepDownSize > lowered || lowered == 0.0f) {
        fanSpeedPercent = freeAirLowestSpeedPercent;
      }
    }
  }
}

void freeAirRegulateStep(float internalTemp, float externalTemp, float externalLessMargin) {
  if (internalTemp >= coolingPullIn) {
    if (internalTemp > externalLessMargin) {
      if (internalTemp <= externalTemp) {
        // Outside air not cooler than the room: the fan cannot help.
        if (internalTemp >= aircon1PullIn && numberOfAircons != 0) {
          pullIntoSingleAircon();
        } else {
          fanSpeedPercent = freeAirLowestSpeedPercent;
        }
      } else if (internalTemp > externalTemp) {
        freeAirRegulateTowardsGoal(internalTemp);
      }
    } else if (internalTemp <= externalLessMargin) {
      // Outside air too warm for free-air cooling.
      fanSpeedPercent = freeAirLowestSpeedPercent;
      coolState = noCoolingModeState;
    }
  } else if (internalTemp < coolingPullIn) {
    // Fan left as it is; the no-cooling step stops it at the next pass.
    coolState = noCoolingModeState;
  }
}

// Waiting after a fan step (down: decrease flag, up: increase flag).
void freeAirWaitStep(float internalTemp, uint8_t& stepTimeOutFlag) {
  if (stepTimeOutFlag == set) {
    freeAirTimerLoop = freeAirRegulate;
    stepTimeOutFlag = clear;
  } else if (internalTemp >= aircon1PullIn) {
    startPreAirconRun();
    stepTimeOutFlag = clear;
  }
}

void freeAirPreAirconStep(float internalTemp) {
  if (fanMinimumRunTimePreAirconFlag != set) {
    return;
  }
  if (internalTemp >= aircon1PullIn && numberOfAircons != 0) {
    pullIntoSingleAircon();
    fanMinimumRunTimePreAirconFlag = clear;
    // The fan stays at full speed; single-aircon mode ramps it down.
    fanRampDownTimeRegister = rampDownInterval();
    fanRampDownTimeFlag = clear;
  } else {
    freeAirTimerLoop = freeAirRegulate;
    fanMinimumRunTimePreAirconFlag = clear;
  }
}

// ---- Emergency steps --------------------------------------------------------

// Picks the band state at the start of an emergency; between the edges the
// state left by the previous emergency holds.
void startEmergencyFanBand(float internalTemp, float bandTop, float bandBottom) {
  if (internalTemp >= bandTop) {
    extraHighTempFanMode = bandStartRampUp;
  } else if (internalTemp < bandBottom) {
    extraHighTempFanMode = bandStartRampDown;
  }
}

// The band only chooses which ramp timer runs; the ramp steps move the fan.
void stepEmergencyFanBand(float internalTemp, float bandTop, float bandBottom) {
  switch (extraHighTempFanMode) {
    case bandStartRampUp:
      fanRampDownTimeRegister = 0;
      fanRampDownTimeFlag = clear;
      fanRampUpTimeRegister = rampUpInterval();
      extraHighTempFanMode = bandRampingUp;
      break;
    case bandStartRampDown:
      fanRampUpTimeRegister = 0;
      fanRampUpTimeFlag = clear;
      fanRampDownTimeRegister = rampDownInterval();
      extraHighTempFanMode = bandRampingDown;
      break;
    case bandRampingUp:
      if (internalTemp < bandBottom) {
        extraHighTempFanMode = bandStartRampDown;
      }
      break;
    case bandRampingDown:
      if (internalTemp >= bandTop) {
        extraHighTempFanMode = bandStartRampUp;
      }
      break;
    default:
      break;
  }
}

// Every installed unit runs, by physical number, whatever the roles say.
// Without air conditioners, any unit still recorded on is switched off.
void driveEmergencyAircons() {
  switch (numberOfAircons) {
    case 0:
      if (useFreeAir == yes) {
        if (aircon2 == on) {
          switchAircon(2, off, 0);
        }
        if (aircon1 == on) {
          switchAircon(1, off, 0);
        }
      }
      break;
    case 1:
      if (aircon1 == off) {
        switchAircon(1, on, 0);
      }
      break;
    case 2:
      if (aircon2 == off) {
        switchAircon(2, on, 0);
      }
      if (aircon1 == off) {
        switchAircon(1, on, 0);
      }
      break;
    default:
      break;
  }
}

// The mode that takes over when the emergency ends; fan and units are left
// running for it.
eCoolingModeState modeAfterEmergency() {
  if (numberOfAircons >= 2) {
    return aircon2CoolingModeState;
  }
  if (numberOfAircons == 1) {
    return aircon1CoolingModeState;
  }
  return useFreeAir == yes ? freeAirCoolingModeState : noCoolingModeState;
}

}  // namespace

// ---- Role operations ----------------------------------------------------------

uint8_t firstAirconUnit() {
  return rolesSwapped() ? 2 : 1;
}

void turnOnFirstAircon() {
  switchOnChange(firstAirconUnit(), on);
}

void turnOnSecondAircon() {
  switchOnChange(secondAirconUnit(), on);
}

void turnOffFirstAircon() {
  const uint8_t unit = firstAirconUnit();
  if (switchOnChange(unit, off)) {
    // Hands the first role to the other unit when rotation is on.
    lastAirconOff = unit;
  }
}

void turnOffSecondAircon() {
  switchOnChange(secondAirconUnit(), off);
}

// ---- Dispatcher -------------------------------------------------------------

void whichCooloingMode() {
  const float internalTemp = internalTemperatureAveraging;
  if (first != 0) {
    chooseStartingMode(internalTemp);
  }
  if (internalTemp >= hiTemperaturePullIn && coolState != emergencyCoolingModeState) {
    pullIntoEmergency();
  }
  switch (coolState) {
    case noCoolingModeState:
      noCooling();
      break;
    case freeAirCoolingModeState:
      freeAirCoolMode();
      break;
    case aircon1CoolingModeState:
      aircon1CoolingMode();
      break;
    case aircon2CoolingModeState:
      aircon2CoolingMode();
      break;
    case emergencyCoolingModeState:
      emergencyCoolingMode();
      break;
  }
  setFan(fanSpeedPercent);
}

// ---- Mode steps -------------------------------------------------------------

void noCooling() {
  const float internalTemp = internalTemperatureAveraging;
  fanSpeedPercent = 0.0f;
  freeAirTimerLoop = 0;
  AirCon1timerLoop = 0;
  AirCon2timerLoop = 0;
  emergencytimerLoop = 0;
  turnOffFirstAircon();
  turnOffSecondAircon();
  if (internalTemp >= coolingPullIn && useFreeAir == yes) {
    coolState = freeAirCoolingModeState;
  } else if (internalTemp >= aircon1PullIn && numberOfAircons != 0 && useFreeAir == no) {
    coolState = aircon1CoolingModeState;
  }
}

void freeAirCoolMode() {
  const float internalTemp = internalTemperatureAveraging;
  const float externalTemp = externalTemperatureAveraging;
  const float externalLessMargin = externalTemp - maximumExtAboveIntTemperature;

  // The first air conditioner, left running by single-aircon mode, stops once
  // the after-drop-out run is over; without air conditioners, on every pass.
  if (airconRunTimeAfterDropOutFlag == set || numberOfAircons == 0) {
    turnOffFirstAircon();
    airconRunTimeAfterDropOutFlag = clear;
  }

  switch (freeAirTimerLoop) {
    case freeAirStart:
      freeAirStartStep(internalTemp, externalLessMargin);
      break;
    case freeAirPreCooling:
      freeAirPreCoolingStep(internalTemp);
      break;
    case freeAirRegulate:
      freeAirRegulateStep(internalTemp, externalTemp, externalLessMargin);
      break;
    case freeAirWaitAfterStepDown:
      freeAirWaitStep(internalTemp, fanSpeedDecreaseTimeOutFlag);
      break;
    case freeAirWaitAfterStepUp:
      freeAirWaitStep(internalTemp, fanSpeedIncreaseTimeOutFlag);
      break;
    case freeAirPreAircon:
      freeAirPreAirconStep(internalTemp);
      break;
    default:
      break;
  }
}

void aircon1CoolingMode() {
  // The fan that free air left running ramps down, one step per expiry.
  if (fanRampDownTimeFlag != 0 && useFreeAir == yes) {
    rampFanDownOneStep();
  }

  if (AirCon1timerLoop == 0) {
    turnOnFirstAircon();
    // A run started here lasts its full minimum run time: a flag left set by
    // an earlier run (or raised during an emergency) must not end it early.
    aircon1RunTimeRegister = aircon1MinimumRunTimeValue;
    aircon1MinimumTimeOutFlag = clear;
    fanRampDownTimeRegister = rampDownInterval();
    AirCon1timerLoop = 1;
    freeAirTimerLoop = 0;
    AirCon2timerLoop = 0;
    emergencytimerLoop = 0;
    return;
  }

  turnOnFirstAircon();
  turnOffSecondAircon();
  if (aircon1MinimumTimeOutFlag == 0) {
    return;
  }

  const float internalTemp = internalTemperatureAveraging;
  const float externalTemp = externalTemperatureAveraging;
  if (internalTemp >= aircon2PullIn && internalTemp < hiTemperaturePullIn && numberOfAircons > 1) {
    coolState = aircon2CoolingModeState;
    aircon2RunTimeRegister = aircon2MinimumRunTimeValue;
    aircon2MinimumTimeOutFlag = clear;
    aircon1MinimumTimeOutFlag = clear;
    fanRampDownTimeRegister = rampDownInterval();
    fanRampDownTimeFlag = clear;
  } else if (externalTemp < aircon1PullIn && internalTemp >= aircon1DropOut && useFreeAir == yes) {
    // Outside air cool enough: free air at full fan; the unit runs on for the
    // after-drop-out time.
    coolState = freeAirCoolingModeState;
    fanSpeedPercent = fullSpeedPercent;
    startRunOnAfterDropOut();
    aircon1MinimumTimeOutFlag = clear;
  } else if (internalTemp < aircon1DropOut && useFreeAir == yes) {
    coolState = freeAirCoolingModeState;
    fanMinimumRunTimePreCoolingRegister = fanMinimumRunTimePreCoolingValue;
    startRunOnAfterDropOut();
    aircon1MinimumTimeOutFlag = clear;
  } else if (internalTemp < aircon1DropOut && useFreeAir != yes) {
    coolState = noCoolingModeState;
  }
}

void aircon2CoolingMode() {
  turnOnFirstAircon();
  turnOnSecondAircon();

  // Unlike single-aircon mode, the ramp runs whatever useFreeAir says.
  if (fanRampDownTimeFlag != 0) {
    rampFanDownOneStep();
  }

  if (AirCon2timerLoop == 0) {
    fanSpeedPercent = 0.0f;
    aircon2RunTimeRegister = aircon2MinimumRunTimeValue;
    AirCon2timerLoop = 1;
    freeAirTimerLoop = 0;
    AirCon1timerLoop = 0;
    emergencytimerLoop = 0;
    return;
  }

  if (aircon2MinimumTimeOutFlag != 0 && internalTemperatureAveraging < aircon2DropOut) {
    turnOffSecondAircon();
    coolState = aircon1CoolingModeState;
    aircon1RunTimeRegister = aircon1MinimumRunTimeValue;
    // Single-aircon mode carries on without a first step of its own.
    AirCon1timerLoop = 1;
    aircon2MinimumTimeOutFlag = clear;
    aircon1MinimumTimeOutFlag = clear;
  }
}

void emergencyCoolingMode() {
  const float internalTemp = internalTemperatureAveraging;
  const float bandTop = hiTempFanPullIn;
  const float bandBottom = hiTempFanPullIn - hiTempFanBandWidth;

  if (numberOfAircons == 0) {
    fanSpeedPercent = fullSpeedPercent;
  } else {
    if (fanRampDownTimeFlag == set) {
      rampFanDownOneStep();
    }
    // Without free air the ramp-up expiry is left pending.
    if (fanRampUpTimeFlag == set && useFreeAir == yes) {
      rampFanUpOneStep();
    }
  }

  if (emergencytimerLoop == 0) {
    emergencytimerLoop = 1;
    freeAirTimerLoop = 0;
    AirCon1timerLoop = 0;
    AirCon2timerLoop = 0;
    startEmergencyFanBand(internalTemp, bandTop, bandBottom);
    return;
  }

  if (useFanInHiTemp == yes && numberOfAircons != 0 && useFreeAir == yes) {
    stepEmergencyFanBand(internalTemp, bandTop, bandBottom);
  }
  driveEmergencyAircons();
  if (internalTemp < hiTemperatureDropOut) {
    coolState = modeAfterEmergency();
  }
}

// ---- State snapshot -----------------------------------------------------------

ControllerSnapshot saveControllerState() {
  ControllerSnapshot snapshot;
#define FRIGEL_SAVE(type, name) snapshot.name = ::name;
  FRIGEL_CONTROLLER_LIVE_STATE(FRIGEL_SAVE)
#undef FRIGEL_SAVE
  snapshot.first = first;
  return snapshot;
}

void restoreControllerState(const ControllerSnapshot& snapshot) {
#define FRIGEL_RESTORE(type, name) ::name = snapshot.name;
  FRIGEL_CONTROLLER_LIVE_STATE(FRIGEL_RESTORE)
#undef FRIGEL_RESTORE
  first = snapshot.first;
}
