// The flat call interface through which the parameter reader and the
// controller reach the bridge, and the process-wide translator.
#ifndef FRIGEL_IOSTUB_H
#define FRIGEL_IOSTUB_H

#include <cstdint>

class CqTranslator;  // CqTranslator.h
extern CqTranslator translator;

// Set-up by port label (main thread, at start). setupAircon takes 1 or 2;
// any other number returns false and does nothing.
bool setupAircon(const char* portLabel, int airconNumber);
bool setupFan(const char* portLabel);
bool setupIntProbe(const char* portLabel);
bool setupExProbe(const char* portLabel);

// Actuation. switchAircon records a state of 0 or 1 for unit 1 or 2 in
// aircon1/aircon2, then asks the bridge to switch the unit; `dunno` has no
// effect. setFan sends fanSpeedPercent (its argument is not read);
// setFanInverted sends 100 - speed. Both do nothing without a fan port.
void switchAircon(uint8_t ac_num, uint8_t state, uint8_t dunno);
void setFan(float speed);
void setFanInverted(float speed);

// Reads the settings file and the constants file, setting up the ports the
// settings file names.
void getParametersFromFile();

#endif
