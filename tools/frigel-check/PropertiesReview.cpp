#include "PropertiesReview.h"

#include <cmath>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>

#include "daemonKeys.h"
#include "TextTools.h"

namespace {

const char kLoggingPrefix[] = "log4cpp.";

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

std::string lowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string trimSpaces(const std::string& text) {
  const std::size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos) {
    return "";
  }
  return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

// What the daemon makes of a value of its key.
std::string effectOf(const DaemonKey& key, int value) {
  const std::string name = key.name;
  if (name == kSyncTimeKey) {
    return value <= 0 ? "the re-poll is off" : "a re-poll every " + std::to_string(value) + " s";
  }
  if (name == kProbeStaleKey) {
    return value <= 0 ? "the stale-probe check is off"
                      : "a probe is stale after " + std::to_string(value) + " s";
  }
  if (value <= 0) {
    return "passes follow the literal loop";
  }
  if (value < kMinimumPassPeriodMicroseconds) {
    return "raised to " + std::to_string(kMinimumPassPeriodMicroseconds) + " us a pass";
  }
  return std::to_string(value) + " us a pass";
}

// getInt's reading.
int readAsDaemon(const std::string& value, bool& outOfRange) {
  const IntegerReading reading = readInteger(value.c_str());
  outOfRange = reading.outOfRange;
  return reading.value;
}

bool isWholeNumber(const std::string& text) {
  std::size_t i = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
  if (i == text.size()) {
    return false;
  }
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') {
      return false;
    }
  }
  return true;
}

void checkDaemonValue(const std::string& path, const PropertiesLine& line, const DaemonKey& key,
                      Findings& findings) {
  std::string value = line.value;
  if (!value.empty() && value.back() == '\r') {
    value.pop_back();
  }
  const std::string number = trimSpaces(value);
  bool outOfRange = false;
  const int read = readAsDaemon(value, outOfRange);
  const std::string reads =
      ": the daemon reads " + std::to_string(read) + ", " + effectOf(key, read);
  if (!isWholeNumber(number)) {
    findings.warn(path, line.number,
                  std::string(key.name) + " " + quoted(number) + " is not a whole number" + reads);
  } else if (outOfRange) {
    findings.warn(path, line.number,
                  std::string(key.name) + " " + number + " is out of range" + reads);
  } else if (std::string(key.name) == kPassPeriodKey && read < 0) {
    findings.warn(path, line.number,
                  std::string(kPassPeriodKey) + " " + number + " is not a period" + reads);
  } else if (std::string(key.name) == kPassPeriodKey && read > 0 &&
             read < kMinimumPassPeriodMicroseconds) {
    findings.warn(path, line.number,
                  std::string(kPassPeriodKey) + " " + number + " is below the shortest period, " +
                      std::to_string(kMinimumPassPeriodMicroseconds) + reads);
  }
}

void checkHoldSeconds(const std::string& path, const PropertiesLine& line, const DaemonKey& key,
                      Findings& findings) {
  bool capped = false;
  airconHoldSeconds(line.value.c_str(), nullptr, &capped);
  if (capped) {
    findings.warn(path, line.number,
                  std::string(key.name) + " " + trimBlanks(line.value) +
                      " is longer than one day: the daemon takes it as " +
                      formatStoredValue(kLongestAirconHoldSeconds) + " s");
  }
}

void checkDecimal(const std::string& path, const PropertiesLine& line, const DaemonKey& key,
                  Findings& findings) {
  bool notANumber = false;
  decimalProperty(line.value.c_str(), key.defaultValue, &notANumber);
  if (notANumber) {
    findings.warn(
        path, line.number,
        std::string(key.name) + " " + quoted(trimBlanks(line.value)) +
            " is not a number: the daemon uses " +
            (std::isnan(key.defaultValue)
                 ? std::string("what it derives when the key is absent")
                 : "its default, " + formatStoredValue(key.defaultValue) + " " + key.unit));
  }
}

void checkChoice(const std::string& path, const PropertiesLine& line, const DaemonKey& key,
                 Findings& findings) {
  const std::string word = trimBlanks(line.value);
  for (const std::string& choice : key.choices) {
    if (word == choice) {
      return;
    }
  }
  std::string choices;
  for (const std::string& choice : key.choices) {
    choices += (choices.empty() ? "" : " or ") + choice;
  }
  findings.warn(path, line.number,
                std::string(key.name) + " " + quoted(word) + " is not " + choices +
                    ": the daemon takes " + key.choices[0]);
}

// The textfile collector reads only files named *.prom, in a folder that
// must exist; the daemon writes a temporary file beside it.
void checkMetricsTextfile(const std::string& path, const PropertiesLine& line, Findings& findings) {
  const std::string& file = line.value;
  if (file.empty()) {
    return;
  }
  const std::string suffix = ".prom";
  if (file.size() < suffix.size() ||
      file.compare(file.size() - suffix.size(), suffix.size(), suffix) != 0) {
    findings.warn(path, line.number,
                  std::string(kMetricsTextfileKey) + " " + quoted(file) +
                      " does not end in .prom: the textfile collector reads only *.prom files");
  }
  const std::size_t slash = file.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : file.substr(0, slash + 1);
  struct stat info;
  if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    findings.warn(path, line.number,
                  std::string(kMetricsTextfileKey) + ": the folder " + quoted(folder) +
                      " does not exist here, so no metrics would be written");
  }
}

void checkKey(const std::string& path, const PropertiesLine& line, const std::string& keyCore,
              Findings& findings) {
  if (const DaemonKey* key = daemonKeyNamed(keyCore)) {
    // Whether a minimum off time is wanted at all depends on the air
    // conditioners, so that is judged with the parameter files
    // (checkValues); here only a value the daemon cuts.
    if (line.key == keyCore && key->reading == DaemonKey::WholeNumber) {
      checkDaemonValue(path, line, *key, findings);
    } else if (line.key == keyCore && key->reading == DaemonKey::HoldSeconds) {
      checkHoldSeconds(path, line, *key, findings);
    } else if (line.key == keyCore && key->reading == DaemonKey::Decimal) {
      checkDecimal(path, line, *key, findings);
    } else if (line.key == keyCore && key->reading == DaemonKey::Choice) {
      checkChoice(path, line, *key, findings);
    } else if (line.key == keyCore && key->reading == DaemonKey::Path) {
      checkMetricsTextfile(path, line, findings);
    }
    return;
  }
  if (startsWith(keyCore, kLoggingPrefix)) {
    return;
  }
  if (keyCore.empty()) {
    findings.warn(path, line.number, "the line starts with \"=\": an entry without a key, ignored");
    return;
  }
  if (startsWith(lowerCase(keyCore), kLoggingPrefix)) {
    findings.warn(path, line.number,
                  "key " + quoted(keyCore) +
                      ": the logging library reads only keys that start with \"log4cpp.\" "
                      "exactly");
    return;
  }
  std::vector<std::string> candidates;
  for (const DaemonKey& key : daemonKeys()) {
    candidates.push_back(key.name);
  }
  std::string message = "unknown key " + quoted(keyCore) + ", ignored";
  if (auto suggestion = nearestName(keyCore, candidates)) {
    message += ": did you mean " + *suggestion + "?";
    if (equalsIgnoringCase(keyCore, *suggestion)) {
      message += " (keys are case-sensitive)";
    }
  }
  findings.warn(path, line.number, message);
}

}  // namespace

int PropertiesReview::passPeriodMicroseconds() const {
  const DaemonKeyValue* period = find(kPassPeriodKey);
  if (period == nullptr || period->value <= 0) {
    return 0;
  }
  return std::max(static_cast<int>(period->value), kMinimumPassPeriodMicroseconds);
}

const DaemonKeyValue* PropertiesReview::find(const std::string& name) const {
  for (const DaemonKeyValue& value : values) {
    if (name == value.key.name) {
      return &value;
    }
  }
  return nullptr;
}

void checkPropertiesLines(const std::string& path, const std::vector<PropertiesLine>& lines,
                          Findings& findings) {
  std::map<std::string, long> firstLineOfKey;
  bool carriageReturnsReported = false;
  for (const PropertiesLine& line : lines) {
    if (!carriageReturnsReported && !line.text.empty() && line.text.back() == '\r') {
      carriageReturnsReported = true;
      findings.warn(path, line.number,
                    "the file has DOS line ends (first at this line): every value keeps a "
                    "carriage return at its end");
    }
    switch (line.kind) {
      case PropertiesLine::Comment:
        break;
      case PropertiesLine::TooLong:
        findings.warn(path, line.number,
                      "the line is " + std::to_string(line.text.size()) +
                          " characters long, over the " + std::to_string(kMaxPropertiesLineLength) +
                          " the daemon reads: it skips this line");
        break;
      case PropertiesLine::NoEntry: {
        // As the daemon cuts it: at a NUL, then at the comment.
        const std::string fullLine = line.text.substr(0, line.text.find('\0'));
        const std::string beforeComment = fullLine.substr(0, fullLine.find('#'));
        if (!trimBlanks(beforeComment).empty()) {
          findings.warn(
              path, line.number,
              "no \"=\" in " + quoted(trimBlanks(beforeComment)) + ": the daemon skips this line");
        }
        break;
      }
      case PropertiesLine::Entry: {
        const std::string keyCore = trimSpaces(line.key);
        if (keyCore != line.key ||
            (!line.value.empty() && (line.value[0] == ' ' || line.value[0] == '\t'))) {
          std::string message = "blanks around \"=\": the daemon reads the key " +
                                quoted(line.key) + " and the value " + quoted(line.value) +
                                ", blanks included";
          const DaemonKey* key = daemonKeyNamed(keyCore);
          if (key != nullptr && keyCore != line.key) {
            message +=
                ", so " + keyCore + " keeps its default, " + formatStoredValue(key->defaultValue);
          }
          findings.warn(path, line.number, message);
        }
        auto [first, inserted] = firstLineOfKey.emplace(line.key, line.number);
        if (!inserted) {
          findings.warn(path, line.number,
                        "key " + quoted(line.key) + " given again (first at line " +
                            std::to_string(first->second) + "): the daemon keeps the first");
          break;
        }
        checkKey(path, line, keyCore, findings);
        break;
      }
    }
  }
}

PropertiesReview reviewPropertiesFile(const std::string& path, Findings& findings) {
  PropertiesReview review;
  review.path = path;
  std::ifstream in(path);
  if (!in) {
    findings.error(path, 0, std::string("cannot be read: ") + std::strerror(errno));
    return review;
  }
  review.readable = true;
  std::vector<PropertiesLine> lines;
  forEachPropertiesLine(in, [&lines](const PropertiesLine& line) { lines.push_back(line); });
  checkPropertiesLines(path, lines, findings);

  // The effective values through the daemon's own class.
  cProperties properties;
  properties.load(path.c_str());
  for (const DaemonKey& key : daemonKeys()) {
    DaemonKeyValue value;
    value.key = key;
    const char* text = properties.getString(key.name, nullptr);
    value.text = text != nullptr ? text : "";
    if (key.reading == DaemonKey::WholeNumber) {
      value.value = properties.getInt(key.name, static_cast<int>(key.defaultValue));
    } else if (key.reading == DaemonKey::HoldSeconds) {
      value.value = airconHoldSeconds(text, &value.notANumber);
    } else if (key.reading == DaemonKey::Decimal) {
      value.value = decimalProperty(text, key.defaultValue, &value.notANumber);
    } else if (key.reading == DaemonKey::Choice) {
      // The daemon's reader knows one choice key; its value is the index.
      value.value = probeLostAction(text, &value.notANumber) == ProbeLostAction::Cool ? 1 : 0;
    }
    for (const PropertiesLine& line : lines) {
      if (line.kind == PropertiesLine::Entry && line.key == key.name) {
        value.line = line.number;
        break;
      }
    }
    review.values.push_back(value);
  }
  for (const PropertiesLine& line : lines) {
    if (line.kind == PropertiesLine::Entry && startsWith(line.key, kLoggingPrefix)) {
      ++review.loggingKeys;
    }
  }
  return review;
}
