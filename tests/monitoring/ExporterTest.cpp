// The metrics end to end: the real daemon writes its metrics file, the real
// node_exporter (its textfile collector alone) serves it, and scrapes over
// HTTP show what the scenario drove. The exporter must be installed
// (scripts/setup installs it): without it the test fails and says so.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <cstdlib>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "DaemonSite.h"
#include "TempDir.h"
#include "Loopback.h"

namespace {

// The exporter on the PATH, or where Debian's package puts it.
std::string exporterProgram() {
  const char* path = std::getenv("PATH");
  std::stringstream folders(path != nullptr ? path : "");
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    for (const char* name : {"prometheus-node-exporter", "node_exporter"}) {
      const std::string candidate = folder + "/" + name;
      if (!folder.empty() && ::access(candidate.c_str(), X_OK) == 0) {
        return candidate;
      }
    }
  }
  const char* debian = "/usr/bin/prometheus-node-exporter";
  return ::access(debian, X_OK) == 0 ? debian : "";
}

// The body of GET /metrics, or nothing when the exporter does not answer.
std::optional<std::string> scrape(int port) {
  const int fd = connectLoopback(port);
  if (fd < 0) {
    return std::nullopt;
  }
  const std::string request = "GET /metrics HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
  std::string response;
  if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
      static_cast<ssize_t>(request.size())) {
    char buffer[8192];
    for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) {
      response.append(buffer, static_cast<std::size_t>(n));
    }
  }
  ::close(fd);
  const std::size_t body = response.find("\r\n\r\n");
  if (response.rfind("HTTP/1.", 0) != 0 || body == std::string::npos) {
    return std::nullopt;
  }
  return response.substr(body + 4);
}

// Every sample of the scrape, by its name and labels as written.
std::map<std::string, double> samples(const std::string& scraped) {
  std::map<std::string, double> out;
  std::istringstream lines(scraped);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t space = line.rfind(' ');
    if (line.empty() || line[0] == '#' || space == std::string::npos) {
      continue;
    }
    out[line.substr(0, space)] = std::strtod(line.c_str() + space + 1, nullptr);
  }
  return out;
}

class MetricsExporter : public ::testing::Test {
 protected:
  // Scrapes until `ready` holds of the samples, for up to `timeoutMs`.
  template <typename Ready>
  std::map<std::string, double> scrapeUntil(Ready ready, int timeoutMs = DaemonSite::kWaitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::map<std::string, double> last;
    while (std::chrono::steady_clock::now() < deadline) {
      if (auto text = scrape(mPort)) {
        last = samples(*text);
        if (ready(last)) {
          break;
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return last;
  }

  // Starts the exporter with its textfile collector alone on `folder`.
  bool startExporter(const std::string& folder) {
    const std::string program = exporterProgram();
    if (program.empty()) {
      ADD_FAILURE() << "prometheus-node-exporter is not installed: scripts/setup installs it "
                       "(Debian package prometheus-node-exporter)";
      return false;
    }
    for (int attempt = 0; attempt < 5; ++attempt) {
      mPort = unusedLoopbackPort();
      mExporter = std::make_unique<ChildProcess>();
      mExporter->runOnHost();
      if (mExporter->start({program, "--collector.disable-defaults", "--collector.textfile",
                            "--collector.textfile.directory=" + folder,
                            "--web.listen-address=127.0.0.1:" + std::to_string(mPort)}) &&
          !scrapeUntil([](const auto&) { return true; }, 5000).empty()) {
        return true;
      }
      mExporter->stop();  // the port was taken meanwhile: another one
    }
    ADD_FAILURE() << "prometheus-node-exporter did not come up";
    return false;
  }

  void TearDown() override {
    if (mExporter) {
      mExporter->stop();
    }
  }

  int mPort = 0;
  std::unique_ptr<ChildProcess> mExporter;
};

// The documented layout: the daemon writes its metrics into its runtime
// directory, which a link in the collector's folder points at; the
// directory outlives a stop, so the scrape shows the stop, then the
// restarted daemon.
TEST_F(MetricsExporter, TheCollectorServesWhatTheDaemonDidThroughAStopAndARestart) {
  TempDir textfiles;
  DaemonSite site("PassPeriodMicroseconds=10000\n");
  const std::string metricsFile = site.runDir() + "/frigel.prom";
  site.writeProperties(std::string(kSiteLogProperties) +
                       "PassPeriodMicroseconds=10000\nMetricsTextfile=" + metricsFile + "\n");
  std::filesystem::create_directories(site.runDir());
  std::filesystem::create_symlink(metricsFile, textfiles.path() + "/frigel.prom");
  ASSERT_TRUE(site.startServer());
  ASSERT_TRUE(site.startDaemon());
  ASSERT_TRUE(startExporter(textfiles.path()));

  // Controlling, no cooling at 20 degrees.
  auto before = scrapeUntil([](const auto& s) { return s.count("frigel_passes_total") != 0; });
  EXPECT_EQ(before["node_textfile_scrape_error"], 0);
  EXPECT_EQ(before["frigel_state{state=\"controlling\"}"], 1);
  EXPECT_EQ(before["frigel_mode{mode=\"no_cooling\"}"], 1);
  EXPECT_EQ(before["frigel_temperature_celsius{probe=\"internal\"}"], 20);
  EXPECT_EQ(before["frigel_aircon_on{unit=\"1\"}"], 0);
  EXPECT_EQ(before["frigel_server_connected"], 1);
  EXPECT_EQ(before.count("frigel_build_info{version=\"" FRIGEL_VERSION "\"}"), 1u);

  // The room warms: one unit starts. The file is rewritten about every 10 s.
  ASSERT_TRUE(site.setInternalTemperature(31));
  auto after = scrapeUntil([](const auto& s) {
    return s.count("frigel_aircon_on{unit=\"1\"}") && s.at("frigel_aircon_on{unit=\"1\"}") == 1;
  });
  EXPECT_EQ(after["node_textfile_scrape_error"], 0);
  EXPECT_EQ(after["frigel_mode{mode=\"single_aircon\"}"], 1);
  EXPECT_EQ(after["frigel_temperature_celsius{probe=\"internal\"}"], 31);
  EXPECT_EQ(after["frigel_aircon_starts_total{unit=\"1\"}"], 1);
  EXPECT_GE(after["frigel_mode_changes_total"], 1);
  EXPECT_GT(after["frigel_passes_total"], before["frigel_passes_total"]);
  EXPECT_GE(after["frigel_fan_run_seconds_total"], before["frigel_fan_run_seconds_total"]);

  // A clean stop leaves a last file that says so, and it stays readable.
  EXPECT_EQ(site.stopDaemon(), 0);
  auto stopped = scrapeUntil([](const auto& s) {
    return s.count("frigel_state{state=\"stopped\"}") &&
           s.at("frigel_state{state=\"stopped\"}") == 1;
  });
  EXPECT_EQ(stopped["frigel_state{state=\"stopped\"}"], 1);
  EXPECT_EQ(stopped["node_textfile_scrape_error"], 0);
  EXPECT_GE(stopped["frigel_passes_total"], after["frigel_passes_total"]);

  // The restarted daemon is seen controlling again through the same link.
  ASSERT_TRUE(site.startDaemon());
  auto restarted = scrapeUntil([](const auto& s) {
    return s.count("frigel_state{state=\"controlling\"}") &&
           s.at("frigel_state{state=\"controlling\"}") == 1;
  });
  EXPECT_EQ(restarted["frigel_state{state=\"controlling\"}"], 1);
  EXPECT_EQ(restarted["node_textfile_scrape_error"], 0);
  EXPECT_EQ(site.stopDaemon(), 0);
}

}  // namespace
