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
#include "airconOutputs.h"

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

  // Actuation (main thread). A switch records the controller's decision and
  // sends it at once when the output differs from it and may be switched;
  // a start waits for the unit's minimum off time and the start stagger.
  // The record's OPStatus and cached port follow what the server confirmed.
  void switchAirconNoncurrentStateBased(uint8_t ac_num, uint8_t state, uint8_t dunno);
  void setFanValue(float valueToSet);
  // Toggles the decision for a unit by its cached output state; goes
  // through the same hold as every switch.
  void switchAircon(aircon* ac);

  // The air conditioners' minimum off time and start stagger, in
  // nanoseconds of the monotonic clock; 0: none.
  void setAirconTiming(int64_t minimumOffNanoseconds, int64_t startStaggerNanoseconds);
  // Unit 1 or 2, found off at set-up, has rested since `offAtNanoseconds`
  // (monotonic clock), as a record kept across a restart of the daemon
  // says. Shortens the rest assumed at set-up, never lengthens it.
  void setAirconRestingSince(int number, int64_t offAtNanoseconds);
  // Main thread, once a pass, after the controller's step: when the
  // connection to the server came back, the outputs are taken as lost (the
  // server may have restarted and cleared them); then every air conditioner
  // whose confirmed state differs from the decision is sent, a start once
  // it may go. A refused send is tried again in the next pass.
  void reconcileOutputs();
  // What the bridge knows of both air conditioners' outputs (main thread).
  const AirconOutputs& getAirconOutputs() const { return mAirconOutputs; }
  // The outputs whose sends are counted, for getSendFailures().
  enum SentOutput { kAircon1Output, kAircon2Output, kFanOutput, kSentOutputs };
  // Sends to `output` that the client refused since the start (main thread).
  uint64_t getSendFailures(int output) const;

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
  // Sends every output's state again as the server confirmed it (main
  // thread); an air conditioner whose confirmed state differs from the
  // decision is left to reconcileOutputs().
  void resendOutputs();

 private:
  cObjectClient* mObjectClient;
  std::atomic<cObjectAInput*> mInternalProbe;
  std::atomic<cObjectAInput*> mExternalProbe;
  aircon* mFirstAircon;
  aircon* mSecondAircon;
  Fan* mFan;
  std::atomic<bool> mSomethingChanged;
  // Actuation, all on the main thread: the air conditioners' outputs,
  AirconOutputs mAirconOutputs;
  // per unit (index 0: unit 1) the hold last logged, so a held start is
  // logged once, not every pass,
  AirconOutputs::Hold mHoldLogged[AirconOutputs::kUnits] = {AirconOutputs::Hold::None,
                                                            AirconOutputs::Hold::None};
  // the health of the sends to each output,
  struct SendHealth {
    uint64_t failures = 0;  // sends refused since the start
    bool failing = false;   // the last send was refused
  };
  SendHealth mSendHealth[kSentOutputs];
  // and whether the connection was seen down since the last reconciliation.
  bool mServerWasLost = false;

  // Set-up found `port` (or nothing) for unit `number`.
  bool takeFoundAircon(int number, cObjectDOutput* port);
  void decideAircon(int number, bool on);
  // Sends `on` to unit `number`'s output; true when the client took it.
  bool sendAirconState(int number, bool on);
  // The record's OPStatus and cached port state follow the confirmed state.
  void mirrorConfirmedState(int number);
  void noteHeldStarts(int64_t now);
  // One WARN line when sends to `output` start failing, one INFO line when
  // one goes out again.
  void noteSend(int output, bool accepted);
  void noteConnection(int64_t now);

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
