// The wire codec on each message kind the daemon and the server exchange.
// Encoding goes into a fresh buffer and decoding into a fresh frame, as the
// client library does for every message.
#include <memory>
#include <string>
#include <vector>

#include <cObject.h>
#include <cObjectList.h>
#include <vulowire.h>

#include "MicroBenchmarks.h"

namespace {

template <typename Port>
Port* port(uint32_t serial, uint32_t portId, const char* label) {
  auto* object = new Port;
  object->setDeviceSerial(serial);
  object->setPortId(portId);
  object->setPortLabel(label);
  return object;
}

vulowire::Frame frameOf(vulowire::FrameKind kind, cObject* object) {
  vulowire::Frame frame;
  frame.kind = kind;
  frame.requestId =
      kind == vulowire::FrameKind::Push || kind == vulowire::FrameKind::SetRequest ? 0 : 42;
  frame.objects.emplace_back(object);
  return frame;
}

struct MessageKind {
  const char* name;
  vulowire::Frame (*make)();
};

const MessageKind kKinds[] = {
    {"TrendEventPush",
     [] {
       auto* trend = new cObjectTrend;
       trend->setTrendSeqNum(1234);
       trend->setDeviceSerial(1001);
       trend->setPortId(1);
       trend->setCalculatedValue(24.5f);
       vulowire::Frame frame = frameOf(vulowire::FrameKind::Push, trend);
       frame.msgType = MSG_EVT;
       frame.eventFlag = true;
       return frame;
     }},
    {"QueryRequest",
     [] {
       auto* example = new cObjectPort;
       example->setPortType(PORT_TYPE_ANALOG_IN);
       example->setPortLabel("shelter-temp-internal");
       return frameOf(vulowire::FrameKind::QueryRequest, example);
     }},
    {"QueryReply",
     [] {
       return frameOf(vulowire::FrameKind::QueryReply,
                      port<cObjectAInput>(20417731, 1, "shelter-temp-internal"));
     }},
    {"FetchRequest",
     [] {
       return frameOf(vulowire::FrameKind::FetchRequest,
                      port<cObjectAInput>(20417731, 1, "shelter-temp-internal"));
     }},
    {"FetchReply",
     [] {
       return frameOf(vulowire::FrameKind::FetchReply,
                      port<cObjectAInput>(20417731, 1, "shelter-temp-internal"));
     }},
    {"SetAirconOutput",
     [] {
       auto* output = port<cObjectDOutput>(20418102, 1, "aircon-1-run");
       output->setOutputState(OBJ_IO_STATE_SET);
       return frameOf(vulowire::FrameKind::SetRequest, output);
     }},
    {"SetFanOutput",
     [] {
       auto* output = port<cObjectAOutput>(20418102, 3, "fan-speed");
       output->setOutputValue(40.0f);
       return frameOf(vulowire::FrameKind::SetRequest, output);
     }},
};

void encode(benchmark::State& state, const MessageKind& kind) {
  const vulowire::Frame frame = kind.make();
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::vector<uint8_t> out;
    if (!vulowire::encodeFrame(frame, out)) {
      state.SkipWithError("the frame does not encode");
      break;
    }
    bytes = out.size();
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["frameBytes"] = static_cast<double>(bytes);
}

void decode(benchmark::State& state, const MessageKind& kind) {
  std::vector<uint8_t> encoded;
  vulowire::encodeFrame(kind.make(), encoded);
  for (auto _ : state) {
    vulowire::Frame frame;
    vulowire::DecodeResult result = vulowire::decodeFrame(encoded.data(), encoded.size(), frame);
    if (result.status != vulowire::DecodeStatus::Ok) {
      state.SkipWithError("the frame does not decode");
      break;
    }
    benchmark::DoNotOptimize(frame.objects.data());
  }
  state.counters["frameBytes"] = static_cast<double>(encoded.size());
}

}  // namespace

BenchmarkList registerCodecBenchmarks() {
  BenchmarkList list;
  for (const MessageKind& kind : kKinds) {
    list.push_back(
        benchmark::RegisterBenchmark((std::string("Encode/") + kind.name).c_str(), encode, kind));
    list.push_back(
        benchmark::RegisterBenchmark((std::string("Decode/") + kind.name).c_str(), decode, kind));
  }
  return list;
}
