// Summary statistics of a series of measurements.
#ifndef FRIGEL_BENCH_STATS_H
#define FRIGEL_BENCH_STATS_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "monotonicClock.h"  // kNanosecondsPerSecond

constexpr int64_t kNanosecondsPerMillisecond = 1000000;
constexpr int64_t kNanosecondsPerMicrosecond = 1000;

struct Summary {
  std::size_t count = 0;  // 0: no measurements; the other fields are 0
  double min = 0;
  double mean = 0;
  double median = 0;
  double p99 = 0;  // nearest rank: 99 % of the values are at most this
  double max = 0;
};

Summary summarize(std::vector<double> values);
// Nanosecond values summarised in `unitNs` units (1000: microseconds).
Summary summarizeNs(const std::vector<int64_t>& valuesNs, double unitNs);
// The lengths between consecutive times.
std::vector<int64_t> differences(const std::vector<int64_t>& times);
// How far each pass end (the running sum of the pass lengths) lies after
// its point on a grid of `periodNs`, the grid placed at the earliest pass
// end: 0 for that one, and a late pass end stands out whatever the passes
// around it did.
std::vector<int64_t> gridLatenessNs(const std::vector<int64_t>& passNs, int64_t periodNs);

#endif
