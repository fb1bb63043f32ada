// The translator's side of a probe change: handleObjectAction on a pushed
// trend event, on the delivery thread's path, and the cost of a debug line
// that the logging configuration leaves disabled (the translator has many on
// that path).
#include <cQlog.h>
#include <cObject.h>
#include <cObjectList.h>

#include "CqTranslator.h"
#include "MicroBenchmarks.h"
#include "changeSignal.h"
#include "iostub.h"

namespace {

constexpr uint32_t kProbeSerial = 1001;
constexpr uint32_t kInternalPortId = 1;
constexpr uint32_t kExternalPortId = 2;

cObjectAInput* makeProbe(uint32_t portId) {
  auto* probe = new cObjectAInput;
  probe->setDeviceSerial(kProbeSerial);
  probe->setPortId(portId);
  return probe;
}

// The probes live as long as the process, like the daemon's.
void setUpProbes() {
  if (translator.getInternalProbe() == nullptr) {
    translator.setInternalProbe(makeProbe(kInternalPortId));
    translator.setExternalProbe(makeProbe(kExternalPortId));
  }
}

enum class TrendCase {
  FlagAlreadyRaised,  // a burst: the main loop has not taken the last one yet
  FlagLowered,        // the main loop took the last one: the flag rises again
  RepeatedSequence,   // the same trend number again: dropped
  UnknownPort,        // no probe of ours
};

void handleTrend(benchmark::State& state, TrendCase trendCase) {
  setUpProbes();
  // Exact pacing opens the wake-up signal; a raised flag then also writes
  // to the eventfd.
  probeChangeSignal.open();
  cObjectTrend trend;
  trend.setDeviceSerial(kProbeSerial);
  trend.setPortId(trendCase == TrendCase::UnknownPort ? 99 : kExternalPortId);
  trend.setCalculatedValue(21.5f);
  cObjectList message;
  message.setMsgType(MSG_EVT);
  message.setEventFlag(true);
  message.add(&trend);
  translator.setSomethingChanged(true);
  uint32_t sequence = lastTrend.load() + 1;
  for (auto _ : state) {
    if (trendCase != TrendCase::RepeatedSequence) {
      if (++sequence == 0) {
        ++sequence;
      }
    }
    trend.setTrendSeqNum(sequence);
    if (trendCase == TrendCase::FlagLowered) {
      translator.setSomethingChanged(false);
    }
    translator.handleObjectAction(&message);
  }
}

void disabledDebugLine(benchmark::State& state) {
  cQlog log("BenchDisabledDebug");
  float value = 12.0f;
  for (auto _ : state) {
    log.debug("Fan set to: %f\n", static_cast<double>(value));
    benchmark::DoNotOptimize(value);
  }
}

}  // namespace

BenchmarkList registerBridgeBenchmarks() {
  return {
      benchmark::RegisterBenchmark("HandleTrendEvent/flagAlreadyRaised", handleTrend,
                                   TrendCase::FlagAlreadyRaised),
      benchmark::RegisterBenchmark("HandleTrendEvent/flagLoweredWithWakeUp", handleTrend,
                                   TrendCase::FlagLowered),
      benchmark::RegisterBenchmark("HandleTrendEvent/repeatedSequenceDropped", handleTrend,
                                   TrendCase::RepeatedSequence),
      benchmark::RegisterBenchmark("HandleTrendEvent/unknownPort", handleTrend,
                                   TrendCase::UnknownPort),
      benchmark::RegisterBenchmark("Logging/disabledDebugLine", disabledDebugLine),
  };
}
