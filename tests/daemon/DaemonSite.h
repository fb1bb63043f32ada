// A test site: a temporary configuration folder, vulosim on a free port and
// the real frigel daemon pointed at both.
#ifndef FRIGEL_TESTS_DAEMONSITE_H
#define FRIGEL_TESTS_DAEMONSITE_H

#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "SiteConfig.h"
#include "TempDir.h"
#include "VulosimProcess.h"

class DaemonSite {
 public:
  DaemonSite();
  ~DaemonSite();

  // Writes the three configuration files ("" content: the file is absent).
  void writeProperties(const std::string& content);
  void writeSettings(const ConfigElements& settings);
  void writeSettingsText(const std::string& xml);
  void writeConstants(const ConfigElements& constants);
  void writeConstantsText(const std::string& xml);

  // Starts vulosim on the test site; `extraArgs` are added to its command
  // line (e.g. a room model).
  bool startServer(int port = 0, const std::vector<std::string>& extraArgs = {});
  bool startDaemon();

  VulosimProcess& server() { return *mServer; }
  ChildProcess& daemon() { return mDaemon; }
  // Restarts the simulator on the same port with the site's initial values.
  bool restartServer();
  // Waits for the simulator to print `line` (e.g. "dout ac-1 SET").
  bool serverSays(const std::string& line, int timeoutMs = 10000);

  const std::string& etcDir() const { return mEtc.path(); }
  // Where the daemon writes its status file.
  std::string runDir() const { return siteRunDir(mEtc.path()); }

 private:
  TempDir mEtc;
  std::unique_ptr<VulosimProcess> mServer;
  ChildProcess mDaemon;
};

#endif
