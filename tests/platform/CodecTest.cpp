// The wire codec: round trips, the exact byte layout, malformed input and
// stream reassembly.
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "cObject.h"
#include "cObjectList.h"
#include "vulowire.h"

using vulowire::DecodeResult;
using vulowire::DecodeStatus;
using vulowire::Frame;
using vulowire::FrameAssembler;
using vulowire::FrameKind;
using Bytes = std::vector<uint8_t>;

namespace {

uint32_t floatBits(float value) {
  uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

float floatFromBits(uint32_t bits) {
  float value = 0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

template <typename T>
void fillPort(T& port, uint32_t serial, uint32_t portId, const char* label) {
  port.setDeviceSerial(serial);
  port.setPortId(portId);
  port.setPortLabel(label);
}

Bytes encode(const Frame& frame) {
  Bytes out;
  EXPECT_TRUE(vulowire::encodeFrame(frame, out));
  return out;
}

Frame decodeOk(const Bytes& bytes) {
  Frame frame;
  DecodeResult result = vulowire::decodeFrame(bytes.data(), bytes.size(), frame);
  EXPECT_EQ(result.status, DecodeStatus::Ok) << result.error;
  EXPECT_EQ(result.consumed, bytes.size());
  return frame;
}

Frame roundTrip(const Frame& frame) {
  return decodeOk(encode(frame));
}

template <typename T>
const T& as(const std::unique_ptr<cObject>& object) {
  const T* typed = dynamic_cast<const T*>(object.get());
  EXPECT_NE(typed, nullptr);
  static const T empty;
  return typed != nullptr ? *typed : empty;
}

// A set request for one digital output: serial 0x01020304, port 7,
// label "ac1", state SET. Its bytes are spelled out in kGoldenSet.
Frame goldenSetFrame() {
  Frame frame;
  frame.kind = FrameKind::SetRequest;
  auto out = std::make_unique<cObjectDOutput>();
  fillPort(*out, 0x01020304, 7, "ac1");
  out->setOutputState(OBJ_IO_STATE_SET);
  frame.objects.push_back(std::move(out));
  return frame;
}

const Bytes kGoldenSet = {
    0x21, 0x00, 0x00, 0x00,  // length: 33 bytes follow
    0x01,                    // version
    0x06,                    // kind: set request
    0x00, 0x00, 0x00, 0x00,  // request id
    0x00, 0x00, 0x00,        // message type, sequence number, flags
    0x01, 0x00,              // one object
    0x03,                    // OBJ_PORT_DOUT
    0x11, 0x00, 0x00, 0x00,  // body: 17 bytes
    0x04, 0x03, 0x02, 0x01,  // device serial
    0x07, 0x00, 0x00, 0x00,  // port id
    0x02,                    // PORT_TYPE_DISCRETE_OUT
    0x03, 0x00, 0x00, 0x00,  // label length
    'a',  'c',  '1',         // label
    0x01,                    // OBJ_IO_STATE_SET
};

}  // namespace

TEST(WireCodec, EncodesTheDocumentedLittleEndianLayout) {
  EXPECT_EQ(encode(goldenSetFrame()), kGoldenSet);
  Frame decoded = decodeOk(kGoldenSet);
  ASSERT_EQ(decoded.objects.size(), 1u);
  const auto& out = as<cObjectDOutput>(decoded.objects[0]);
  EXPECT_EQ(out.getDeviceSerial(), 0x01020304u);
  EXPECT_STREQ(out.getPortLabel(), "ac1");
  EXPECT_EQ(out.getOutputState(), OBJ_IO_STATE_SET);
}

TEST(WireCodec, EveryObjectClassRoundTripsWithAllItsFields) {
  Frame frame;
  frame.kind = FrameKind::Push;
  frame.requestId = 0;
  frame.msgType = MSG_EVT;
  frame.seqNum = 255;
  frame.eventFlag = true;

  auto port = std::make_unique<cObjectPort>();
  fillPort(*port, 1, 2, "plain port");
  port->setPortType(PORT_TYPE_NONE);
  auto din = std::make_unique<cObjectDInput>();
  fillPort(*din, 3, 4, "door");
  din->setInputState(OBJ_IO_STATE_CLEAR);
  auto dout = std::make_unique<cObjectDOutput>();
  fillPort(*dout, 0xFFFFFFFF, 0xFFFFFFFE, "");
  dout->setOutputState(OBJ_IO_STATE_UNKNOWN);
  auto ain = std::make_unique<cObjectAInput>();
  fillPort(*ain, 5, 6, "Internal Temp");
  ain->setCalculatedValue(-0.0f);
  auto aout = std::make_unique<cObjectAOutput>();
  fillPort(*aout, 7, 8, "Fan");
  aout->setOutputValue(floatFromBits(0x7FC00001));  // a NaN with payload
  auto trend = std::make_unique<cObjectTrend>();
  trend->setTrendSeqNum(0xDEADBEEF);
  trend->setDeviceSerial(9);
  trend->setPortId(10);
  trend->setCalculatedValue(1e-45f);  // denormal

  frame.objects.push_back(std::move(port));
  frame.objects.push_back(std::move(din));
  frame.objects.push_back(std::move(dout));
  frame.objects.push_back(std::move(ain));
  frame.objects.push_back(std::move(aout));
  frame.objects.push_back(std::move(trend));
  const eObjectTypes bareTypes[] = {OBJ_DEVICE,        OBJ_EVENT,  OBJ_MSG_INFO,   OBJ_SITE_CFG,
                                    OBJ_ANALOG_SAMPLE, OBJ_ACCESS, OBJ_CAPABILITY, OBJ_ADHOC_EVENT};
  for (eObjectTypes type : bareTypes) {
    frame.objects.push_back(std::make_unique<cObject>(type));
  }

  Frame back = roundTrip(frame);
  EXPECT_EQ(back.kind, FrameKind::Push);
  EXPECT_EQ(back.msgType, MSG_EVT);
  EXPECT_EQ(back.seqNum, 255);
  EXPECT_TRUE(back.eventFlag);
  ASSERT_EQ(back.objects.size(), 6u + std::size(bareTypes));

  // Each port keeps its object type, serial, id, label and port type.
  using PortFields = std::tuple<eObjectTypes, uint32_t, uint32_t, std::string, ePortType>;
  const PortFields sent[] = {{OBJ_PORT, 1, 2, "plain port", PORT_TYPE_NONE},
                             {OBJ_PORT_DIN, 3, 4, "door", PORT_TYPE_DISCRETE_IN},
                             {OBJ_PORT_DOUT, 0xFFFFFFFF, 0xFFFFFFFE, "", PORT_TYPE_DISCRETE_OUT},
                             {OBJ_PORT_AIN, 5, 6, "Internal Temp", PORT_TYPE_ANALOG_IN},
                             {OBJ_PORT_AOUT, 7, 8, "Fan", PORT_TYPE_ANALOG_OUT}};
  for (std::size_t i = 0; i < std::size(sent); ++i) {
    const auto& p = as<cObjectPort>(back.objects[i]);
    EXPECT_EQ(PortFields(p.getType(), p.getDeviceSerial(), p.getPortId(), p.getPortLabel(),
                         p.getPortType()),
              sent[i])
        << "object " << i;
  }
  EXPECT_EQ(as<cObjectDInput>(back.objects[1]).getInputState(), OBJ_IO_STATE_CLEAR);
  EXPECT_EQ(as<cObjectDOutput>(back.objects[2]).getOutputState(), OBJ_IO_STATE_UNKNOWN);
  EXPECT_EQ(floatBits(as<cObjectAInput>(back.objects[3]).getCalculatedValue()), floatBits(-0.0f));
  EXPECT_EQ(floatBits(as<cObjectAOutput>(back.objects[4]).getOutputValue()), 0x7FC00001u);

  const auto& tr = as<cObjectTrend>(back.objects[5]);
  EXPECT_EQ(tr.getTrendSeqNum(), 0xDEADBEEFu);
  EXPECT_EQ(tr.getDeviceSerial(), 9u);
  EXPECT_EQ(tr.getPortId(), 10u);
  EXPECT_EQ(floatBits(tr.getCalculatedValue()), floatBits(1e-45f));

  for (std::size_t i = 0; i < std::size(bareTypes); ++i) {
    const cObject& bare = *back.objects[6 + i];
    EXPECT_EQ(bare.getType(), bareTypes[i]);
    EXPECT_EQ(dynamic_cast<const cObjectPort*>(&bare), nullptr) << "type " << int(bareTypes[i]);
  }
}

TEST(WireCodec, EveryFrameKindRoundTripsItsHeader) {
  struct Case {
    FrameKind kind;
    std::size_t objects;
  };
  const Case cases[] = {{FrameKind::Push, 0},         {FrameKind::QueryRequest, 1},
                        {FrameKind::QueryReply, 0},   {FrameKind::QueryReply, 2},
                        {FrameKind::FetchRequest, 1}, {FrameKind::FetchReply, 0},
                        {FrameKind::FetchReply, 1},   {FrameKind::SetRequest, 1}};
  uint32_t requestId = 0xFFFFFFF0;
  for (const Case& c : cases) {
    Frame frame;
    frame.kind = c.kind;
    frame.requestId = ++requestId;
    frame.msgType = MSG_REQ;
    frame.seqNum = 17;
    for (std::size_t i = 0; i < c.objects; ++i) {
      auto port = std::make_unique<cObjectAInput>();
      fillPort(*port, 100 + i, i, "Probe");
      frame.objects.push_back(std::move(port));
    }
    Frame back = roundTrip(frame);
    EXPECT_EQ(back.kind, c.kind);
    EXPECT_EQ(back.requestId, requestId);
    EXPECT_EQ(back.msgType, MSG_REQ);
    EXPECT_EQ(back.seqNum, 17);
    EXPECT_FALSE(back.eventFlag);
    ASSERT_EQ(back.objects.size(), c.objects);
    for (std::size_t i = 0; i < c.objects; ++i) {
      EXPECT_EQ(as<cObjectAInput>(back.objects[i]).getDeviceSerial(), 100 + i);
    }
  }
}

TEST(WireCodec, LongLabelsFitAndOversizeFramesAreRefused) {
  Frame frame;
  frame.kind = FrameKind::QueryRequest;
  auto query = std::make_unique<cObjectPort>();
  std::string label(10000, 'x');
  label.back() = 'y';
  query->setPortLabel(label.c_str());
  frame.objects.push_back(std::move(query));
  Frame back = roundTrip(frame);
  ASSERT_EQ(back.objects.size(), 1u);
  EXPECT_EQ(std::string(as<cObjectPort>(back.objects[0]).getPortLabel()), label);

  // Just over the limit: refused, and the output is left as it was.
  static_cast<cObjectPort&>(*frame.objects[0])
      .setPortLabel(std::string(vulowire::kMaxFrameBytes, 'z').c_str());
  Bytes out = {0xAA};
  EXPECT_FALSE(vulowire::encodeFrame(frame, out));
  EXPECT_EQ(out, Bytes{0xAA});
}

TEST(WireCodec, RefusesToEncodeWhatItCouldNotDecode) {
  auto refused = [](Frame frame) {
    Bytes out;
    return !vulowire::encodeFrame(frame, out) && out.empty();
  };
  Frame wrongClass;  // a bare object tagged with a classed type
  wrongClass.objects.push_back(std::make_unique<cObject>(OBJ_PORT_DOUT));
  EXPECT_TRUE(refused(std::move(wrongClass)));

  Frame unknownType;
  unknownType.objects.push_back(std::make_unique<cObject>(static_cast<eObjectTypes>(14)));
  EXPECT_TRUE(refused(std::move(unknownType)));

  Frame nullObject;
  nullObject.objects.push_back(nullptr);
  EXPECT_TRUE(refused(std::move(nullObject)));

  Frame twoFetched;
  twoFetched.kind = FrameKind::FetchReply;
  twoFetched.objects.push_back(std::make_unique<cObjectAInput>());
  twoFetched.objects.push_back(std::make_unique<cObjectAInput>());
  EXPECT_TRUE(refused(std::move(twoFetched)));

  Frame emptySet;
  emptySet.kind = FrameKind::SetRequest;
  EXPECT_TRUE(refused(std::move(emptySet)));

  Frame badKind;
  badKind.kind = static_cast<FrameKind>(9);
  EXPECT_TRUE(refused(std::move(badKind)));
}

// ---- malformed input -----------------------------------------------------

struct MalformedCase {
  const char* name;
  Bytes bytes;
  DecodeStatus expected;
  const char* errorContains;  // for Malformed
};

// Header of a push frame with `count` objects whose length prefix says
// `length` bytes follow.
Bytes pushHeader(uint8_t length, uint8_t count) {
  return {length, 0, 0, 0, 0x01, 0x01, 0, 0, 0, 0, 0x03, 0x00, 0x00, count, 0x00};
}

Bytes concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(WireCodec, MalformedInputIsReportedWithAReason) {
  const MalformedCase cases[] = {
      {"empty", {}, DecodeStatus::NeedMore, ""},
      {"partial length prefix", {0x21, 0x00, 0x00}, DecodeStatus::NeedMore, ""},
      {"only the length prefix", {0x21, 0x00, 0x00, 0x00}, DecodeStatus::NeedMore, ""},
      {"frame not complete yet", Bytes(kGoldenSet.begin(), kGoldenSet.end() - 1),
       DecodeStatus::NeedMore, ""},
      {"length over the bound",
       {0xFD, 0xFF, 0x00, 0x00},
       DecodeStatus::Malformed,
       "exceeds the limit"},
      {"length of 4 GiB",
       {0xFF, 0xFF, 0xFF, 0xFF, 0x01},
       DecodeStatus::Malformed,
       "exceeds the limit"},
      {"length shorter than the header",
       {0x05, 0x00, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x00},
       DecodeStatus::Malformed,
       "shorter than the header"},
      {"bad version, seen before the frame is complete",
       {0x21, 0x00, 0x00, 0x00, 0x02},
       DecodeStatus::Malformed,
       "unknown version 2"},
      {"unknown frame kind",
       {0x21, 0x00, 0x00, 0x00, 0x01, 0x07},
       DecodeStatus::Malformed,
       "unknown frame kind 7"},
      {"frame kind zero",
       {0x21, 0x00, 0x00, 0x00, 0x01, 0x00},
       DecodeStatus::Malformed,
       "unknown frame kind 0"},
      {"unknown flag bits",
       {0x0B, 0, 0, 0, 0x01, 0x01, 0, 0, 0, 0, 0x03, 0x00, 0x02, 0x00, 0x00},
       DecodeStatus::Malformed,
       "flag"},
      {"count larger than objects present",
       concat(pushHeader(16, 2), {0x05, 0x00, 0x00, 0x00, 0x00}), DecodeStatus::Malformed,
       "only 1 objects present"},
      {"object header cut after the type", concat(pushHeader(12, 1), {0x05}),
       DecodeStatus::Malformed, "truncated object header"},
      {"object header cut inside the body length", concat(pushHeader(14, 1), {0x05, 0x00, 0x00}),
       DecodeStatus::Malformed, "truncated object header"},
      {"object body length exceeding the frame",
       concat(pushHeader(17, 1), {0x05, 0x02, 0x00, 0x00, 0x00, 0xAA}), DecodeStatus::Malformed,
       "exceeds the frame"},
      {"object body length of 4 GiB", concat(pushHeader(16, 1), {0x05, 0xFF, 0xFF, 0xFF, 0xFF}),
       DecodeStatus::Malformed, "exceeds the frame"},
      {"unknown object type 14", concat(pushHeader(16, 1), {0x0E, 0x00, 0x00, 0x00, 0x00}),
       DecodeStatus::Malformed, "unknown object type 14"},
      {"unknown object type 255", concat(pushHeader(16, 1), {0xFF, 0x00, 0x00, 0x00, 0x00}),
       DecodeStatus::Malformed, "unknown object type 255"},
      {"bare object with a body", concat(pushHeader(17, 1), {0x05, 0x01, 0x00, 0x00, 0x00, 0x00}),
       DecodeStatus::Malformed, "trailing bytes in its body"},
      {"port cut inside the serial",
       concat(pushHeader(18, 1), {0x01, 0x02, 0x00, 0x00, 0x00, 0x01, 0x02}),
       DecodeStatus::Malformed, "truncated port fields"},
      {"label length beyond the body",
       concat(pushHeader(31, 1), {0x01, 0x0F, 0x00, 0x00, 0x00, 1,    0,    0,    0,   2,
                                  0,    0,    0,    0x00, 0x05, 0x00, 0x00, 0x00, 'a', 'b'}),
       DecodeStatus::Malformed, "port label length 5 exceeds"},
      {"label with a NUL byte",
       concat(pushHeader(31, 1), {0x01, 0x0F, 0x00, 0x00, 0x00, 1,    0,    0,    0,   2,
                                  0,    0,    0,    0x00, 0x02, 0x00, 0x00, 0x00, 'a', 0x00}),
       DecodeStatus::Malformed, "NUL"},
      {"unknown port type",
       concat(pushHeader(29, 1),
              {0x01, 0x0D, 0x00, 0x00, 0x00, 1, 0, 0, 0, 2, 0, 0, 0, 0x05, 0, 0, 0, 0}),
       DecodeStatus::Malformed, "unknown port type 5"},
      {"digital output without its state",
       concat(pushHeader(29, 1),
              {0x03, 0x0D, 0x00, 0x00, 0x00, 1, 0, 0, 0, 2, 0, 0, 0, 0x02, 0, 0, 0, 0}),
       DecodeStatus::Malformed, "truncated I/O state"},
      {"unknown I/O state",
       concat(pushHeader(30, 1),
              {0x03, 0x0E, 0x00, 0x00, 0x00, 1, 0, 0, 0, 2, 0, 0, 0, 0x02, 0, 0, 0, 0, 0x03}),
       DecodeStatus::Malformed, "unknown I/O state 3"},
      {"analogue input cut inside its value",
       concat(pushHeader(31, 1),
              {0x04, 0x0F, 0x00, 0x00, 0x00, 1, 0, 0, 0, 2, 0, 0, 0, 0x03, 0, 0, 0, 0, 0x00, 0x00}),
       DecodeStatus::Malformed, "truncated value"},
      {"trend cut inside its value",
       concat(pushHeader(31, 1),
              {0x08, 0x0F, 0x00, 0x00, 0x00, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 0x00, 0x00, 0x00}),
       DecodeStatus::Malformed, "truncated trend event"},
      {"trailing bytes inside the frame",
       concat(pushHeader(17, 1), {0x05, 0x00, 0x00, 0x00, 0x00, 0xEE}), DecodeStatus::Malformed,
       "1 trailing bytes after the last object"},
      {"fetch reply with two objects",
       {0x15, 0,    0,    0, 0x01, 0x05, 1, 0,    0, 0, 0, 0, 0,
        0x02, 0x00, 0x05, 0, 0,    0,    0, 0x05, 0, 0, 0, 0},
       DecodeStatus::Malformed,
       "at most one object"},
  };
  for (const MalformedCase& c : cases) {
    Frame frame;
    DecodeResult result = vulowire::decodeFrame(c.bytes.data(), c.bytes.size(), frame);
    EXPECT_EQ(result.status, c.expected) << c.name << ": " << result.error;
    if (c.expected == DecodeStatus::Malformed) {
      EXPECT_NE(result.error.find(c.errorContains), std::string::npos)
          << c.name << ": error was \"" << result.error << "\"";
    }
    EXPECT_TRUE(frame.objects.empty()) << c.name;
  }
}

TEST(WireCodec, AFrameCutShortAtAnyByteIsMalformed) {
  // The golden frame with its length prefix shrunk to each possible cut: the
  // decoder sees a complete but truncated frame and must refuse it without
  // reading past the end (the copy is exactly as long as the claim).
  for (std::size_t cut = 4; cut < kGoldenSet.size(); ++cut) {
    Bytes bytes(kGoldenSet.begin(), kGoldenSet.begin() + static_cast<std::ptrdiff_t>(cut));
    bytes[0] = static_cast<uint8_t>(cut - 4);
    Frame frame;
    DecodeResult result = vulowire::decodeFrame(bytes.data(), bytes.size(), frame);
    EXPECT_EQ(result.status, DecodeStatus::Malformed) << "cut at byte " << cut;
    EXPECT_FALSE(result.error.empty());
  }
}

// ---- stream reassembly ---------------------------------------------------

namespace {

Bytes threeFrameStream() {
  Bytes stream;
  for (uint32_t i = 1; i <= 3; ++i) {
    Frame frame;
    frame.kind = FrameKind::Push;
    frame.seqNum = static_cast<uint8_t>(i);
    auto trend = std::make_unique<cObjectTrend>();
    trend->setTrendSeqNum(i);
    trend->setCalculatedValue(20.0f + static_cast<float>(i));
    frame.objects.push_back(std::move(trend));
    EXPECT_TRUE(vulowire::encodeFrame(frame, stream));
  }
  EXPECT_TRUE(vulowire::encodeFrame(goldenSetFrame(), stream));
  return stream;
}

// Feeds `stream` in the given chunk sizes (cycled) and collects the frames.
std::vector<Frame> feed(const Bytes& stream, const std::vector<std::size_t>& chunks) {
  FrameAssembler assembler;
  std::vector<Frame> frames;
  std::size_t at = 0;
  for (std::size_t i = 0; at < stream.size(); ++i) {
    std::size_t n = std::min(chunks[i % chunks.size()], stream.size() - at);
    assembler.append(stream.data() + at, n);
    at += n;
    Frame frame;
    DecodeStatus status;
    while ((status = assembler.next(frame)) == DecodeStatus::Ok) {
      frames.push_back(std::move(frame));
    }
    EXPECT_EQ(status, DecodeStatus::NeedMore);
  }
  EXPECT_EQ(assembler.buffered(), 0u);
  return frames;
}

void expectThreeTrendsThenSet(const std::vector<Frame>& frames) {
  ASSERT_EQ(frames.size(), 4u);
  for (uint32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(frames[i].seqNum, i + 1);
    ASSERT_EQ(frames[i].objects.size(), 1u);
    EXPECT_EQ(as<cObjectTrend>(frames[i].objects[0]).getTrendSeqNum(), i + 1);
  }
  EXPECT_EQ(frames[3].kind, FrameKind::SetRequest);
}

}  // namespace

TEST(FrameAssembler, ReassemblesFramesFedByteByByte) {
  expectThreeTrendsThenSet(feed(threeFrameStream(), {1}));
}

TEST(FrameAssembler, ReassemblesFramesFedInArbitrarySplits) {
  Bytes stream = threeFrameStream();
  expectThreeTrendsThenSet(feed(stream, {stream.size()}));
  expectThreeTrendsThenSet(feed(stream, {3, 7, 1, 60}));
  std::mt19937 random(12345);  // fixed seed: the same splits every run
  for (int round = 0; round < 50; ++round) {
    std::vector<std::size_t> chunks;
    for (int i = 0; i < 8; ++i) {
      chunks.push_back(1 + random() % 40);
    }
    expectThreeTrendsThenSet(feed(stream, chunks));
  }
}

TEST(FrameAssembler, YieldsGoodFramesThenReportsGarbageUntilCleared) {
  Bytes stream = kGoldenSet;
  const char garbage[] = "HTTP/1.1 400 Bad Request\r\n";
  stream.insert(stream.end(), garbage, garbage + sizeof garbage - 1);
  FrameAssembler assembler;
  assembler.append(stream.data(), stream.size());
  Frame frame;
  EXPECT_EQ(assembler.next(frame), DecodeStatus::Ok);
  std::string error;
  EXPECT_EQ(assembler.next(frame, &error), DecodeStatus::Malformed);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(assembler.next(frame), DecodeStatus::Malformed);  // stays unusable
  assembler.clear();
  EXPECT_EQ(assembler.buffered(), 0u);
  assembler.append(kGoldenSet.data(), kGoldenSet.size());
  EXPECT_EQ(assembler.next(frame), DecodeStatus::Ok);
}

// ---- object list and clones ------------------------------------------------

TEST(ObjectList, IteratesInOrderIgnoresNullAndLeavesObjectsToTheCaller) {
  cObjectList list;
  EXPECT_EQ(list.first(), nullptr);
  EXPECT_EQ(list.next(), nullptr);
  cObjectPort a;
  cObjectTrend b;
  list.add(&a);
  list.add(nullptr);
  list.add(&b);
  EXPECT_EQ(list.size(), 2u);
  EXPECT_EQ(list.first(), &a);
  EXPECT_EQ(list.next(), &b);
  EXPECT_EQ(list.next(), nullptr);
  EXPECT_EQ(list.next(), nullptr);
  EXPECT_EQ(list.first(), &a);  // rewinds
  // Destroying `list` here must not delete the stack objects.
}

TEST(ObjectList, DeleteObjectsDestroysAndEmpties) {
  auto* list = new cObjectList;
  list->add(new cObjectAInput);
  list->add(new cObject(OBJ_EVENT));
  list->deleteObjects();  // leak-checked under the address sanitizer
  EXPECT_EQ(list->size(), 0u);
  EXPECT_EQ(list->first(), nullptr);
  delete list;
}

TEST(ObjectClasses, OutputClonesKeepTheirClassAndEveryField) {
  cObjectDOutput dout;
  fillPort(dout, 11, 12, "Aircon 1");
  dout.setOutputState(OBJ_IO_STATE_CLEAR);
  std::unique_ptr<cObject> dcopy(dout.clone());
  auto* d = dynamic_cast<cObjectDOutput*>(dcopy.get());
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->getDeviceSerial(), 11u);
  EXPECT_EQ(d->getPortId(), 12u);
  EXPECT_STREQ(d->getPortLabel(), "Aircon 1");
  EXPECT_NE(d->getPortLabel(), dout.getPortLabel());  // its own copy
  EXPECT_EQ(d->getPortType(), PORT_TYPE_DISCRETE_OUT);
  EXPECT_EQ(d->getOutputState(), OBJ_IO_STATE_CLEAR);

  cObjectAOutput aout;
  fillPort(aout, 13, 14, "Fan");
  aout.setOutputValue(42.5f);
  std::unique_ptr<cObject> acopy(aout.clone());
  auto* a = dynamic_cast<cObjectAOutput*>(acopy.get());
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->getOutputValue(), 42.5f);
  EXPECT_EQ(a->getType(), OBJ_PORT_AOUT);
}
