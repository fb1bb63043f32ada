// The whole check: the three files through the daemon's readers, every
// check, the optional look-up of the labels on the object server, and the
// report.
#ifndef FRIGEL_CHECK_CHECKER_H
#define FRIGEL_CHECK_CHECKER_H

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "Findings.h"
#include "ServerReview.h"

struct ConfigurationPaths {
  std::string properties;
  std::string settings;
  std::string constants;
};

struct CheckResult {
  std::vector<std::string> listing;  // sections of setting lines, blank lines between
  Findings findings;
  std::vector<std::string> fileOrder;  // for reportOrder()
};

// Checks the files; with a directory, also looks the labels up in it
// (`serverName` names it in the listing and in errors).
CheckResult checkConfiguration(const ConfigurationPaths& paths, PortDirectory* directory = nullptr,
                               const std::string& serverName = "");

// The listing, the findings in report order and the summary line.
std::string formatReport(const CheckResult& result);

// Checks, connecting to the object server on `serverPort` when given,
// writes the report to `out` and returns the exit status (0 clean, 1
// warnings, 2 errors).
int runCheck(const ConfigurationPaths& paths, std::optional<int> serverPort, std::ostream& out);

#endif
