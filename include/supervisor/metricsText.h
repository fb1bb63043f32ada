// The daemon's metrics in Prometheus' text exposition format, for
// node_exporter's textfile collector: one file the status writer rewrites
// whole, from the same snapshot as the status file.
#ifndef FRIGEL_METRICSTEXT_H
#define FRIGEL_METRICSTEXT_H

#include <cmath>
#include <string>

#include "operatorStatus.h"

// What the metrics add to a snapshot.
struct MetricsContext {
  // Seconds since each probe's last value from the server (since the start
  // while none came).
  double internalAgeSeconds = 0.0;
  double externalAgeSeconds = 0.0;
  double startUnixSeconds = 0.0;  // wall-clock time the daemon started
  // Wall-clock time of the last control pass; NaN before the first (left out).
  double lastPassUnixSeconds = NAN;
  std::string version;  // the daemon's version
};

// Every metric with its HELP and TYPE lines, names prefixed frigel_. A
// temperature that is not a number is left out.
std::string renderMetrics(const StatusSnapshot& snapshot, const MetricsContext& context);

// A label value as the format wants it: backslash, double quote and line
// feed escaped.
std::string escapeLabelValue(const std::string& value);

#endif
