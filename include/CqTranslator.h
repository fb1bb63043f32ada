// The bridge between the controller and the object server: owns the client
// connection, finds the five ports by label, keeps the device records and
// the probe objects, and raises the change flag when a probe value arrives.
#ifndef FRIGEL_CQTRANSLATOR_H
#define FRIGEL_CQTRANSLATOR_H

#include <atomic>
#include <cstdint>

#include <cObject.h>
#include <cObjectClient.h>
#include <cObjectList.h>
#include <cObjectListener.h>
#include <cQlog.h>

#include "aircon.h"
#include "fan.h"
#include "minimumOffTime.h"

// Sequence number of the last trend event taken; 0 at start. Written only by
// the client's delivery thread.
extern std::atomic<uint32_t> lastTrend;

class CqTranslator : public cQlog, public cObjectListener {
 public:
  // Configures logging, creates the client, registers as its listener and
  // starts it on loopback (port 60000, or VULOD_PORT).
  CqTranslator();
  // Stops the client so that no message is delivered to a translator that
  // is gone; the records and probe objects are not released.
  virtual ~CqTranslator();

  // Delivery thread: messages pushed by the server.
  void handleObjectAction(cObjectList* rx_msg) override;
  void handle_set(cObjectList* rx_msg);
  void handle_request(cObjectList* rx_msg);
  void handle_event(cObjectList* rx_msg);
  void handle_trend_event(cObjectTrend* t);

  // A probe value has arrived that the main loop has not yet taken. Set with
  // release ordering after the value is stored; read with acquire ordering.
  bool getSomethingChanged();
  void setSomethingChanged(bool changed);
  cObjectAInput* getInternalProbe();
  void setInternalProbe(cObjectAInput* probe);
  cObjectAInput* getExternalProbe();
  void setExternalProbe(cObjectAInput* probe);
  aircon* getFirstAircon();
  void setFirstAircon(aircon* record);
  aircon* getSecondAircon();
  void setSecondAircon(aircon* record);
  Fan* getFan();
  void setFan(Fan* record);
  // 1: first record, 2: second record, otherwise null.
  aircon* getAirconFromNumber(int number);

  // Discovery by label; null when nothing was found.
  cObjectDOutput* getAirconControlPortFromPortLabel(const char* label);
  cObjectAOutput* getFanControlPortFromPortLabel(const char* label);
  cObjectAInput* getProbePortFromPortLabel(const char* label);

  // Set-up: up to three discovery attempts; true when the port was found.
  bool setupFirstAircon(const char* label);
  bool setupSecondAircon(const char* label);
  bool setupFan(const char* label);
  bool setupInternalProbe(const char* label);
  bool setupExternalProbe(const char* label);

  // Actuation (main thread).
  void switchAirconNoncurrentStateBased(uint8_t ac_num, uint8_t state, uint8_t dunno);
  void setFanValue(float valueToSet);
  void switchAircon(aircon* ac);

  // Minimum off time of both air conditioners' outputs, in nanoseconds of
  // the monotonic clock; 0 (the default) holds no start. While it runs, a
  // switch-on of a unit is held rather than sent; the unit's record and
  // cached port keep what was really sent.
  void setAirconMinimumOffNanoseconds(int64_t nanoseconds);
  // Sends each held start whose unit has now rested its minimum off time.
  // Main thread, once a pass, after the controller's step.
  void releaseHeldStarts();
  // Unit 1 or 2: a start is waiting for the minimum off time.
  bool isAirconStartHeld(int number);
  // Unit 1 or 2: the output was last sent on (false without a port).
  bool isAirconOutputOn(int number);

  // Reads both probes and re-sends every output's cached state. False when
  // the set-up is incomplete (a probe missing, or no output record at all).
  bool updateValues();

 private:
  cObjectClient* mObjectClient;
  std::atomic<cObjectAInput*> mInternalProbe;
  std::atomic<cObjectAInput*> mExternalProbe;
  aircon* mFirstAircon;
  aircon* mSecondAircon;
  Fan* mFan;
  std::atomic<bool> mSomethingChanged;
  // Per unit (index 0: unit 1). Main thread only.
  MinimumOffTime mMinimumOffTimes[2];
};

#endif
