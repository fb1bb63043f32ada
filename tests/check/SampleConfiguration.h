// The sample configuration (etc/), edited by a test and checked in a
// temporary folder through the checker's library.
#ifndef FRIGEL_TESTS_CHECK_SAMPLECONFIGURATION_H
#define FRIGEL_TESTS_CHECK_SAMPLECONFIGURATION_H

#include <string>
#include <vector>

#include "Checker.h"
#include "TempDir.h"

// One expected finding: its file, its line (0: none) and a part of its message.
struct Expected {
  std::string file;
  long line;
  std::string text;
};

class SampleConfiguration {
 public:
  SampleConfiguration();

  std::string properties;  // the three files' texts, to edit
  std::string settings;
  std::string constants;

  // Replaces the one occurrence of `from` in `text` (fails the test when
  // there is not exactly one).
  static void replace(std::string& text, const std::string& from, const std::string& to);
  // Sets the text of the constants (or settings) element `name`.
  void setConstant(const std::string& name, const std::string& value);
  void setSetting(const std::string& name, const std::string& value);
  // Removes the line holding the element `name` from `text`.
  static void removeLine(std::string& text, const std::string& name);
  // Sets the properties key `key` to `value` on its line, or on a new last
  // line when the file has none; removeProperty removes its line.
  void setProperty(const std::string& key, const std::string& value);
  void removeProperty(const std::string& key);

  // The line of `text` where `needle` first occurs (1 for the first).
  static long lineOf(const std::string& text, const std::string& needle);

  // Writes the files and checks them.
  CheckResult check(PortDirectory* directory = nullptr);

  const ConfigurationPaths& paths() const { return mPaths; }

 private:
  TempDir mDir;
  ConfigurationPaths mPaths;
};

// The findings of `result`, in report order, formatted (for failure messages).
std::string describeFindings(const CheckResult& result);

// True when `result` has exactly the findings `expected`, in report order;
// adds a failure that lists the findings otherwise.
void expectFindings(const CheckResult& result, const std::vector<Expected>& expected);

#endif
