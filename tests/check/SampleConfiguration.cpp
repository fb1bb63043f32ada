#include "SampleConfiguration.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <utility>

namespace {}  // namespace

SampleConfiguration::SampleConfiguration()
    : properties(readWholeFile(FRIGEL_SOURCE_DIR "/etc/frigel.conf")),
      settings(readWholeFile(FRIGEL_SOURCE_DIR "/etc/frigel/frigelconfig.xml")),
      constants(readWholeFile(FRIGEL_SOURCE_DIR "/etc/frigel/frigelConstants.xml")) {
  mPaths = {mDir.path() + "/frigel.conf", mDir.path() + "/frigel/frigelconfig.xml",
            mDir.path() + "/frigel/frigelConstants.xml"};
  // The metrics file in a folder that exists on every machine the tests run.
  setProperty("MetricsTextfile", mDir.path() + "/frigel.prom");
}

void SampleConfiguration::replace(std::string& text, const std::string& from,
                                  const std::string& to) {
  const std::size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << "not in the file: " << from;
  ASSERT_EQ(text.find(from, at + 1), std::string::npos) << "more than once: " << from;
  text.replace(at, from.size(), to);
}

namespace {

void setElement(std::string& text, const std::string& name, const std::string& value) {
  const std::string open = "<" + name + ">";
  const std::string close = "</" + name + ">";
  const std::size_t begin = text.find(open);
  ASSERT_NE(begin, std::string::npos) << name;
  const std::size_t end = text.find(close, begin);
  ASSERT_NE(end, std::string::npos) << name;
  text.replace(begin + open.size(), end - begin - open.size(), value);
}

}  // namespace

void SampleConfiguration::setConstant(const std::string& name, const std::string& value) {
  setElement(constants, name, value);
}

void SampleConfiguration::setSetting(const std::string& name, const std::string& value) {
  setElement(settings, name, value);
}

void SampleConfiguration::removeLine(std::string& text, const std::string& name) {
  const std::size_t at = text.find("<" + name + ">");
  ASSERT_NE(at, std::string::npos) << name;
  const std::size_t begin = text.rfind('\n', at) + 1;
  const std::size_t end = text.find('\n', at);
  text.erase(begin, end - begin + 1);
}

namespace {

// Where the line of the properties key `key` starts in `text` and its length
// with its line feed; npos when no line sets it.
std::pair<std::size_t, std::size_t> propertyLine(const std::string& text, const std::string& key) {
  const std::string entry = key + "=";
  for (std::size_t begin = 0; begin < text.size();) {
    const std::size_t lineFeed = text.find('\n', begin);
    const std::size_t end = lineFeed == std::string::npos ? text.size() : lineFeed + 1;
    if (text.compare(begin, entry.size(), entry) == 0) {
      return {begin, end - begin};
    }
    begin = end;
  }
  return {std::string::npos, 0};
}

}  // namespace

void SampleConfiguration::setProperty(const std::string& key, const std::string& value) {
  const auto [begin, length] = propertyLine(properties, key);
  const std::string line = key + "=" + value + "\n";
  if (begin == std::string::npos) {
    properties += line;
  } else {
    properties.replace(begin, length, line);
  }
}

void SampleConfiguration::removeProperty(const std::string& key) {
  const auto [begin, length] = propertyLine(properties, key);
  ASSERT_NE(begin, std::string::npos) << key;
  properties.erase(begin, length);
}

long SampleConfiguration::lineOf(const std::string& text, const std::string& needle) {
  const std::size_t at = text.find(needle);
  if (at == std::string::npos) {
    ADD_FAILURE() << "not in the file: " << needle;
    return -1;
  }
  long line = 1;
  for (std::size_t i = 0; i < at; ++i) {
    line += text[i] == '\n' ? 1 : 0;
  }
  return line;
}

CheckResult SampleConfiguration::check(PortDirectory* directory) {
  mDir.write("frigel.conf", properties);
  mDir.write("frigel/frigelconfig.xml", settings);
  mDir.write("frigel/frigelConstants.xml", constants);
  return checkConfiguration(mPaths, directory, directory ? "127.0.0.1:1" : "");
}

std::string describeFindings(const CheckResult& result) {
  std::string text;
  for (const Finding& finding : reportOrder(result.findings.all(), result.fileOrder)) {
    text += "  " + formatFinding(finding) + "\n";
  }
  return text.empty() ? "  (none)\n" : text;
}

void expectFindings(const CheckResult& result, const std::vector<Expected>& expected) {
  const std::vector<Finding> found = reportOrder(result.findings.all(), result.fileOrder);
  bool same = found.size() == expected.size();
  for (std::size_t i = 0; same && i < found.size(); ++i) {
    same = found[i].file == expected[i].file && found[i].line == expected[i].line &&
           found[i].message.find(expected[i].text) != std::string::npos;
  }
  if (!same) {
    std::string wanted;
    for (const Expected& e : expected) {
      wanted += "  " + e.file + ":" + std::to_string(e.line) + ": ..." + e.text + "...\n";
    }
    ADD_FAILURE() << "expected:\n" << wanted << "found:\n" << describeFindings(result);
  }
}
