#include "properties.h"

#include <cerrno>
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
  return parseInteger(found->second.c_str());
}

IntegerReading readInteger(const char* text) {
  IntegerReading reading;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  reading.end = end;
  reading.hasDigits = end != text;
  // strtol saturates at the range of long, which is wider on 64 bits.
  reading.outOfRange = errno == ERANGE || value > INT32_MAX || value < INT32_MIN;
  reading.value = static_cast<int32_t>(value > INT32_MAX   ? INT32_MAX
                                       : value < INT32_MIN ? INT32_MIN
                                                           : value);
  return reading;
}
