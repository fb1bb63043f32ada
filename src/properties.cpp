#include "properties.h"

#include <climits>
#include <cstdlib>
#include <fstream>
#include <iostream>

namespace {

// Splits one line: text after a "#" is a comment, and the text before the
// first "=" is the key. Neither side is trimmed.
void parseLine(PropertiesLine& line) {
  if (line.text.size() > kMaxPropertiesLineLength) {
    line.kind = PropertiesLine::TooLong;
    return;
  }
  std::string fullLine = line.text.substr(0, line.text.find('\0'));
  std::size_t hash = fullLine.find('#');
  if (hash == 0) {
    line.kind = PropertiesLine::Comment;
    return;
  }
  std::string command = (hash == std::string::npos) ? fullLine : fullLine.substr(0, hash);
  std::size_t equals = command.find('=');
  if (equals == std::string::npos) {
    line.kind = PropertiesLine::NoEntry;
    return;
  }
  line.kind = PropertiesLine::Entry;
  line.key = command.substr(0, equals);
  line.value = command.substr(equals + 1);
}

}  // namespace

void forEachPropertiesLine(std::istream& in,
                           const std::function<void(const PropertiesLine&)>& visit) {
  PropertiesLine line;
  while (std::getline(in, line.text)) {
    ++line.number;
    line.key.clear();
    line.value.clear();
    parseLine(line);
    visit(line);
  }
}

bool cProperties::load(const char* file_name) {
  std::ifstream ins(file_name);
  if (!ins) {
    std::cout << "Failed to load input file " << file_name << std::endl;
    return false;
  }
  mPropsMap.clear();
  // An over-long line is skipped alone; the lines after it are read.
  forEachPropertiesLine(ins, [this](const PropertiesLine& line) {
    if (line.kind == PropertiesLine::Entry) {
      mPropsMap.emplace(line.key, line.value);  // the first occurrence of a key wins
    }
  });
  return true;
}

const char* cProperties::getString(const char* key, const char* defval) {
  auto found = mPropsMap.find(key);
  return found == mPropsMap.end() ? defval : found->second.c_str();
}

int cProperties::getInt(const char* key, int defval) {
  auto found = mPropsMap.find(key);
  if (found == mPropsMap.end()) {
    return defval;
  }
  // strtol saturates at the range of long; bring that to the range of int,
  // so a 64-bit build reads the same value as the 32-bit target.
  long value = std::strtol(found->second.c_str(), nullptr, 10);
  if (value > INT_MAX) {
    return INT_MAX;
  }
  if (value < INT_MIN) {
    return INT_MIN;
  }
  return static_cast<int>(value);
}
