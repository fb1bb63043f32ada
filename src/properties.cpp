#include "properties.h"

#include <climits>
#include <cstdlib>
#include <fstream>
#include <iostream>

namespace {

// The longest line that is read; a longer one is skipped on its own.
constexpr std::size_t kMaxLineLength = 255;

// Splits one line into a key and a value: text after a "#" is a comment, a
// line without "=" holds nothing. Neither side is trimmed.
bool parseLine(const std::string& line, std::string& key, std::string& value) {
  std::string fullLine = line.substr(0, line.find('\0'));
  std::size_t hash = fullLine.find('#');
  if (hash == 0) {
    return false;
  }
  std::string command = (hash == std::string::npos) ? fullLine : fullLine.substr(0, hash);
  std::size_t equals = command.find('=');
  if (equals == std::string::npos) {
    return false;
  }
  key = command.substr(0, equals);
  value = command.substr(equals + 1);
  return true;
}

}  // namespace

bool cProperties::load(const char* file_name) {
  std::ifstream ins(file_name);
  if (!ins) {
    std::cout << "Failed to load input file " << file_name << std::endl;
    return false;
  }
  mPropsMap.clear();
  std::string line;
  while (std::getline(ins, line)) {
    // An over-long line is skipped alone; the lines after it are read.
    if (line.size() > kMaxLineLength) {
      continue;
    }
    std::string key, value;
    if (parseLine(line, key, value)) {
      mPropsMap.emplace(key, value);  // the first occurrence of a key wins
    }
  }
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
