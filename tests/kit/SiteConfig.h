// The daemon test site (tests/data/daemon-site.xml: probes t-int and t-ext,
// air conditioners ac-1 and ac-2, a fan labelled fan) for the end-to-end
// tests and the benchmarks: the daemon's configuration files for it, the
// same five ports for a loopback server, and the start-up of the daemon.
#ifndef FRIGEL_TESTS_SITECONFIG_H
#define FRIGEL_TESTS_SITECONFIG_H

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "cObject.h"

class LoopbackServer;

// The site file the simulator serves.
extern const char* const kDaemonSiteFile;

// The daemon's files, relative to its configuration folder (FRIGEL_ETC).
extern const char* const kPropertiesFile;
extern const char* const kSettingsFile;
extern const char* const kConstantsFile;

// Properties that log everything from INFO up to standard output as
// "LEVEL category: message"; more properties may be appended.
extern const char* const kSiteLogProperties;

// A property line for a re-poll every second (which also re-sends every
// output's state), to append to the properties.
extern const char* const kRepollEverySecond;

// Settings or constants as element name -> text.
using ConfigElements = std::map<std::string, std::string>;

// A parameter file: `elements` inside <config>, one a line in name order,
// leaving out those whose text is ""; then `extraXml` as it is.
std::string configXml(const ConfigElements& elements, const std::string& extraXml = "");

// The settings for the site's labels (one air conditioner, no free air, no
// rotation, goal 24), with `overrides` replacing or adding elements.
ConfigElements siteSettings(const ConfigElements& overrides = {});
// Constants for one air conditioner with short durations (tens of passes),
// with `overrides` replacing or adding elements.
ConfigElements siteConstants(const ConfigElements& overrides = {});

// Where a site daemon on `etcDir` writes its status file: etcDir/run.
std::string siteRunDir(const std::string& etcDir);

// The site's five ports, with the site file's serials, ids and initial
// values; and the same added to a loopback server's table.
std::vector<std::unique_ptr<cObjectPort>> daemonSitePorts();
void addDaemonSitePorts(LoopbackServer& server);

// How a site daemon is started: the program (the daemon built with the
// tests unless given), behind `wrapper` (e.g. valgrind and its options)
// when given, with `extraEnv` added to its environment, and its output in
// `outputFile` instead of its line histories when given.
struct SiteDaemonOptions {
  std::string program = FRIGEL_BIN_DIR "/frigel";
  std::vector<std::string> wrapper;
  std::map<std::string, std::string> extraEnv;
  std::string outputFile;
};

// Starts the daemon on the configuration folder `etcDir`, with its status
// file in siteRunDir(etcDir), and the object server on `serverPort`.
bool startSiteDaemon(ChildProcess& daemon, const std::string& etcDir, int serverPort,
                     const SiteDaemonOptions& options = {});

#endif
