// A site for fault and load tests: a temporary configuration folder, the
// simulator on a free port (killed and restarted at will) and the real
// daemon, optionally run under a wrapper such as valgrind.
#ifndef FRIGEL_TESTS_FAULTSITE_H
#define FRIGEL_TESTS_FAULTSITE_H

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "SiteConfig.h"
#include "TempDir.h"
#include "VulosimProcess.h"

class FaultSite {
 public:
  // Upper bound for anything the daemon or the simulator is waited for. Only
  // a failing test waits that long; sanitizer and valgrind runs are slow.
  static constexpr int kWaitMs = 30000;

  // Writes the default files: logging at INFO to standard output with a
  // re-poll every second, the settings of tests/data/daemon-site.xml (one
  // air conditioner, no free air) and short durations.
  FaultSite();
  ~FaultSite();
  FaultSite(const FaultSite&) = delete;
  FaultSite& operator=(const FaultSite&) = delete;

  // Configuration files; the texts are written as they are.
  void writeProperties(const std::string& text);
  void writeSettings(const std::string& text);
  void writeConstants(const std::string& text);
  // Serves `text` as the site instead of tests/data/daemon-site.xml.
  void writeSiteFile(const std::string& text);
  // Writes a file of the configuration folder; returns its full path.
  std::string writeEtcFile(const std::string& relativePath, const std::string& content);
  const std::string& etcDir() const { return mEtc.path(); }

  // Starts the simulator on a free port. False when it did not come up.
  bool startServer();
  // SIGKILL: the server vanishes without closing anything in order.
  void killServer();
  // Starts a new simulator on the port of the last one (with the site's
  // initial values), retrying while the port is still taken.
  bool restartServer();

  // Starts frigel, behind `wrapper` (e.g. valgrind and its options) when
  // given, with `extraEnv` added to its environment.
  bool startDaemon(const std::vector<std::string>& wrapper = {},
                   const std::map<std::string, std::string>& extraEnv = {});
  // SIGTERM, then the exit status (-1 when it did not end in time).
  int stopDaemon(int timeoutMs = kWaitMs);
  // The daemon's resident memory in KiB (VmRSS), or -1.
  long daemonRssKb() const;

  VulosimProcess& server() { return *mServer; }
  ChildProcess& daemon() { return mDaemon; }
  // Waits for a simulator line that contains `text` (e.g. "dout ac-1 SET").
  bool serverSays(const std::string& text, int timeoutMs = kWaitMs);
  // Sets the internal probe and waits until the server has taken it.
  bool setInternalTemperature(double celsius);

 private:
  TempDir mEtc;
  std::string mSiteFile;
  int mPort = 0;
  std::unique_ptr<VulosimProcess> mServer;
  ChildProcess mDaemon;
};

// The default settings file (siteSettings()), with `extraElements` added
// inside `config`.
std::string defaultSettings(const std::string& extraElements = "");
// The default constants file (siteConstants()).
std::string defaultConstants();

#endif
