#include "Stats.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>

namespace {

// Nearest-rank percentile of sorted values, `fraction` in (0, 1].
double percentile(const std::vector<double>& sorted, double fraction) {
  std::size_t rank =
      static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(sorted.size())));
  return sorted[std::max<std::size_t>(rank, 1) - 1];
}

}  // namespace

Summary summarize(std::vector<double> values) {
  Summary summary;
  if (values.empty()) {
    return summary;
  }
  std::sort(values.begin(), values.end());
  summary.count = values.size();
  summary.min = values.front();
  summary.mean =
      std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
  summary.median = percentile(values, 0.5);
  summary.p99 = percentile(values, 0.99);
  summary.max = values.back();
  return summary;
}

Summary summarizeNs(const std::vector<int64_t>& valuesNs, double unitNs) {
  std::vector<double> values;
  values.reserve(valuesNs.size());
  for (int64_t value : valuesNs) {
    values.push_back(static_cast<double>(value) / unitNs);
  }
  return summarize(std::move(values));
}

std::vector<int64_t> differences(const std::vector<int64_t>& times) {
  std::vector<int64_t> result;
  for (std::size_t i = 1; i < times.size(); ++i) {
    result.push_back(times[i] - times[i - 1]);
  }
  return result;
}

std::vector<int64_t> gridLatenessNs(const std::vector<int64_t>& passNs, int64_t periodNs) {
  std::vector<int64_t> offsets;
  offsets.reserve(passNs.size());
  int64_t end = 0;
  int64_t gridPoint = 0;
  for (int64_t pass : passNs) {
    end += pass;
    gridPoint += periodNs;
    offsets.push_back(end - gridPoint);
  }
  if (!offsets.empty()) {
    const int64_t earliest = *std::min_element(offsets.begin(), offsets.end());
    for (int64_t& offset : offsets) {
      offset -= earliest;
    }
  }
  return offsets;
}
