#include "CqTranslator.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <system_error>
#include <vector>

#include "changeSignal.h"
#include "etcPaths.h"
#include "monotonicClock.h"
#include "portDiscovery.h"
#include "portNumber.h"
#include "probeActivity.h"

std::atomic<uint32_t> lastTrend{0};

namespace {

// The object server always runs on this host.
constexpr const char* kServerAddress = "127.0.0.1";
constexpr int kDefaultServerPort = 60000;
// Set-up tries discovery this many times, back to back, before it gives up.
constexpr int kDiscoveryAttempts = 3;
constexpr float kFanPercentMin = 0.0f;
constexpr float kFanPercentMax = 100.0f;

// The server's port: VULOD_PORT when it holds a port number (digits only,
// 1 to 65535), otherwise the default. An unset or empty variable is not
// mentioned; any other value that is not a port number is logged once.
int objectServerPort(cQlog& log) {
  const char* text = std::getenv("VULOD_PORT");
  if (text == nullptr || *text == '\0') {
    return kDefaultServerPort;
  }
  if (std::optional<int> port = parsePortNumber(text)) {
    return *port;
  }
  log.info("VULOD_PORT '%s' is not a port number; using %d", text, kDefaultServerPort);
  return kDefaultServerPort;
}

// Port objects that a later set-up replaced. They are kept, never released:
// the delivery thread may still use a probe pointer it loaded just before
// the replacement, and no lock guards it. The list itself is never
// destroyed, so they stay reachable until the process ends. Main thread only.
void keepReplacedPort(cObjectPort* replaced) {
  static std::vector<cObjectPort*>* const kept = new std::vector<cObjectPort*>();
  if (replaced != nullptr) {
    kept->push_back(replaced);
  }
}

// How discovery differs between the three kinds of port: the shared rule
// (port type, first or last), and what each logs.
struct DiscoveryRules {
  DiscoveryRule rule;
  const char* noReplyLine;
  const char* fetchFailedLine;
  // Air conditioners trace the port they found.
  bool traceFoundPort;
  // Probes trace the arrival of the reply.
  bool traceReply;
};

// clang-format off
const DiscoveryRules kAirconDiscovery{
    discoveryRuleOf(DiscoveredDevice::Aircon),
    "Aircon port Label returns NULL", "The Return Aircon Port is NULL\n",
    /*traceFoundPort=*/true, /*traceReply=*/false};
const DiscoveryRules kFanDiscovery{
    discoveryRuleOf(DiscoveredDevice::Fan),
    "Fan port Label returns NULL", "The Return Fan Port is NULL\n",
    /*traceFoundPort=*/false, /*traceReply=*/false};
const DiscoveryRules kProbeDiscovery{
    discoveryRuleOf(DiscoveredDevice::Probe),
    "Probe port Label returns NULL", "The Return Probe Port is NULL\n",
    /*traceFoundPort=*/false, /*traceReply=*/true};
// clang-format on

// What names a port to the server: its device serial, id, label and type.
void copyPortAddress(const cObjectPort& from, cObjectPort& to) {
  to.setDeviceSerial(from.getDeviceSerial());
  to.setPortId(from.getPortId());
  to.setPortLabel(from.getPortLabel());
  to.setPortType(from.getPortType());
}

// One discovery attempt: asks the server for the ports of the wanted type
// with `label`, then fetches the accepted one as a `PortClass` object. The
// walk of the reply stops at its first object that is not a port. Returns
// a new object owned by the caller, or null.
template <typename PortClass>
PortClass* discoverByLabel(cQlog& log, cObjectClient* client, const char* label,
                           const DiscoveryRules& rules) {
  // The request list does not own its object, so it may live on the stack.
  cObjectPort query;
  query.setPortType(rules.rule.wantedType);
  query.setPortLabel(label);
  cObjectList request;
  request.add(&query);

  cObjectList* reply = client->get(&request);
  if (reply == nullptr) {
    log.info("%s", rules.noReplyLine);
    return nullptr;
  }
  if (rules.traceReply) {
    log.debug("we have rx_out");
  }

  PortClass* result = nullptr;
  PortClass scratch;
  for (cObject* object = reply->first(); object != nullptr; object = reply->next()) {
    auto* port = dynamic_cast<cObjectPort*>(object);
    if (port == nullptr) {
      break;
    }
    copyPortAddress(*port, scratch);
    if (scratch.getPortType() != rules.rule.wantedType) {
      continue;
    }
    cObject* answer = client->get(&scratch);
    auto* fetched = dynamic_cast<PortClass*>(answer);
    if (fetched == nullptr) {
      // A failed fetch ends the walk with no result, even after an earlier
      // accepted port.
      delete answer;
      delete result;
      result = nullptr;
      log.info("%s", rules.fetchFailedLine);
      break;
    }
    if (rules.traceFoundPort) {
      log.debug("found ROP");
      log.debug("prt lbl:%s", port->getPortLabel());
    }
    fetched->setPortLabel(port->getPortLabel());
    delete result;
    result = fetched;
    if (!rules.rule.takesLast) {
      break;
    }
  }

  reply->deleteObjects();
  delete reply;
  if (result != nullptr && rules.traceFoundPort) {
    log.debug("ROP NOT NULL");
  }
  return result;
}

// Discovery with its retries: the first attempt that finds the port wins.
template <typename PortClass>
PortClass* discoverWithRetries(cQlog& log, cObjectClient* client, const char* label,
                               const DiscoveryRules& rules) {
  for (int attempt = 0; attempt < kDiscoveryAttempts; ++attempt) {
    if (PortClass* port = discoverByLabel<PortClass>(log, client, label, rules)) {
      return port;
    }
  }
  return nullptr;
}

// Replaces an output record's port, keeping the one it had.
template <typename Record, typename PortClass>
void replaceControlPort(Record* record, PortClass* port) {
  keepReplacedPort(record->getControlPort());
  record->setControlPort(port);
}

// Sets up one air conditioner: creates its record on first use, then gives
// it the output found for `label` (or none), with a debug line saying which.
cObjectDOutput* setupAirconRecord(cQlog& log, cObjectClient* client, const char* label,
                                  aircon*& record, const char* completeLine,
                                  const char* failedLine) {
  if (record == nullptr) {
    record = new aircon();
  }
  cObjectDOutput* port = discoverWithRetries<cObjectDOutput>(log, client, label, kAirconDiscovery);
  log.debug("%s", port != nullptr ? completeLine : failedLine);
  replaceControlPort(record, port);
  return port;
}

// Sets up one probe: publishes the input found for `label` (or none) in
// `probe`, with an info line when it was found.
bool setupProbeRecord(cQlog& log, cObjectClient* client, const char* label,
                      std::atomic<cObjectAInput*>& probe, const char* completeLine) {
  cObjectAInput* port = discoverWithRetries<cObjectAInput>(log, client, label, kProbeDiscovery);
  // Published only now that the object is complete; the previous one is
  // kept because the delivery thread may still be reading it.
  keepReplacedPort(probe.exchange(port, std::memory_order_acq_rel));
  if (port != nullptr) {
    log.info("%s", completeLine);
  }
  return port != nullptr;
}

// A copy of an output's cached port object, to be sent and then deleted by
// the caller; null when the clone is not of the port's own class.
template <typename PortClass>
PortClass* copyToSend(const PortClass* cached) {
  cObject* copy = cached->clone();
  auto* output = dynamic_cast<PortClass*>(copy);
  if (output == nullptr) {
    delete copy;
  }
  return output;
}

// What the object server said an output's state is, as the outputs know it.
AirconOutputs::Confirmed confirmedOf(eObjectIOState state) {
  switch (state) {
    case OBJ_IO_STATE_SET:
      return AirconOutputs::Confirmed::On;
    case OBJ_IO_STATE_CLEAR:
      return AirconOutputs::Confirmed::Off;
    default:
      return AirconOutputs::Confirmed::Unknown;
  }
}

const char* const kSentOutputNames[CqTranslator::kSentOutputs] = {"aircon 1", "aircon 2", "fan"};

double secondsOf(int64_t nanoseconds) {
  return static_cast<double>(nanoseconds) / static_cast<double>(kNanosecondsPerSecond);
}

// The fan output takes a percentage: anything outside 0 to 100 is limited
// to the nearer end, and a value that is not a number becomes 0.
float fanPercentToSend(float requested) {
  if (std::isnan(requested)) {
    return kFanPercentMin;
  }
  return std::clamp(requested, kFanPercentMin, kFanPercentMax);
}

bool sameFanRequest(float a, float b) {
  return (std::isnan(a) && std::isnan(b)) || a == b;
}

// The out-of-range fan request last logged, so that a value that stays out
// of range is logged once, not on every pass; empty while requests are in
// range. Main thread only.
std::optional<float> lastLimitedFanRequest;

void noteFanLimit(cQlog& log, float requested, float sent) {
  if (sameFanRequest(requested, sent)) {
    lastLimitedFanRequest.reset();
    return;
  }
  if (lastLimitedFanRequest && sameFanRequest(*lastLimitedFanRequest, requested)) {
    return;
  }
  lastLimitedFanRequest = requested;
  if (std::isnan(requested)) {
    log.info("Fan value is not a number; sending %f", static_cast<double>(sent));
  } else {
    log.info("Fan value %f is outside 0 to 100; sending %f", static_cast<double>(requested),
             static_cast<double>(sent));
  }
}

bool probeMatchesTrend(const cObjectAInput* probe, const cObjectTrend* t) {
  return probe->getDeviceSerial() == t->getDeviceSerial() && probe->getPortId() == t->getPortId();
}

}  // namespace

CqTranslator::CqTranslator()
    : cQlog("CqTranslator"),
      mObjectClient(nullptr),
      mInternalProbe(nullptr),
      mExternalProbe(nullptr),
      mFirstAircon(nullptr),
      mSecondAircon(nullptr),
      mFan(nullptr),
      mSomethingChanged(false) {
  cQlog::init(propertiesFilePath().c_str());
  mObjectClient = new cObjectClient();
  mObjectClient->addListener(this);
  // A server that is not up yet is reached later by the client's own
  // reconnecting; until then every request fails and is logged as such.
  try {
    mObjectClient->start(kServerAddress, objectServerPort(*this));
  } catch (const std::system_error& e) {
    // Without its threads the client can neither read nor deliver: the
    // daemon could never control anything.
    info("cannot start the object-server client's threads: %s; exiting", e.what());
    std::exit(1);
  }
}

// Nothing is logged here: the logging layer may already be gone at exit.
CqTranslator::~CqTranslator() {
  // Joins the client's threads, so no message reaches this object while it
  // is being destroyed.
  delete mObjectClient;
  mObjectClient = nullptr;
}

void CqTranslator::stopClient() {
  if (mObjectClient != nullptr) {
    mObjectClient->stop();
  }
}

bool CqTranslator::isServerConnected() {
  return mObjectClient != nullptr && mObjectClient->isConnected();
}

float CqTranslator::getFanPercentSent() {
  cObjectAOutput* port = mFan != nullptr ? mFan->getControlPort() : nullptr;
  return port != nullptr ? port->getOutputValue() : 0.0f;
}

// ---- Messages pushed by the server (delivery thread) ----

void CqTranslator::handleObjectAction(cObjectList* rx_msg) {
  debug("Received Message from vulod");
  if (rx_msg == nullptr) {
    return;
  }
  switch (rx_msg->getMsgType()) {
    case MSG_SET:
      debug("Got MSG_SET");
      handle_set(rx_msg);
      break;
    case MSG_REQ:
      debug("Got MSG_REQ");
      handle_request(rx_msg);
      break;
    case MSG_EVT:
      debug("Got MSG_EVT");
      handle_event(rx_msg);
      break;
    default:
      debug("Unknown Message Type %d", static_cast<int>(rx_msg->getMsgType()));
      break;
  }
}

void CqTranslator::handle_set(cObjectList* /*rx_msg*/) {
  debug("Set received. Doing Nothing");
}

void CqTranslator::handle_request(cObjectList* /*rx_msg*/) {
  debug("Request received. Doing Nothing");
}

void CqTranslator::handle_event(cObjectList* rx_msg) {
  debug("In handle EVT");
  for (cObject* object = rx_msg->first(); object != nullptr; object = rx_msg->next()) {
    switch (object->getType()) {
      case OBJ_EVENT:
        debug("Got MSG_EVT:EVENT");
        break;
      case OBJ_TREND_EVENT:
        debug("Got MSG_EVT:OBJ_TREND_EVENT EVENT");
        // An object that says it is a trend but is not one is handled as
        // no trend at all.
        handle_trend_event(dynamic_cast<cObjectTrend*>(object));
        break;
      case OBJ_ACCESS:
        debug("Got MSG_EVT:ACCESS\n");
        break;
      case OBJ_ADHOC_EVENT:
        debug("Got MSG_EVT:ADHOC EVENT");
        break;
      default:
        break;
    }
  }
}

void CqTranslator::handle_trend_event(cObjectTrend* t) {
  debug("W are handling the trend event :D");
  if (t == nullptr) {
    return;
  }
  debug("We are handling the trend event :D");
  if (t->getTrendSeqNum() == lastTrend.load(std::memory_order_relaxed)) {
    debug("seq num same so returning");
    return;
  }
  lastTrend.store(t->getTrendSeqNum(), std::memory_order_relaxed);
  debug("checking probes");

  cObjectAInput* internal = getInternalProbe();
  cObjectAInput* external = getExternalProbe();
  const float value = t->getCalculatedValue();
  bool internalMatched = false;
  if (internal != nullptr) {
    debug("checking probe 1 (internal) ");
    internalMatched = probeMatchesTrend(internal, t);
  }
  if (internalMatched) {
    debug("new internal probe value");
    storeTrendValue(0, internal, value);
    probeActivity.internalTrendNanoseconds.store(monotonicNanoseconds(), std::memory_order_relaxed);
    if (external != nullptr) {
      debug("checking probe 2 (external) ");
      if (probeMatchesTrend(external, t)) {
        storeTrendValue(1, external, value);
        probeActivity.externalTrendNanoseconds.store(monotonicNanoseconds(),
                                                     std::memory_order_relaxed);
      }
    }
  } else {
    bool externalMatched = false;
    if (external != nullptr) {
      debug("checking probe 2 (external) ");
      externalMatched = probeMatchesTrend(external, t);
    }
    if (!externalMatched) {
      debug("Nothing chanegd so trend event stuff is");
      debug("Port Id: %d", static_cast<int>(t->getPortId()));
      debug("Device serial: %d", static_cast<int>(t->getDeviceSerial()));
      return;
    }
    storeTrendValue(1, external, value);
    probeActivity.externalTrendNanoseconds.store(monotonicNanoseconds(), std::memory_order_relaxed);
  }
  debug("new trend value gotten. Run algorithm");
  // After the value: whoever sees the flag also sees the value. A main loop
  // asleep until its next pass is woken when the flag rises.
  if (!mSomethingChanged.exchange(true, std::memory_order_acq_rel)) {
    probeChangeSignal.notify();
  }
}

void CqTranslator::storeTrendValue(int probeIndex, cObjectAInput* probe, float value) {
  std::lock_guard<std::mutex> lock(mProbeStoreMutex);
  probe->setCalculatedValue(value);
  ++mTrendStores[probeIndex];
}

// ---- Accessors ----

bool CqTranslator::getSomethingChanged() {
  return mSomethingChanged.load(std::memory_order_acquire);
}

// An exchange rather than a plain store, so that it also acquires: a
// reader that lowers the flag and then reads the probe values gets values at
// least as new as the one that raised it, and a value stored after that
// leaves the flag raised for the next look. A plain store could let the
// value reads move ahead of it and lose the last change.
void CqTranslator::setSomethingChanged(bool changed) {
  mSomethingChanged.exchange(changed, std::memory_order_acq_rel);
}

cObjectAInput* CqTranslator::getInternalProbe() {
  return mInternalProbe.load(std::memory_order_acquire);
}

void CqTranslator::setInternalProbe(cObjectAInput* probe) {
  mInternalProbe.store(probe, std::memory_order_release);
}

cObjectAInput* CqTranslator::getExternalProbe() {
  return mExternalProbe.load(std::memory_order_acquire);
}

void CqTranslator::setExternalProbe(cObjectAInput* probe) {
  mExternalProbe.store(probe, std::memory_order_release);
}

aircon* CqTranslator::getFirstAircon() {
  return mFirstAircon;
}

void CqTranslator::setFirstAircon(aircon* record) {
  mFirstAircon = record;
}

aircon* CqTranslator::getSecondAircon() {
  return mSecondAircon;
}

void CqTranslator::setSecondAircon(aircon* record) {
  mSecondAircon = record;
}

Fan* CqTranslator::getFan() {
  return mFan;
}

void CqTranslator::setFan(Fan* record) {
  mFan = record;
}

aircon* CqTranslator::getAirconFromNumber(int number) {
  switch (number) {
    case 1:
      return mFirstAircon;
    case 2:
      return mSecondAircon;
    default:
      return nullptr;
  }
}

// ---- Discovery and set-up (main thread) ----

cObjectDOutput* CqTranslator::getAirconControlPortFromPortLabel(const char* label) {
  return discoverByLabel<cObjectDOutput>(*this, mObjectClient, label, kAirconDiscovery);
}

cObjectAOutput* CqTranslator::getFanControlPortFromPortLabel(const char* label) {
  return discoverByLabel<cObjectAOutput>(*this, mObjectClient, label, kFanDiscovery);
}

cObjectAInput* CqTranslator::getProbePortFromPortLabel(const char* label) {
  return discoverByLabel<cObjectAInput>(*this, mObjectClient, label, kProbeDiscovery);
}

bool CqTranslator::setupFirstAircon(const char* label) {
  return takeFoundAircon(
      1, setupAirconRecord(*this, mObjectClient, label, mFirstAircon, "First Aircon setup complete",
                           "First Aircon setup failed"));
}

bool CqTranslator::setupSecondAircon(const char* label) {
  return takeFoundAircon(
      2, setupAirconRecord(*this, mObjectClient, label, mSecondAircon,
                           "Second Aircon setup complete", "Second Aircon setup failed"));
}

// The unit's output is driven from its state at the server as found now.
bool CqTranslator::takeFoundAircon(int number, cObjectDOutput* port) {
  if (port == nullptr) {
    mAirconOutputs.notFound(number);
    return false;
  }
  mAirconOutputs.found(number, confirmedOf(port->getOutputState()), monotonicNanoseconds());
  mirrorConfirmedState(number);
  return true;
}

bool CqTranslator::setupFan(const char* label) {
  if (mFan == nullptr) {
    mFan = new Fan();
  }
  cObjectAOutput* port =
      discoverWithRetries<cObjectAOutput>(*this, mObjectClient, label, kFanDiscovery);
  replaceControlPort(mFan, port);
  if (port != nullptr) {
    info("Fan setup complete");
  }
  return port != nullptr;
}

bool CqTranslator::setupInternalProbe(const char* label) {
  return setupProbeRecord(*this, mObjectClient, label, mInternalProbe,
                          "Internal temperature probe setup complete");
}

bool CqTranslator::setupExternalProbe(const char* label) {
  return setupProbeRecord(*this, mObjectClient, label, mExternalProbe,
                          "External temperature probe setup complete");
}

// ---- Actuation (main thread) ----

void CqTranslator::switchAirconNoncurrentStateBased(uint8_t ac_num, uint8_t state,
                                                    uint8_t /*dunno: no effect*/) {
  aircon* ac = getAirconFromNumber(ac_num);
  if (ac == nullptr || ac->getControlPort() == nullptr) {
    debug("Aircon %i not setup correctly or not present", ac_num);
    return;
  }
  if (state != 0 && state != 1) {
    // Sending it would switch the unit on past its minimum off time and
    // leave the decision and the record behind.
    info("aircon %d: state %d is neither 0 (off) nor 1 (on); nothing sent", ac_num, state);
    return;
  }
  decideAircon(ac_num, state == 1);
}

// Records the decision for unit `number` and sends it now when the output
// differs from it and may be switched. The comparison is with what the
// server confirmed, not with the last decision.
void CqTranslator::decideAircon(int number, bool on) {
  const int64_t now = monotonicNanoseconds();
  if (mAirconOutputs.decide(number, on)) {
    info("aircon %d start dropped: switched off again before it went out", number);
  }
  const AirconOutputs::Send what = mAirconOutputs.due(number, now);
  if (what == AirconOutputs::Send::Nothing) {
    if (mAirconOutputs.startHold(number, now) == AirconOutputs::Hold::None) {
      debug("attempt to set aicon %i to a state it is already in", number);
    }
    noteHeldStarts(now);
    return;
  }
  mAirconOutputs.sent(number, what, sendAirconState(number, what == AirconOutputs::Send::Start),
                      now);
  mirrorConfirmedState(number);
  noteHeldStarts(now);
}

bool CqTranslator::sendAirconState(int number, bool on) {
  aircon* ac = getAirconFromNumber(number);
  cObjectDOutput* output =
      ac != nullptr && ac->getControlPort() != nullptr ? copyToSend(ac->getControlPort()) : nullptr;
  if (output == nullptr) {
    return false;
  }
  if (on) {
    debug("changing aircon %d output from OFF to ON", number);
  } else {
    debug("changing aircon %d output from ON to OFF", number);
  }
  output->setOutputState(on ? OBJ_IO_STATE_SET : OBJ_IO_STATE_CLEAR);
  const bool accepted = mObjectClient->set(output) == 0;
  delete output;
  noteSend(number - 1, accepted);
  if (accepted) {
    debug("Aircon Switched");
  }
  return accepted;
}

void CqTranslator::mirrorConfirmedState(int number) {
  aircon* ac = getAirconFromNumber(number);
  if (ac == nullptr || ac->getControlPort() == nullptr) {
    return;
  }
  switch (mAirconOutputs.confirmed(number)) {
    case AirconOutputs::Confirmed::On:
      ac->setOnOffStatus(aircon::ON);
      ac->getControlPort()->setOutputState(OBJ_IO_STATE_SET);
      break;
    case AirconOutputs::Confirmed::Off:
      ac->setOnOffStatus(aircon::OFF);
      ac->getControlPort()->setOutputState(OBJ_IO_STATE_CLEAR);
      break;
    case AirconOutputs::Confirmed::Unknown:
      ac->setOnOffStatus(aircon::OFF);
      ac->getControlPort()->setOutputState(OBJ_IO_STATE_UNKNOWN);
      break;
  }
}

void CqTranslator::noteHeldStarts(int64_t now) {
  for (int number = 1; number <= AirconOutputs::kUnits; ++number) {
    const AirconOutputs::Hold hold = mAirconOutputs.startHold(number, now);
    if (hold != AirconOutputs::Hold::None && hold != mHoldLogged[number - 1]) {
      info("aircon %d start held %.1f s: %s", number,
           secondsOf(mAirconOutputs.holdLeft(number, now)),
           hold == AirconOutputs::Hold::MinimumOff ? "minimum off time" : "start stagger");
    }
    mHoldLogged[number - 1] = hold;
  }
}

void CqTranslator::noteSend(int output, bool accepted) {
  SendHealth& health = mSendHealth[output];
  if (!accepted) {
    ++health.failures;
    if (!health.failing) {
      warn("%s: the object-server client refused the send; trying again every pass",
           kSentOutputNames[output]);
    }
  } else if (health.failing) {
    info("%s: sends go out again", kSentOutputNames[output]);
  }
  health.failing = !accepted;
}

uint64_t CqTranslator::getSendFailures(int output) const {
  return output >= 0 && output < kSentOutputs ? mSendHealth[output].failures : 0;
}

void CqTranslator::noteConnection(int64_t now) {
  if (!isServerConnected()) {
    mServerWasLost = true;
    return;
  }
  if (mServerWasLost) {
    mServerWasLost = false;
    // A server that restarted holds every output clear; one that only
    // dropped the connection may have lost the last writes. Either way each
    // output is sent again, a start after the unit has rested.
    mAirconOutputs.lost(now);
    for (int number = 1; number <= AirconOutputs::kUnits; ++number) {
      mirrorConfirmedState(number);
    }
    info("object server connected again: the air conditioners' outputs are sent again");
  }
}

void CqTranslator::setAirconTiming(int64_t minimumOffNanoseconds, int64_t startStaggerNanoseconds) {
  mAirconOutputs.setTiming(AirconOutputs::Timing{minimumOffNanoseconds, startStaggerNanoseconds});
}

void CqTranslator::setAirconRestingSince(int number, int64_t offAtNanoseconds) {
  mAirconOutputs.restingSince(number, offAtNanoseconds);
}

void CqTranslator::reconcileOutputs() {
  const int64_t now = monotonicNanoseconds();
  noteConnection(now);
  mAirconOutputs.reconcile(now,
                           [this](int number, bool on) { return sendAirconState(number, on); });
  for (int number = 1; number <= AirconOutputs::kUnits; ++number) {
    mirrorConfirmedState(number);
  }
  noteHeldStarts(now);
}

void CqTranslator::setFanValue(float valueToSet) {
  // The callers check this; an unset fan must still never be dereferenced.
  cObjectAOutput* cached = mFan != nullptr ? mFan->getControlPort() : nullptr;
  if (cached == nullptr) {
    return;
  }
  const float sent = fanPercentToSend(valueToSet);
  noteFanLimit(*this, valueToSet, sent);
  cObjectAOutput* output = copyToSend(cached);
  if (output == nullptr) {
    return;
  }
  output->setOutputValue(sent);
  const bool accepted = mObjectClient->set(output) == 0;
  delete output;
  noteSend(kFanOutput, accepted);
  // The cached port keeps what went out; the fan is sent again every pass.
  if (accepted) {
    cached->setOutputValue(sent);
    debug("Fan set to: %f\n", static_cast<double>(sent));
  }
}

void CqTranslator::switchAircon(aircon* ac) {
  if (ac == nullptr || ac->getControlPort() == nullptr) {
    return;
  }
  const int number = ac == mFirstAircon ? 1 : ac == mSecondAircon ? 2 : 0;
  if (number == 0) {
    info("aircon toggle: the record is not one of the bridge's air conditioners; nothing sent");
    return;
  }
  switch (ac->getControlPort()->getOutputState()) {
    case OBJ_IO_STATE_SET:
      debug("changing aircon %d output from SET to CLEAR", ac->getAirconNumber());
      decideAircon(number, false);
      break;
    case OBJ_IO_STATE_CLEAR:
      debug("changing aircon %d output from CLEAR to SET", ac->getAirconNumber());
      decideAircon(number, true);
      break;
    default:
      decideAircon(number, true);
      break;
  }
}

// ---- Polling ----

namespace {

// Sends a copy of an output's cached port object again; true when the
// client took it.
template <typename PortClass>
bool resendCachedOutput(cObjectClient* client, PortClass* cached) {
  cObject* copy = cached->clone();
  auto* output = dynamic_cast<PortClass*>(copy);
  const bool accepted = output != nullptr && client->set(output) == 0;
  delete copy;
  return accepted;
}

}  // namespace

// Reads a probe's current value from the server into the probe object.
// False when the server gave no usable answer; the value is then kept. A
// trend value stored while the request was out is newer than the answer,
// which is then dropped.
bool CqTranslator::readProbe(int probeIndex, cObjectAInput* probe) {
  cObjectAInput query;
  copyPortAddress(*probe, query);
  uint32_t storesBefore;
  {
    std::lock_guard<std::mutex> lock(mProbeStoreMutex);
    storesBefore = mTrendStores[probeIndex];
  }
  cObject* answer = mObjectClient->get(&query);
  auto* current = dynamic_cast<cObjectAInput*>(answer);
  if (current != nullptr) {
    std::lock_guard<std::mutex> lock(mProbeStoreMutex);
    if (mTrendStores[probeIndex] == storesBefore) {
      probe->setCalculatedValue(current->getCalculatedValue());
    }
  }
  delete answer;
  return current != nullptr;
}

void CqTranslator::readProbeValues(const std::atomic<bool>* stopRequested) {
  auto stopping = [stopRequested] {
    return stopRequested != nullptr && stopRequested->load(std::memory_order_acquire);
  };
  cObjectAInput* internal = getInternalProbe();
  if (internal != nullptr && !stopping() && !readProbe(0, internal) && !stopping()) {
    info("The Return internal port is NULL\n");
  }
  cObjectAInput* external = getExternalProbe();
  if (external != nullptr && !stopping() && !readProbe(1, external) && !stopping()) {
    info("The Return external port is NULL\n");
  }
}

void CqTranslator::resendOutputs() {
  // Re-asserts every output, in case an earlier command was lost. An air
  // conditioner is re-asserted only in the state that the server confirmed
  // and the controller still wants: never a state found at set-up that the
  // decision differs from, nor a start still held.
  for (int number = 1; number <= AirconOutputs::kUnits; ++number) {
    aircon* ac = getAirconFromNumber(number);
    const AirconOutputs::Confirmed confirmed = mAirconOutputs.confirmed(number);
    if (ac == nullptr || ac->getControlPort() == nullptr ||
        confirmed == AirconOutputs::Confirmed::Unknown ||
        (confirmed == AirconOutputs::Confirmed::On) != mAirconOutputs.decidedOn(number)) {
      continue;
    }
    noteSend(number - 1, resendCachedOutput(mObjectClient, ac->getControlPort()));
  }
  if (mFan != nullptr && mFan->getControlPort() != nullptr) {
    noteSend(kFanOutput, resendCachedOutput(mObjectClient, mFan->getControlPort()));
  }
}

bool CqTranslator::updateValues() {
  cObjectAInput* internal = getInternalProbe();
  cObjectAInput* external = getExternalProbe();
  if (internal == nullptr || external == nullptr) {
    info("Missing probe... setup incomplete");
    info("doing nothing");
    return false;
  }
  if (mFan == nullptr && mFirstAircon == nullptr && mSecondAircon == nullptr) {
    info("No Outputs setup ... setup incomplete");
    info("doing nothing");
    return false;
  }
  readProbeValues();
  resendOutputs();
  return true;
}
