// The one clock for measuring elapsed time: CLOCK_MONOTONIC, which never
// jumps with the wall clock. Elapsed time is always `now - start` compared
// with a period; timespec helpers serve the calls that wait on it.
#ifndef FRIGEL_MONOTONICCLOCK_H
#define FRIGEL_MONOTONICCLOCK_H

#include <time.h>

#include <cstdint>

constexpr int64_t kNanosecondsPerSecond = 1000000000;

inline int64_t nanosecondsOf(const timespec& time) {
  return static_cast<int64_t>(time.tv_sec) * kNanosecondsPerSecond + time.tv_nsec;
}

inline timespec timespecOf(int64_t nanoseconds) {
  return timespec{static_cast<time_t>(nanoseconds / kNanosecondsPerSecond),
                  static_cast<long>(nanoseconds % kNanosecondsPerSecond)};
}

// CLOCK_MONOTONIC in nanoseconds.
inline int64_t monotonicNanoseconds() {
  timespec now = {};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return nanosecondsOf(now);
}

#endif
