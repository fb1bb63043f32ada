// When each probe last received a trend event, for the operator's status.
// Written by the bridge on the client's delivery thread, read by the status
// writer: lock-free atomics of the monotonic clock in nanoseconds, 0 while
// no event has arrived.
#ifndef FRIGEL_PROBEACTIVITY_H
#define FRIGEL_PROBEACTIVITY_H

#include <atomic>
#include <cstdint>

#include "monotonicClock.h"

struct ProbeActivity {
  std::atomic<int64_t> internalTrendNanoseconds{0};
  std::atomic<int64_t> externalTrendNanoseconds{0};
};

extern ProbeActivity probeActivity;

#endif
