// The daemon test site (tests/data/daemon-site.xml: probes t-int and t-ext,
// air conditioners ac-1 and ac-2, a fan labelled fan) for tests that run the
// real daemon against the real simulator: the daemon's configuration files
// for it, and the start-up of both programs.
#ifndef FRIGEL_TESTS_SITECONFIG_H
#define FRIGEL_TESTS_SITECONFIG_H

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "VulosimProcess.h"

// The site file the simulator serves and the default settings name.
extern const char* const kDaemonSiteFile;

// The daemon's files, relative to its configuration folder (FRIGEL_ETC).
extern const char* const kPropertiesFile;
extern const char* const kSettingsFile;
extern const char* const kConstantsFile;

// Properties that log everything from INFO up to standard output as
// "LEVEL category: message"; more properties may be appended.
extern const char* const kSiteLogProperties;

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

// Starts the daemon built with the tests, behind `wrapper` (e.g. valgrind
// and its options) when given, on the configuration folder `etcDir` with its
// status file in siteRunDir(etcDir), and the object server on `serverPort`.
// `extraEnv` adds to its environment.
bool startSiteDaemon(ChildProcess& daemon, const std::string& etcDir, int serverPort,
                     const std::vector<std::string>& wrapper = {},
                     const std::map<std::string, std::string>& extraEnv = {});

// Replaces `server` by a new simulator of `siteFile` on `port` (with the
// site's initial values), retrying a while when the port is still held by
// the one before. False when it did not come up.
bool restartSiteServer(std::unique_ptr<VulosimProcess>& server, const std::string& siteFile,
                       int port);

#endif
