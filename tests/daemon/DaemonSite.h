// A test site: a temporary configuration folder, vulosim on a free port and
// the real frigel daemon pointed at both.
#ifndef FRIGEL_TESTS_DAEMONSITE_H
#define FRIGEL_TESTS_DAEMONSITE_H

#include <map>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TempDir.h"
#include "VulosimProcess.h"

// Settings and constants as element name -> text; a value of "" leaves the
// element out.
using Elements = std::map<std::string, std::string>;

// The settings for the test site's labels, with the given values replacing
// or adding to the defaults (one air conditioner, no free air).
Elements siteSettings(const Elements& overrides = {});
// Constants with short durations (tens of passes), with overrides.
Elements siteConstants(const Elements& overrides = {});

class DaemonSite {
 public:
  DaemonSite();
  ~DaemonSite();

  // Writes the three configuration files ("" content: the file is absent).
  void writeProperties(const std::string& content);
  void writeSettings(const Elements& settings);
  void writeSettingsText(const std::string& xml);
  void writeConstants(const Elements& constants);
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
  std::string runDir() const { return mEtc.path() + "/run"; }

 private:
  TempDir mEtc;
  std::unique_ptr<VulosimProcess> mServer;
  ChildProcess mDaemon;
};

#endif
