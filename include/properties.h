// key=value properties file, read once at start.
#ifndef FRIGEL_PROPERTIES_H
#define FRIGEL_PROPERTIES_H

#include <cstdint>
#include <functional>
#include <istream>
#include <map>
#include <string>

class cProperties {
 public:
  // Replaces the content with the file's entries; false (content kept) when
  // the file cannot be opened, after "Failed to load input file " and the
  // path on standard output.
  bool load(const char* file_name);
  // The stored value, or defval when the key is absent.
  const char* getString(const char* key, const char* defval);
  // strtol of the stored value (0 when it holds no digits), or defval.
  int getInt(const char* key, int defval);

 private:
  std::map<std::string, std::string> mPropsMap;
};

// A whole number as the daemon reads it everywhere (getInt, the parameter
// files): strtol in base 10 (leading blanks and a sign taken, stopping at
// the first other character), brought to the range of a 32-bit int, so a
// 64-bit build reads exactly what the 32-bit target reads.
struct IntegerReading {
  int32_t value = 0;          // 0 when there are no digits
  bool hasDigits = false;     // strtol found a number at all
  bool outOfRange = false;    // beyond the 32-bit range: saturated
  const char* end = nullptr;  // where strtol stopped
};
IntegerReading readInteger(const char* text);
inline int32_t parseInteger(const char* text) {
  return readInteger(text).value;
}

// The longest properties line that is read; a longer one is skipped alone.
constexpr std::size_t kMaxPropertiesLineLength = 255;

// How one line of a properties file is read.
struct PropertiesLine {
  enum Kind {
    Entry,    // key and value hold the entry (neither is trimmed)
    Comment,  // starts with "#"
    NoEntry,  // no "=" before any comment: blank lines and stray text
    TooLong,  // over kMaxPropertiesLineLength characters: skipped
  };
  int number = 0;  // 1 for the first line
  Kind kind = NoEntry;
  std::string text;  // the line as read, without its line feed
  std::string key;
  std::string value;
};

// Reads `in` line by line exactly as cProperties::load does, and hands
// every line to `visit`. Checking tools use it to see what the daemon sees.
void forEachPropertiesLine(std::istream& in,
                           const std::function<void(const PropertiesLine&)>& visit);

#endif
