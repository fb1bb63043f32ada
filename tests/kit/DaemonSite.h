// A site for end-to-end tests: a temporary configuration folder, the
// simulator on a free port (stopped, killed and restarted at will) and the
// real daemon pointed at both, optionally behind a wrapper such as valgrind.
#ifndef FRIGEL_TESTS_DAEMONSITE_H
#define FRIGEL_TESTS_DAEMONSITE_H

#include <signal.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ChildProcess.h"
#include "SiteConfig.h"
#include "TempDir.h"
#include "VulosimProcess.h"

class DaemonSite {
 public:
  // Upper bound for anything the daemon or the simulator is waited for. Only
  // a failing test waits that long; sanitizer and valgrind runs are slow.
  static constexpr int kWaitMs = 30000;

  // Writes the default files: logging at INFO to standard output followed
  // by `extraProperties`, the settings of tests/data/daemon-site.xml (one
  // air conditioner, no free air) and short durations.
  explicit DaemonSite(const std::string& extraProperties = "");
  ~DaemonSite();
  DaemonSite(const DaemonSite&) = delete;
  DaemonSite& operator=(const DaemonSite&) = delete;

  // Configuration files, written as they are.
  void writeProperties(const std::string& text);
  void writeSettings(const ConfigElements& settings);
  void writeSettingsText(const std::string& xml);
  void writeConstants(const ConfigElements& constants);
  void writeConstantsText(const std::string& xml);
  // Serves `text` as the site instead of tests/data/daemon-site.xml.
  void writeSiteFile(const std::string& text);
  // Writes or removes a file of the configuration folder; writing returns
  // its full path.
  std::string writeEtcFile(const std::string& relativePath, const std::string& content);
  void removeEtcFile(const std::string& relativePath);
  const std::string& etcDir() const { return mEtc.path(); }
  // Where the daemon writes its status file, and the file as JSON (null
  // while there is none or it is not JSON).
  std::string runDir() const { return siteRunDir(mEtc.path()); }
  nlohmann::json readStatus() const;
  // Reads the status file until `holds(status)`; the last one read.
  template <typename Holds>
  nlohmann::json waitForStatus(Holds holds, int timeoutMs = kWaitMs) {
    nlohmann::json status = readStatus();
    for (int waited = 0; waited < timeoutMs && !holds(status); waited += 100) {
      daemon().pump(100);
      status = readStatus();
    }
    return status;
  }

  // Starts the simulator on a free port; `extraArgs` are added to its
  // command line (e.g. a room model). False when it did not come up.
  bool startServer(const std::vector<std::string>& extraArgs = {});
  // SIGKILL: the server vanishes without closing anything in order.
  void killServer();
  // Starts a new simulator on the port of the last one (with the site's
  // initial values), stopping that one first and retrying while its port
  // is still taken.
  bool restartServer();

  // Starts frigel on the simulator's port, behind `wrapper` (e.g. valgrind
  // and its options) when given, with `extraEnv` added to its environment.
  // After a stop, a new daemon starts on the same folders (a restart); its
  // output is read from daemon() afresh.
  bool startDaemon(const std::vector<std::string>& wrapper = {},
                   const std::map<std::string, std::string>& extraEnv = {});
  // Sends `sig`, then the exit status (-1 when it did not end in time).
  int stopDaemon(int sig = SIGTERM, int timeoutMs = kWaitMs);

  VulosimProcess& server() { return *mServer; }
  ChildProcess& daemon() { return *mDaemon; }
  // Waits for a simulator line that contains `text` (e.g. "dout ac-1 SET").
  bool serverSays(const std::string& text, int timeoutMs = kWaitMs);
  // Sets the internal probe and waits until the server has taken it.
  bool setInternalTemperature(double celsius);

 private:
  TempDir mEtc;
  std::string mSiteFile;
  int mPort = 0;
  std::unique_ptr<VulosimProcess> mServer;
  std::unique_ptr<ChildProcess> mDaemon;
};

#endif
