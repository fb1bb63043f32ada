#include "Findings.h"

#include <algorithm>
#include <climits>

#include "TextTools.h"

void Findings::warn(const std::string& file, long line, const std::string& message) {
  mFindings.push_back({Severity::Warning, file, line, message});
}

void Findings::error(const std::string& file, long line, const std::string& message) {
  mFindings.push_back({Severity::Error, file, line, message});
}

std::size_t Findings::count(Severity severity) const {
  return static_cast<std::size_t>(
      std::count_if(mFindings.begin(), mFindings.end(),
                    [severity](const Finding& finding) { return finding.severity == severity; }));
}

std::string formatFinding(const Finding& finding) {
  std::string text = finding.severity == Severity::Error ? "error: " : "warning: ";
  text += finding.file;
  if (finding.line > 0) {
    text += ":" + std::to_string(finding.line);
  }
  return text + ": " + finding.message;
}

std::vector<Finding> reportOrder(const std::vector<Finding>& findings,
                                 const std::vector<std::string>& fileOrder) {
  auto fileRank = [&](const Finding& finding) {
    auto found = std::find(fileOrder.begin(), fileOrder.end(), finding.file);
    return static_cast<std::size_t>(found - fileOrder.begin());
  };
  auto lineRank = [](const Finding& finding) { return finding.line > 0 ? finding.line : LONG_MAX; };
  std::vector<Finding> ordered = findings;
  std::stable_sort(ordered.begin(), ordered.end(), [&](const Finding& a, const Finding& b) {
    if (fileRank(a) != fileRank(b)) {
      return fileRank(a) < fileRank(b);
    }
    return lineRank(a) < lineRank(b);
  });
  return ordered;
}

std::string summaryLine(const Findings& findings) {
  return "summary: " + countOf(findings.count(Severity::Error), "error") + ", " +
         countOf(findings.count(Severity::Warning), "warning");
}

int exitStatus(const Findings& findings) {
  if (findings.count(Severity::Error) > 0) {
    return 2;
  }
  return findings.count(Severity::Warning) > 0 ? 1 : 0;
}
