// The metrics file: what the formatter writes for a snapshot, and that a
// reader racing the writer always finds a whole file.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

#include "Globals.h"
#include "TempDir.h"
#include "atomicFile.h"
#include "metricsText.h"

namespace {

bool has(const std::string& text, const std::string& line) {
  return text.find("\n" + line + "\n") != std::string::npos ||
         text.compare(0, line.size() + 1, line + "\n") == 0;
}

TEST(MetricsText, NamesLabelsAndValuesFollowTheExpositionFormat) {
  StatusSnapshot s;
  s.controlling = true;
  s.mode = aircon1CoolingModeState;
  s.internalTemperature = NAN;  // a probe that is not a number is left out
  s.externalTemperature = 18.5f;
  s.airconOn[1] = 1;
  s.starts[1] = 3;
  s.runNanoseconds[1] = 90LL * 1000000000;
  s.startHeld[0] = 1;
  s.airconDecidedOn[0] = 1;
  s.restLeftSeconds[0] = 12.5;
  s.sendFailures[2] = 7;
  s.fanPercentSent = 40.0f;
  s.passes = 12345;
  MetricsContext c;
  c.internalAgeSeconds = 12.5;
  c.externalAgeSeconds = 3;
  c.startUnixSeconds = 1765000000;
  c.version = "1.2\"3";
  const std::string text = renderMetrics(s, c);

  EXPECT_EQ(text.find("frigel_temperature_celsius{probe=\"internal\"}"), std::string::npos);
  for (const char* line : {"frigel_temperature_celsius{probe=\"external\"} 18.5",
                           "frigel_probe_age_seconds{probe=\"internal\"} 12.5",
                           "frigel_mode{mode=\"single_aircon\"} 1",
                           "frigel_mode{mode=\"no_cooling\"} 0",
                           "frigel_aircon_on{unit=\"2\"} 1",
                           "frigel_aircon_starts_total{unit=\"2\"} 3",
                           "frigel_aircon_run_seconds_total{unit=\"2\"} 90",
                           "frigel_aircon_start_held{unit=\"1\"} 1",
                           "frigel_aircon_decided_on{unit=\"1\"} 1",
                           "frigel_aircon_on{unit=\"1\"} 0",
                           "frigel_aircon_rest_left_seconds{unit=\"1\"} 12.5",
                           "frigel_output_send_failures_total{output=\"fan\"} 7",
                           "frigel_fan_speed_ratio 0.4",
                           "frigel_passes_total 12345",
                           "frigel_start_time_seconds 1765000000",
                           "frigel_build_info{version=\"1.2\\\"3\"} 1",
                           "frigel_state{state=\"controlling\"} 1",
                           "frigel_state{state=\"stopped\"} 0",
                           "# TYPE frigel_aircon_starts_total counter",
                           "# TYPE frigel_mode gauge"}) {
    EXPECT_TRUE(has(text, line)) << line << "\n" << text;
  }
  // Every line is a comment or one sample: a name, labels, a number.
  const std::regex sample(R"([a-z_]+(\{[a-z]+="([^"\\]|\\.)*"\})? -?[0-9.e+]+)");
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("# HELP frigel_", 0) != 0 && line.rfind("# TYPE frigel_", 0) != 0) {
      EXPECT_TRUE(std::regex_match(line, sample)) << line;
    }
  }
  EXPECT_EQ(escapeLabelValue("a\"b\\c\nd"), "a\\\"b\\\\c\\nd");

  EXPECT_FALSE(has(text, "frigel_last_pass_timestamp_seconds nan")) << "left out before a pass";
  s.stalled = true;
  c.lastPassUnixSeconds = 1765000042;
  const std::string stalled = renderMetrics(s, c);
  EXPECT_TRUE(has(stalled, "frigel_state{state=\"stalled\"} 1"));
  EXPECT_TRUE(has(stalled, "frigel_state{state=\"controlling\"} 0"));
  EXPECT_TRUE(has(stalled, "frigel_last_pass_timestamp_seconds 1765000042"));
  s.stopped = true;
  EXPECT_TRUE(has(renderMetrics(s, c), "frigel_state{state=\"stopped\"} 1"));
  EXPECT_TRUE(has(renderMetrics(StatusSnapshot(), c), "frigel_state{state=\"idle\"} 1"));
}

// The collector may read while the daemon writes: every read finds one of
// the versions written, whole, never a mix or a part.
TEST(MetricsFile, AReaderRacingTheWriterAlwaysFindsAWholeFile) {
  TempDir dir;
  cQlog log("MetricsTest");
  AtomicFile file(log, dir.path() + "/frigel.prom", "metrics file", "every 10 s", 0644);
  const std::string versions[2] = {std::string(64 * 1024, 'a') + "\n",
                                   std::string(48 * 1024, 'b') + "\n"};
  ASSERT_TRUE(file.write(versions[0]));
  std::atomic<bool> writing{true};
  std::thread writer([&] {
    for (int i = 0; i < 300; ++i) {
      file.write(versions[i % 2]);
    }
    writing = false;
  });
  long reads = 0;
  while (writing) {
    const std::string seen = readWholeFile(file.path());
    ASSERT_TRUE(seen == versions[0] || seen == versions[1]) << seen.size() << " bytes";
    ++reads;
  }
  writer.join();
  EXPECT_GT(reads, 0);
}

}  // namespace
