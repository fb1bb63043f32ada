// Fuzzes the properties reader with the input as the whole file, against a
// small reference reading of the same rules: lines split at line feeds, a
// line of more than 255 characters skipped alone, text cut at a NUL, "#"
// starting a comment (a line starting with it holds nothing), the first
// "=" splitting key and value, and the first occurrence of a key winning.
#include <climits>
#include <cstring>
#include <map>
#include <string>

#include "FuzzSupport.h"
#include "properties.h"

namespace {

constexpr std::size_t kLongestLine = 255;

std::map<std::string, std::string> referenceEntries(const std::string& file) {
  std::map<std::string, std::string> entries;
  std::size_t start = 0;
  while (start < file.size()) {
    std::size_t end = file.find('\n', start);
    if (end == std::string::npos) {
      end = file.size();
    }
    std::string line = file.substr(start, end - start);
    start = end + 1;
    if (line.size() > kLongestLine) {
      continue;
    }
    line = line.substr(0, line.find('\0'));
    std::size_t hash = line.find('#');
    if (hash == 0) {
      continue;
    }
    std::string command = line.substr(0, hash);
    std::size_t equals = command.find('=');
    if (equals != std::string::npos) {
      entries.emplace(command.substr(0, equals), command.substr(equals + 1));
    }
  }
  return entries;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string path = writeScratchFile("frigel.conf", data, size);
  cProperties props;
  FUZZ_CHECK(props.load(path.c_str()));
  std::map<std::string, std::string> expected =
      referenceEntries(std::string(reinterpret_cast<const char*>(data), size));
  for (const auto& [key, value] : expected) {
    if (key.find('\0') != std::string::npos) {
      continue;  // a C-string look-up cannot name it
    }
    const char* got = props.getString(key.c_str(), nullptr);
    FUZZ_CHECK(got != nullptr);
    FUZZ_CHECK(value == got);
    long parsed = std::strtol(value.c_str(), nullptr, 10);
    int clamped = parsed > INT_MAX   ? INT_MAX
                  : parsed < INT_MIN ? INT_MIN
                                     : static_cast<int>(parsed);
    FUZZ_CHECK(props.getInt(key.c_str(), -7) == clamped);
  }
  if (expected.find("SyncTime") == expected.end()) {
    FUZZ_CHECK(props.getInt("SyncTime", 300) == 300);
  }
  return 0;
}
