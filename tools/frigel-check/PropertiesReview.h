// The properties file as the daemon reads it: its own keys with their
// effective values, and the lines it would skip or misread.
#ifndef FRIGEL_CHECK_PROPERTIESREVIEW_H
#define FRIGEL_CHECK_PROPERTIESREVIEW_H

#include <string>
#include <vector>

#include "Findings.h"
#include "daemonKeys.h"
#include "properties.h"

struct DaemonKeyValue {
  DaemonKey key;
  double value = 0;         // what the daemon's reading gives (getInt's int exactly)
  long line = 0;            // the line that sets it (the first one); 0 when absent
  std::string text;         // the value as the daemon gets it; empty when absent
  bool notANumber = false;  // Decimal, HoldSeconds: present but not a number
                            // (Choice: not one of the words), so read as the default
};

struct PropertiesReview {
  std::string path;
  bool readable = false;
  std::vector<DaemonKeyValue> values;  // one per daemon key, in daemonKeys() order
  int loggingKeys = 0;                 // log4cpp.* entries, for the logging library

  // The length of a control-loop pass in microseconds, or 0 for the literal
  // loop, whose passes have no fixed length.
  int passPeriodMicroseconds() const;
  // The value of the key `name`; null when the file was not read.
  const DaemonKeyValue* find(const std::string& name) const;
};

// Checks the lines of a properties file, as forEachPropertiesLine gave
// them: a warning for each line the daemon would skip or misread, each
// unknown key and each repeated key. Pure: no file access.
void checkPropertiesLines(const std::string& path, const std::vector<PropertiesLine>& lines,
                          Findings& findings);

// Reads the file with the daemon's own reader and checks it; an unreadable
// file is an error.
PropertiesReview reviewPropertiesFile(const std::string& path, Findings& findings);

#endif
