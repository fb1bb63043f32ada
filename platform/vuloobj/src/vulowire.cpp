// Wire codec. Every multi-byte field is little-endian and goes through byte
// shifts or memcpy, never through a cast of an unaligned pointer: the target
// is 32-bit ARM. The layout is described in docs/wire-format.md.
#include "vulowire.h"

#include <cstring>
#include <utility>

namespace vulowire {

namespace {

// Bytes of the frame header after the length prefix: version, kind,
// request id, message type, sequence number, flags, object count.
constexpr std::size_t kLengthPrefixBytes = 4;
constexpr std::size_t kHeaderBytes = 1 + 1 + 4 + 1 + 1 + 1 + 2;
// Room reserved per object when encoding: its header (type, body length)
// and a port body with a short label.
constexpr std::size_t kTypicalObjectBytes = 1 + 4 + 64;
constexpr uint8_t kFlagEvent = 0x01;
constexpr std::size_t kMaxObjectsPerFrame = 0xFFFF;

// ---- writing -------------------------------------------------------------

class Writer {
 public:
  explicit Writer(std::vector<uint8_t>& out) : mOut(out) {}

  void u8(uint8_t value) { mOut.push_back(value); }
  void u16(uint16_t value) {
    mOut.push_back(static_cast<uint8_t>(value));
    mOut.push_back(static_cast<uint8_t>(value >> 8));
  }
  void u32(uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
      mOut.push_back(static_cast<uint8_t>(value >> shift));
    }
  }
  void f32(float value) {
    static_assert(sizeof(float) == sizeof(uint32_t), "IEEE-754 single precision expected");
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    u32(bits);
  }
  void bytes(const std::string& text) { mOut.insert(mOut.end(), text.begin(), text.end()); }

  std::size_t position() const { return mOut.size(); }
  // Overwrites a u32 written earlier (a length known only afterwards).
  void patchU32(std::size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
      mOut[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
  }

 private:
  std::vector<uint8_t>& mOut;
};

void writePortFields(Writer& w, const cObjectPort& port) {
  std::string label = port.getPortLabel();
  w.u32(port.getDeviceSerial());
  w.u32(port.getPortId());
  w.u8(port.getPortType());
  w.u32(static_cast<uint32_t>(label.size()));
  w.bytes(label);
}

bool kindIsKnown(uint8_t kind) {
  return kind >= static_cast<uint8_t>(FrameKind::Push) &&
         kind <= static_cast<uint8_t>(FrameKind::SetRequest);
}

// How many objects a frame of `kind` may carry; empty when any number is fine.
const char* objectCountRuleViolation(FrameKind kind, std::size_t count) {
  switch (kind) {
    case FrameKind::FetchRequest:
    case FrameKind::SetRequest:
      return count == 1 ? nullptr : "a fetch or set request carries exactly one object";
    case FrameKind::FetchReply:
      return count <= 1 ? nullptr : "a fetch reply carries at most one object";
    default:
      return nullptr;
  }
}

// ---- reading -------------------------------------------------------------

// Reads fields from a bounded byte range; every read checks what is left.
class Reader {
 public:
  Reader(const uint8_t* data, std::size_t size) : mData(data), mLeft(size) {}

  bool u8(uint8_t& value) {
    if (mLeft < 1) {
      return false;
    }
    value = mData[0];
    advance(1);
    return true;
  }
  bool u16(uint16_t& value) {
    if (mLeft < 2) {
      return false;
    }
    value = static_cast<uint16_t>(mData[0] | (mData[1] << 8));
    advance(2);
    return true;
  }
  bool u32(uint32_t& value) {
    if (mLeft < 4) {
      return false;
    }
    value = static_cast<uint32_t>(mData[0]) | (static_cast<uint32_t>(mData[1]) << 8) |
            (static_cast<uint32_t>(mData[2]) << 16) | (static_cast<uint32_t>(mData[3]) << 24);
    advance(4);
    return true;
  }
  bool f32(float& value) {
    uint32_t bits = 0;
    if (!u32(bits)) {
      return false;
    }
    std::memcpy(&value, &bits, sizeof value);
    return true;
  }
  bool bytes(std::size_t count, std::string& out) {
    if (mLeft < count) {
      return false;
    }
    out.assign(reinterpret_cast<const char*>(mData), count);
    advance(count);
    return true;
  }
  // A reader over the next `count` bytes, which this reader then skips.
  bool sub(std::size_t count, Reader& out) {
    if (mLeft < count) {
      return false;
    }
    out = Reader(mData, count);
    advance(count);
    return true;
  }
  std::size_t left() const { return mLeft; }

 private:
  void advance(std::size_t count) {
    mData += count;
    mLeft -= count;
  }
  const uint8_t* mData;
  std::size_t mLeft;
};

bool readPortFields(Reader& r, cObjectPort& port, std::string& error) {
  uint32_t serial = 0;
  uint32_t portId = 0;
  uint8_t portType = 0;
  uint32_t labelLength = 0;
  std::string label;
  if (!r.u32(serial) || !r.u32(portId) || !r.u8(portType) || !r.u32(labelLength)) {
    error = "truncated port fields";
    return false;
  }
  if (portType > PORT_TYPE_ANALOG_OUT) {
    error = "unknown port type " + std::to_string(portType);
    return false;
  }
  if (labelLength > r.left()) {
    error = "port label length " + std::to_string(labelLength) + " exceeds the object body";
    return false;
  }
  r.bytes(labelLength, label);
  if (label.find('\0') != std::string::npos) {
    error = "port label contains a NUL byte";
    return false;
  }
  port.setDeviceSerial(serial);
  port.setPortId(portId);
  port.setPortType(static_cast<ePortType>(portType));
  port.setPortLabel(label.c_str());
  return true;
}

bool readIoState(Reader& r, eObjectIOState& state, std::string& error) {
  uint8_t raw = 0;
  if (!r.u8(raw)) {
    error = "truncated I/O state";
    return false;
  }
  if (raw > OBJ_IO_STATE_CLEAR) {
    error = "unknown I/O state " + std::to_string(raw);
    return false;
  }
  state = static_cast<eObjectIOState>(raw);
  return true;
}

bool readFloat(Reader& r, float& value, std::string& error) {
  if (!r.f32(value)) {
    error = "truncated value";
    return false;
  }
  return true;
}

// The field each kind of port adds to the common port fields, and how it
// travels: a state as one byte, a value as IEEE-754 single precision.
struct NoField {
  static void write(Writer&, const cObjectPort&) {}
  static bool read(Reader&, cObjectPort&, std::string&) { return true; }
};

template <typename PortClass, eObjectIOState (PortClass::*Get)() const,
          void (PortClass::*Set)(eObjectIOState)>
struct StateField {
  static void write(Writer& w, const PortClass& port) { w.u8((port.*Get)()); }
  static bool read(Reader& r, PortClass& port, std::string& error) {
    eObjectIOState state = OBJ_IO_STATE_UNKNOWN;
    if (!readIoState(r, state, error)) {
      return false;
    }
    (port.*Set)(state);
    return true;
  }
};

template <typename PortClass, float (PortClass::*Get)() const, void (PortClass::*Set)(float)>
struct ValueField {
  static void write(Writer& w, const PortClass& port) { w.f32((port.*Get)()); }
  static bool read(Reader& r, PortClass& port, std::string& error) {
    float value = 0.0f;
    if (!readFloat(r, value, error)) {
      return false;
    }
    (port.*Set)(value);
    return true;
  }
};

using InputStateField =
    StateField<cObjectDInput, &cObjectDInput::getInputState, &cObjectDInput::setInputState>;
using OutputStateField =
    StateField<cObjectDOutput, &cObjectDOutput::getOutputState, &cObjectDOutput::setOutputState>;
using CalculatedValueField = ValueField<cObjectAInput, &cObjectAInput::getCalculatedValue,
                                        &cObjectAInput::setCalculatedValue>;
using OutputValueField =
    ValueField<cObjectAOutput, &cObjectAOutput::getOutputValue, &cObjectAOutput::setOutputValue>;

// Writes the port fields of `object` as a `PortClass`, then the field its
// class adds. False when the object is not of that class.
template <typename PortClass, typename Field>
bool writePortBody(Writer& w, const cObject& object) {
  auto* port = dynamic_cast<const PortClass*>(&object);
  if (port == nullptr) {
    return false;
  }
  writePortFields(w, *port);
  Field::write(w, *port);
  return true;
}

// Reads the port fields and the field its class adds into a new
// `PortClass`; null and `error` set when the body is malformed.
template <typename PortClass, typename Field>
std::unique_ptr<cObject> readPortBody(Reader& body, std::string& error) {
  auto port = std::make_unique<PortClass>();
  if (!readPortFields(body, *port, error) || !Field::read(body, *port, error)) {
    return nullptr;
  }
  return port;
}

// The port classes on the wire: the common port fields, then each class's
// own field.
struct PortCodec {
  eObjectTypes type;
  bool (*write)(Writer& w, const cObject& object);
  std::unique_ptr<cObject> (*read)(Reader& body, std::string& error);
};

template <typename PortClass, typename Field>
constexpr PortCodec portCodec(eObjectTypes type) {
  return {type, writePortBody<PortClass, Field>, readPortBody<PortClass, Field>};
}

const PortCodec kPortCodecs[] = {
    portCodec<cObjectPort, NoField>(OBJ_PORT),
    portCodec<cObjectDInput, InputStateField>(OBJ_PORT_DIN),
    portCodec<cObjectDOutput, OutputStateField>(OBJ_PORT_DOUT),
    portCodec<cObjectAInput, CalculatedValueField>(OBJ_PORT_AIN),
    portCodec<cObjectAOutput, OutputValueField>(OBJ_PORT_AOUT),
};

const PortCodec* portCodecOf(unsigned type) {
  for (const PortCodec& codec : kPortCodecs) {
    if (codec.type == type) {
      return &codec;
    }
  }
  return nullptr;
}

// Writes the body of `object`. False when the object's dynamic class is not
// the class its type calls for (e.g. a bare cObject tagged OBJ_PORT_DOUT).
bool writeBody(Writer& w, const cObject& object) {
  if (const PortCodec* codec = portCodecOf(object.getType())) {
    return codec->write(w, object);
  }
  if (object.getType() == OBJ_TREND_EVENT) {
    auto* trend = dynamic_cast<const cObjectTrend*>(&object);
    if (trend == nullptr) {
      return false;
    }
    for (uint32_t field : {trend->getTrendSeqNum(), trend->getDeviceSerial(), trend->getPortId()}) {
      w.u32(field);
    }
    w.f32(trend->getCalculatedValue());
    return true;
  }
  // Types without a class of their own travel with an empty body.
  return object.getType() < OBJ_NUM_OBJECT_TYPES;
}

// A trend event's body: sequence number, device serial, port id, value.
std::unique_ptr<cObject> readTrendBody(Reader& body, std::string& error) {
  uint32_t seq = 0;
  uint32_t serial = 0;
  uint32_t portId = 0;
  float value = 0.0f;
  if (!body.u32(seq) || !body.u32(serial) || !body.u32(portId) || !body.f32(value)) {
    error = "truncated trend event";
    return nullptr;
  }
  auto trend = std::make_unique<cObjectTrend>();
  trend->setTrendSeqNum(seq);
  trend->setDeviceSerial(serial);
  trend->setPortId(portId);
  trend->setCalculatedValue(value);
  return trend;
}

// Builds the object of `type` from its whole body; null and `error` set when
// the body is malformed.
std::unique_ptr<cObject> readObjectBody(uint8_t type, Reader& body, std::string& error) {
  std::unique_ptr<cObject> object;
  if (const PortCodec* codec = portCodecOf(type)) {
    object = codec->read(body, error);
  } else if (type == OBJ_TREND_EVENT) {
    object = readTrendBody(body, error);
  } else if (type < OBJ_NUM_OBJECT_TYPES) {
    object = std::make_unique<cObject>(static_cast<eObjectTypes>(type));
  } else {
    error = "unknown object type " + std::to_string(type);
    return nullptr;
  }
  if (object == nullptr) {
    return nullptr;
  }
  if (body.left() != 0) {
    error = "object of type " + std::to_string(type) + " has " + std::to_string(body.left()) +
            " trailing bytes in its body";
    return nullptr;
  }
  return object;
}

DecodeResult malformed(std::string why) {
  DecodeResult result;
  result.status = DecodeStatus::Malformed;
  result.error = std::move(why);
  return result;
}

}  // namespace

bool encodeFrame(const Frame& frame, std::vector<uint8_t>& out) {
  if (!kindIsKnown(static_cast<uint8_t>(frame.kind)) ||
      frame.objects.size() > kMaxObjectsPerFrame ||
      objectCountRuleViolation(frame.kind, frame.objects.size()) != nullptr) {
    return false;
  }
  std::vector<uint8_t> bytes;
  // Most frames (one port or trend) fit in this without growing.
  bytes.reserve(kLengthPrefixBytes + kHeaderBytes + frame.objects.size() * kTypicalObjectBytes);
  Writer w(bytes);
  w.u32(0);  // length prefix, patched below
  w.u8(kVersion);
  w.u8(static_cast<uint8_t>(frame.kind));
  w.u32(frame.requestId);
  w.u8(frame.msgType);
  w.u8(frame.seqNum);
  w.u8(frame.eventFlag ? kFlagEvent : 0);
  w.u16(static_cast<uint16_t>(frame.objects.size()));
  for (const std::unique_ptr<cObject>& object : frame.objects) {
    if (object == nullptr || object->getType() >= OBJ_NUM_OBJECT_TYPES) {
      return false;
    }
    w.u8(object->getType());
    std::size_t lengthAt = w.position();
    w.u32(0);  // body length, patched below
    if (!writeBody(w, *object)) {
      return false;
    }
    if (bytes.size() > kMaxFrameBytes) {
      return false;
    }
    w.patchU32(lengthAt, static_cast<uint32_t>(w.position() - lengthAt - 4));
  }
  if (bytes.size() > kMaxFrameBytes) {
    return false;
  }
  w.patchU32(0, static_cast<uint32_t>(bytes.size() - kLengthPrefixBytes));
  out.insert(out.end(), bytes.begin(), bytes.end());
  return true;
}

DecodeResult decodeFrame(const uint8_t* data, std::size_t size, Frame& out) {
  DecodeResult result;
  if (data == nullptr || size < kLengthPrefixBytes) {
    return result;  // NeedMore
  }
  Reader prefix(data, kLengthPrefixBytes);
  uint32_t length = 0;
  prefix.u32(length);
  // Checked before waiting for the rest, so an absurd length never makes the
  // caller buffer gigabytes.
  if (length > kMaxFrameBytes - kLengthPrefixBytes) {
    return malformed("frame length " + std::to_string(length) + " exceeds the limit of " +
                     std::to_string(kMaxFrameBytes) + " bytes");
  }
  if (length < kHeaderBytes) {
    return malformed("frame length " + std::to_string(length) + " is shorter than the header");
  }
  // Version and kind are checked as soon as they are in, so a stream of
  // garbage is rejected without waiting for a frame that never comes.
  if (size > kLengthPrefixBytes && data[kLengthPrefixBytes] != kVersion) {
    return malformed("unknown version " + std::to_string(data[kLengthPrefixBytes]));
  }
  if (size > kLengthPrefixBytes + 1 && !kindIsKnown(data[kLengthPrefixBytes + 1])) {
    return malformed("unknown frame kind " + std::to_string(data[kLengthPrefixBytes + 1]));
  }
  if (size - kLengthPrefixBytes < length) {
    return result;  // NeedMore
  }

  Reader r(data + kLengthPrefixBytes, length);
  uint8_t version = 0;
  uint8_t kind = 0;
  uint8_t flags = 0;
  uint16_t count = 0;
  Frame frame;
  r.u8(version);  // both checked above
  r.u8(kind);
  frame.kind = static_cast<FrameKind>(kind);
  r.u32(frame.requestId);
  r.u8(frame.msgType);
  r.u8(frame.seqNum);
  r.u8(flags);
  if ((flags & ~kFlagEvent) != 0) {
    return malformed("unknown flag bits " + std::to_string(flags));
  }
  frame.eventFlag = (flags & kFlagEvent) != 0;
  r.u16(count);
  if (const char* rule = objectCountRuleViolation(frame.kind, count)) {
    return malformed(std::string(rule) + ", got " + std::to_string(count));
  }

  for (uint16_t i = 0; i < count; ++i) {
    std::string where = "object " + std::to_string(i + 1) + " of " + std::to_string(count) + ": ";
    if (r.left() == 0) {
      return malformed("object count " + std::to_string(count) + " but only " + std::to_string(i) +
                       " objects present");
    }
    uint8_t type = 0;
    uint32_t bodyLength = 0;
    if (!r.u8(type) || !r.u32(bodyLength)) {
      return malformed(where + "truncated object header");
    }
    Reader body(nullptr, 0);
    if (!r.sub(bodyLength, body)) {
      return malformed(where + "body length " + std::to_string(bodyLength) + " exceeds the frame");
    }
    std::string error;
    std::unique_ptr<cObject> object = readObjectBody(type, body, error);
    if (object == nullptr) {
      return malformed(where + error);
    }
    frame.objects.push_back(std::move(object));
  }
  if (r.left() != 0) {
    return malformed(std::to_string(r.left()) + " trailing bytes after the last object");
  }

  out = std::move(frame);
  result.status = DecodeStatus::Ok;
  result.consumed = kLengthPrefixBytes + length;
  return result;
}

void FrameAssembler::append(const uint8_t* data, std::size_t size) {
  if (data == nullptr || size == 0) {
    return;
  }
  // Drop consumed bytes before growing, so the buffer stays near one frame.
  if (mStart > 0 && (mStart == mBuffer.size() || mStart >= mBuffer.size() / 2)) {
    mBuffer.erase(mBuffer.begin(), mBuffer.begin() + static_cast<std::ptrdiff_t>(mStart));
    mStart = 0;
  }
  mBuffer.insert(mBuffer.end(), data, data + size);
}

DecodeStatus FrameAssembler::next(Frame& out, std::string* error) {
  DecodeResult result = decodeFrame(mBuffer.data() + mStart, mBuffer.size() - mStart, out);
  if (result.status == DecodeStatus::Ok) {
    mStart += result.consumed;
    if (mStart == mBuffer.size()) {
      mBuffer.clear();
      mStart = 0;
    }
  } else if (result.status == DecodeStatus::Malformed && error != nullptr) {
    *error = result.error;
  }
  return result.status;
}

void FrameAssembler::clear() {
  mBuffer.clear();
  mStart = 0;
}

}  // namespace vulowire
