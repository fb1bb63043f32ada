// Object classes of the object-server client library.
//
// Every object carries its eObjectTypes tag. Port objects name a port by
// device serial and port id; the label and port type describe it. clone()
// returns a new object of the same dynamic class that belongs to the caller.
#ifndef VULOOBJ_COBJECT_H
#define VULOOBJ_COBJECT_H

#include <atomic>
#include <cstdint>
#include <string>

enum eObjectTypes : uint8_t {
  OBJ_DEVICE = 0,
  OBJ_PORT = 1,
  OBJ_PORT_DIN = 2,
  OBJ_PORT_DOUT = 3,
  OBJ_PORT_AIN = 4,
  OBJ_EVENT = 5,
  OBJ_MSG_INFO = 6,
  OBJ_SITE_CFG = 7,
  OBJ_TREND_EVENT = 8,
  OBJ_ANALOG_SAMPLE = 9,
  OBJ_ACCESS = 10,
  OBJ_PORT_AOUT = 11,
  OBJ_CAPABILITY = 12,
  OBJ_ADHOC_EVENT = 13,
  OBJ_NUM_OBJECT_TYPES = 14
};

// A bare object: only its type. Types without a class of their own
// (OBJ_EVENT, OBJ_ACCESS, OBJ_ADHOC_EVENT, ...) travel as bare objects.
class cObject {
 public:
  explicit cObject(eObjectTypes type) : mType(type) {}
  virtual ~cObject() = default;
  cObject& operator=(const cObject&) = delete;

  eObjectTypes getType() const { return mType; }
  virtual cObject* clone() const { return new cObject(*this); }

 protected:
  cObject(const cObject&) = default;

 private:
  eObjectTypes mType;
};

enum ePortType : uint8_t {
  PORT_TYPE_NONE = 0,
  PORT_TYPE_DISCRETE_IN = 1,
  PORT_TYPE_DISCRETE_OUT = 2,
  PORT_TYPE_ANALOG_IN = 3,
  PORT_TYPE_ANALOG_OUT = 4
};

// Where a value lives on the server: device serial and port id. Ports and
// trend events both carry it.
class cPortAddress {
 public:
  uint32_t getDeviceSerial() const { return mDeviceSerial; }
  void setDeviceSerial(uint32_t serial) { mDeviceSerial = serial; }
  uint32_t getPortId() const { return mPortId; }
  void setPortId(uint32_t id) { mPortId = id; }

 private:
  uint32_t mDeviceSerial = 0;
  uint32_t mPortId = 0;
};

// A port of a device. A query by example sets only the type and the label.
class cObjectPort : public cObject, public cPortAddress {
 public:
  cObjectPort() : cObject(OBJ_PORT) {}
  cObject* clone() const override { return new cObjectPort(*this); }

  // Never null; "" when no label is set.
  const char* getPortLabel() const { return mPortLabel.c_str(); }
  // Copies the label; null clears it.
  void setPortLabel(const char* label) { mPortLabel = label ? label : ""; }
  ePortType getPortType() const { return mPortType; }
  void setPortType(ePortType type) { mPortType = type; }

 protected:
  explicit cObjectPort(eObjectTypes type) : cObject(type) {}
  cObjectPort(const cObjectPort&) = default;

 private:
  std::string mPortLabel;
  ePortType mPortType = PORT_TYPE_NONE;
};

// Analogue input (a temperature probe). The calculated value is written by
// the delivery thread and read by the main thread: it is one lock-free
// atomic, always read and written whole.
class cObjectAInput : public cObjectPort {
 public:
  cObjectAInput() : cObjectPort(OBJ_PORT_AIN) { setPortType(PORT_TYPE_ANALOG_IN); }
  cObjectAInput(const cObjectAInput& other)
      : cObjectPort(other), mCalculatedValue(other.getCalculatedValue()) {}
  cObject* clone() const override { return new cObjectAInput(*this); }

  float getCalculatedValue() const { return mCalculatedValue.load(std::memory_order_relaxed); }
  void setCalculatedValue(float value) { mCalculatedValue.store(value, std::memory_order_relaxed); }

 private:
  static_assert(std::atomic<float>::is_always_lock_free, "probe values must be lock-free");
  std::atomic<float> mCalculatedValue{0.0f};
};

enum eObjectIOState : uint8_t {
  OBJ_IO_STATE_UNKNOWN = 0,
  OBJ_IO_STATE_SET = 1,
  OBJ_IO_STATE_CLEAR = 2
};

// A port of one kind that holds one value (a state or a speed): the body
// shared by the discrete input, the discrete output and the analogue output.
// The value starts value-initialised: OBJ_IO_STATE_UNKNOWN or 0.
template <class Self, eObjectTypes kType, ePortType kPortType, class Value>
class cObjectValuePort : public cObjectPort {
 public:
  cObject* clone() const override { return new Self(static_cast<const Self&>(*this)); }

 protected:
  cObjectValuePort() : cObjectPort(kType) { setPortType(kPortType); }
  cObjectValuePort(const cObjectValuePort&) = default;
  Value value() const { return mValue; }
  void setValue(Value value) { mValue = value; }

 private:
  Value mValue{};
};

// Discrete input. Not used by the daemon; the server publishes such ports.
class cObjectDInput
    : public cObjectValuePort<cObjectDInput, OBJ_PORT_DIN, PORT_TYPE_DISCRETE_IN, eObjectIOState> {
 public:
  eObjectIOState getInputState() const { return value(); }
  void setInputState(eObjectIOState state) { setValue(state); }
};

// Discrete output (an air conditioner's on/off contact).
class cObjectDOutput : public cObjectValuePort<cObjectDOutput, OBJ_PORT_DOUT,
                                               PORT_TYPE_DISCRETE_OUT, eObjectIOState> {
 public:
  eObjectIOState getOutputState() const { return value(); }
  void setOutputState(eObjectIOState state) { setValue(state); }
};

// Analogue output (the fan speed, in percent).
class cObjectAOutput
    : public cObjectValuePort<cObjectAOutput, OBJ_PORT_AOUT, PORT_TYPE_ANALOG_OUT, float> {
 public:
  float getOutputValue() const { return value(); }
  void setOutputValue(float speed) { setValue(speed); }
};

// A trend event: a new calculated value of one port, with the server's
// trend sequence number.
class cObjectTrend : public cObject, public cPortAddress {
 public:
  cObjectTrend() : cObject(OBJ_TREND_EVENT) {}
  cObject* clone() const override { return new cObjectTrend(*this); }

  uint32_t getTrendSeqNum() const { return mTrendSeqNum; }
  void setTrendSeqNum(uint32_t seq) { mTrendSeqNum = seq; }
  float getCalculatedValue() const { return mCalculatedValue; }
  void setCalculatedValue(float value) { mCalculatedValue = value; }

 private:
  cObjectTrend(const cObjectTrend&) = default;
  uint32_t mTrendSeqNum = 0;
  float mCalculatedValue = 0.0f;
};

#endif
