// The one clock of the benchmark: CLOCK_MONOTONIC in nanoseconds, the clock
// the daemon's exact pacing keeps its deadlines on.
#ifndef FRIGEL_BENCH_CLOCK_H
#define FRIGEL_BENCH_CLOCK_H

#include <time.h>

#include <cstdint>

constexpr int64_t kNanosecondsPerSecond = 1000000000;
constexpr int64_t kNanosecondsPerMicrosecond = 1000;
constexpr int64_t kNanosecondsPerMillisecond = 1000000;

inline int64_t toNs(const timespec& t) {
  return static_cast<int64_t>(t.tv_sec) * kNanosecondsPerSecond + t.tv_nsec;
}

inline timespec fromNs(int64_t ns) {
  return timespec{static_cast<time_t>(ns / kNanosecondsPerSecond),
                  static_cast<long>(ns % kNanosecondsPerSecond)};
}

inline int64_t clockNs(clockid_t clock) {
  timespec now = {};
  clock_gettime(clock, &now);
  return toNs(now);
}

inline int64_t monotonicNs() {
  return clockNs(CLOCK_MONOTONIC);
}

#endif
