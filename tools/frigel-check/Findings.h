// What the checker found: warnings (the daemon would run, but not as the
// installer probably meant) and errors (a file the daemon cannot use, or a
// server that cannot be asked).
#ifndef FRIGEL_CHECK_FINDINGS_H
#define FRIGEL_CHECK_FINDINGS_H

#include <cstddef>
#include <string>
#include <vector>

enum class Severity { Warning, Error };

struct Finding {
  Severity severity = Severity::Warning;
  std::string file;  // the path as the daemon opens it
  long line = 0;     // 1 for the first line; 0 when no line applies
  std::string message;
};

class Findings {
 public:
  void warn(const std::string& file, long line, const std::string& message);
  void error(const std::string& file, long line, const std::string& message);

  const std::vector<Finding>& all() const { return mFindings; }
  std::size_t count(Severity severity) const;

 private:
  std::vector<Finding> mFindings;
};

// "warning: FILE:LINE: message", or "warning: FILE: message" without a line.
std::string formatFinding(const Finding& finding);

// The findings in report order: files in `fileOrder` (others after them),
// then by line, the ones without a line last; ties keep the order found.
std::vector<Finding> reportOrder(const std::vector<Finding>& findings,
                                 const std::vector<std::string>& fileOrder);

// "summary: 0 errors, 2 warnings".
std::string summaryLine(const Findings& findings);

// 2 with any error, 1 with warnings only, 0 when clean.
int exitStatus(const Findings& findings);

#endif
