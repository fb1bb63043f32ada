#include "Checker.h"

#include "ElementChecks.h"
#include "Listing.h"
#include "ParameterReading.h"
#include "PropertiesReview.h"
#include "ValueChecks.h"

namespace {

void reportUnreadFile(const SeenFile& file, Findings& findings) {
  if (file.state == SeenFile::NotParsed) {
    findings.error(file.path, file.problemLine, file.problem);
  } else if (file.state == SeenFile::OtherDocumentElement) {
    findings.error(file.path, file.problemLine,
                   "the document element is <" + file.problem +
                       ">, not <config>: the daemon reads nothing from this file");
  }
}

void addSection(std::vector<std::string>& listing, const std::vector<std::string>& section) {
  if (!listing.empty()) {
    listing.push_back("");
  }
  listing.insert(listing.end(), section.begin(), section.end());
}

std::string serverNameFor(int port) {
  return "127.0.0.1:" + std::to_string(port);
}

}  // namespace

CheckResult checkConfiguration(const ConfigurationPaths& paths, PortDirectory* directory,
                               const std::string& serverName) {
  CheckResult result;
  result.fileOrder = {paths.properties, paths.settings, paths.constants, serverName};

  const PropertiesReview properties = reviewPropertiesFile(paths.properties, result.findings);
  const SeenConfiguration seen = readConfiguration(paths.settings, paths.constants);
  reportUnreadFile(seen.settings, result.findings);
  reportUnreadFile(seen.constants, result.findings);
  checkElements(seen, result.findings);
  checkValues(seen, properties, result.findings);

  const int period = properties.passPeriodMicroseconds();
  addSection(result.listing, propertiesListing(properties));
  addSection(result.listing, parameterListing(seen, ParameterFile::Settings, period));
  addSection(result.listing, parameterListing(seen, ParameterFile::Constants, period));

  if (directory != nullptr) {
    std::vector<std::string> section = {"object server " + serverName};
    reviewLabels(labelLookups(seen), *directory, paths.settings, serverName, result.findings,
                 section);
    addSection(result.listing, section);
  }
  return result;
}

std::string formatReport(const CheckResult& result) {
  std::string report;
  for (const std::string& line : result.listing) {
    report += line + "\n";
  }
  report += "\n";
  for (const Finding& finding : reportOrder(result.findings.all(), result.fileOrder)) {
    report += formatFinding(finding) + "\n";
  }
  return report + summaryLine(result.findings) + "\n";
}

int runCheck(const ConfigurationPaths& paths, std::optional<int> serverPort, std::ostream& out) {
  CheckResult result;
  if (serverPort) {
    const std::string serverName = serverNameFor(*serverPort);
    ObjectServerDirectory server;
    if (server.connect(*serverPort)) {
      result = checkConfiguration(paths, &server, serverName);
    } else {
      result = checkConfiguration(paths);
      result.fileOrder.push_back(serverName);
      result.listing.push_back("");
      result.listing.push_back("object server " + serverName);
      result.listing.push_back("  (not reached)");
      result.findings.error(serverName, 0,
                            "cannot reach the object server: no labels were looked up");
    }
  } else {
    result = checkConfiguration(paths);
  }
  out << formatReport(result) << std::flush;
  return exitStatus(result.findings);
}
