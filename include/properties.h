// key=value properties file, read once at start.
#ifndef FRIGEL_PROPERTIES_H
#define FRIGEL_PROPERTIES_H

#include <map>
#include <string>

class cProperties {
 public:
  // Replaces the content with the file's entries; false (content kept) when
  // the file cannot be opened.
  bool load(const char* file_name);
  // The stored value, or defval when the key is absent.
  const char* getString(const char* key, const char* defval);
  // strtol of the stored value (0 when it holds no digits), or defval.
  int getInt(const char* key, int defval);

 private:
  std::map<std::string, std::string> mPropsMap;
};

#endif
