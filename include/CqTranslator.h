// The bridge between the controller and the object server: owns the client
// connection, finds the five ports by label, keeps the device records and
// the probe objects, and raises the change flag when a probe value arrives.
#ifndef FRIGEL_CQTRANSLATOR_H
#define FRIGEL_CQTRANSLATOR_H

#include <atomic>
#include <cstdint>
#include <mutex>

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

  // Stops the client's threads (joined on return): no message is delivered
  // and no request answered after it. Safe to call more than once; the
  // destructor calls it too. Main thread, at exit, before anything the
  // delivery thread uses is torn down.
  void stopClient();
  // A connection to the object server is up now.
  bool isServerConnected();
  // The fan output's value as last sent; 0 without a fan port.
  float getFanPercentSent();

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

  // The two halves of updateValues(), for the periodic re-poll.
  // Reads both probes' values from the server into the probe objects; any
  // thread. A probe without a usable answer keeps its value (one line
  // each), and so does a probe that a trend event updated after its read
  // was sent: the pushed value is the newer one. Once `stopRequested` (when
  // given) is true, nothing more is read and no failure is logged.
  void readProbeValues(const std::atomic<bool>* stopRequested = nullptr);
  // Sends every output's cached state again (main thread).
  void resendOutputs();

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

  // A probe's value is stored by the delivery thread (trend events) and by
  // a read (start-up, re-poll thread); this lock makes a read's check and
  // store one step against a trend's store. Never taken by the control
  // loop, which reads the values lock-free.
  std::mutex mProbeStoreMutex;
  // Trend values stored so far, per probe (0 internal, 1 external); a read
  // stores its value only if the count did not move while it waited.
  uint32_t mTrendStores[2] = {0, 0};

  void storeTrendValue(int probeIndex, cObjectAInput* probe, float value);
  bool readProbe(int probeIndex, cObjectAInput* probe);
};

#endif
