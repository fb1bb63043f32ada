#include "metricsText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "Globals.h"
#include "coolingModes.h"
#include "monotonicClock.h"

namespace {

// Significant digits of a value measured in single precision.
constexpr int kFloatDigits = 7;

double seconds(int64_t nanoseconds) {
  return static_cast<double>(nanoseconds) / static_cast<double>(kNanosecondsPerSecond);
}

class MetricsWriter {
 public:
  // The HELP and TYPE lines of a metric family.
  void family(const char* name, const char* type, const char* help) {
    mText += std::string("# HELP ") + name + " " + help + "\n";
    mText += std::string("# TYPE ") + name + " " + type + "\n";
  }
  // One sample; `labels` is "" or `key="value"` pairs already escaped.
  // `digits`: significant digits; a single-precision value needs 7.
  void sample(const char* name, const std::string& labels, double value, int digits = 17) {
    if (std::isnan(value)) {
      return;
    }
    char number[40];
    std::snprintf(number, sizeof number, "%.*g", digits, value);
    mText += name;
    if (!labels.empty()) {
      mText += "{" + labels + "}";
    }
    mText += std::string(" ") + number + "\n";
  }
  std::string take() { return std::move(mText); }

 private:
  std::string mText;
};

std::string label(const char* key, const std::string& value) {
  return std::string(key) + "=\"" + escapeLabelValue(value) + "\"";
}

}  // namespace

std::string escapeLabelValue(const std::string& value) {
  std::string out;
  for (char c : value) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '"') {
      out += "\\\"";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

std::string renderMetrics(const StatusSnapshot& s, const MetricsContext& c) {
  MetricsWriter w;
  const char* const probes[2] = {"internal", "external"};
  const float temperatures[2] = {s.internalTemperature, s.externalTemperature};
  const double ages[2] = {c.internalAgeSeconds, c.externalAgeSeconds};

  w.family("frigel_temperature_celsius", "gauge",
           "Temperature of each probe as the controller last took it.");
  for (int p = 0; p < 2; ++p) {
    w.sample("frigel_temperature_celsius", label("probe", probes[p]), temperatures[p],
             kFloatDigits);
  }
  w.family("frigel_probe_age_seconds", "gauge",
           "Seconds since the object server last sent a new value of the probe (since the "
           "daemon's start while none came).");
  for (int p = 0; p < 2; ++p) {
    w.sample("frigel_probe_age_seconds", label("probe", probes[p]), ages[p]);
  }
  w.family("frigel_probe_lost", "gauge",
           "1 while the probe is lost: no new plausible value for ProbeStaleSeconds.");
  for (int p = 0; p < 2; ++p) {
    w.sample("frigel_probe_lost", label("probe", probes[p]), s.probeLost[p]);
  }
  w.family("frigel_probe_implausible", "gauge",
           "1 while the probe's value is outside its plausible range or not a number.");
  for (int p = 0; p < 2; ++p) {
    w.sample("frigel_probe_implausible", label("probe", probes[p]), s.probeImplausible[p]);
  }

  w.family("frigel_mode", "gauge",
           "1 for the cooling mode the controller is in, 0 for the others.");
  for (unsigned mode = noCoolingModeState; mode <= emergencyCoolingModeState; ++mode) {
    // The mode's own name, as a label value: "single aircon" -> single_aircon.
    std::string name = coolingModeName(static_cast<eCoolingModeState>(mode));
    std::replace(name.begin(), name.end(), ' ', '_');
    w.sample("frigel_mode", label("mode", name), s.controlling && s.mode == mode ? 1 : 0);
  }
  w.family("frigel_mode_changes_total", "counter", "Changes of the cooling mode.");
  w.sample("frigel_mode_changes_total", "", static_cast<double>(s.modeChanges));

  // Each family of the air conditioners, with its value for unit u (0 or 1).
  struct UnitFamily {
    const char* name;
    const char* type;
    const char* help;
    double (*value)(const StatusSnapshot& s, int u);
  };
  const UnitFamily units[] = {
      {"frigel_aircon_on", "gauge",
       "1 while the air conditioner's output is on, as the object server confirmed it.",
       [](const StatusSnapshot& s, int u) { return static_cast<double>(s.airconOn[u]); }},
      {"frigel_aircon_decided_on", "gauge", "1 while the controller wants the air conditioner on.",
       [](const StatusSnapshot& s, int u) { return static_cast<double>(s.airconDecidedOn[u]); }},
      {"frigel_aircon_starts_total", "counter", "Times the air conditioner's output went on.",
       [](const StatusSnapshot& s, int u) { return static_cast<double>(s.starts[u]); }},
      {"frigel_aircon_run_seconds_total", "counter", "Seconds the air conditioner's output was on.",
       [](const StatusSnapshot& s, int u) { return seconds(s.runNanoseconds[u]); }},
      {"frigel_aircon_start_held", "gauge",
       "1 while a start of the air conditioner waits for its minimum off time or the start "
       "stagger.",
       [](const StatusSnapshot& s, int u) { return static_cast<double>(s.startHeld[u]); }},
      {"frigel_aircon_rest_left_seconds", "gauge",
       "Seconds left of the air conditioner's minimum off time.",
       [](const StatusSnapshot& s, int u) { return s.restLeftSeconds[u]; }},
      {"frigel_aircon_no_cooling", "gauge",
       "1 while the air conditioner runs alone without the room cooling (an alarm).",
       [](const StatusSnapshot& s, int u) { return static_cast<double>(s.noCooling[u]); }}};
  for (const UnitFamily& family : units) {
    w.family(family.name, family.type, family.help);
    for (int u = 0; u < 2; ++u) {
      w.sample(family.name, label("unit", std::to_string(u + 1)), family.value(s, u));
    }
  }
  w.family("frigel_output_send_failures_total", "counter",
           "Sends to the output that the object-server client refused (each is tried again).");
  const char* const outputs[3] = {"aircon1", "aircon2", "fan"};
  for (int o = 0; o < 3; ++o) {
    w.sample("frigel_output_send_failures_total", label("output", outputs[o]),
             static_cast<double>(s.sendFailures[o]));
  }

  w.family("frigel_fan_speed_ratio", "gauge", "The fan's speed as sent, 0 to 1.");
  w.sample("frigel_fan_speed_ratio", "", s.fanPercentSent / 100.0, kFloatDigits);
  w.family("frigel_fan_run_seconds_total", "counter", "Seconds the fan ran.");
  w.sample("frigel_fan_run_seconds_total", "", seconds(s.fanRunNanoseconds));

  w.family("frigel_passes_total", "counter", "Control passes run.");
  w.sample("frigel_passes_total", "", static_cast<double>(s.passes));
  w.family("frigel_last_pass_timestamp_seconds", "gauge",
           "Unix time of the last control pass: it stops moving when the loop stalls.");
  w.sample("frigel_last_pass_timestamp_seconds", "", c.lastPassUnixSeconds);
  w.family("frigel_pass_overrun_total", "counter",
           "Passes that ended later than one period after their deadline (exact pacing).");
  w.sample("frigel_pass_overrun_total", "", static_cast<double>(s.passOverruns));

  w.family("frigel_server_connected", "gauge", "1 while the object server is connected.");
  w.sample("frigel_server_connected", "", s.serverConnected ? 1 : 0);
  w.family("frigel_server_reconnects_total", "counter",
           "Connections to the object server made again after one was lost.");
  w.sample("frigel_server_reconnects_total", "", static_cast<double>(s.serverReconnects));

  w.family("frigel_start_time_seconds", "gauge", "Unix time the daemon started.");
  w.sample("frigel_start_time_seconds", "", c.startUnixSeconds);
  w.family("frigel_build_info", "gauge", "The daemon's version; always 1.");
  w.sample("frigel_build_info", label("version", c.version), 1);

  const char* const state = s.stopped        ? "stopped"
                            : !s.controlling ? "idle"
                            : s.stalled      ? "stalled"
                                             : "controlling";
  w.family("frigel_state", "gauge",
           "1 for the daemon's state: controlling, stalled (no pass for too long), idle "
           "(set-up incomplete) or stopped.");
  for (const char* name : {"controlling", "stalled", "idle", "stopped"}) {
    w.sample("frigel_state", label("state", name), std::string(state) == name ? 1 : 0);
  }
  return w.take();
}
