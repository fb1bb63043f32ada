#include "Listing.h"

#include <cmath>

#include "daemonKeys.h"
#include "DaemonNumberReading.h"
#include "ParameterUse.h"
#include "TextTools.h"

namespace {

constexpr std::size_t kNameWidth = 33;
constexpr std::size_t kSourceColumn = 72;

std::string baseName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "  name                             value            (source)".
std::string settingLine(const std::string& name, const std::string& value,
                        const std::string& source) {
  std::string line = "  " + name;
  line += std::string(name.size() < kNameWidth ? kNameWidth - name.size() : 0, ' ');
  line += " " + value;
  line += std::string(line.size() < kSourceColumn ? kSourceColumn - line.size() : 0, ' ');
  return line + " (" + source + ")";
}

std::string daemonKeyValue(const DaemonKeyValue& value) {
  const std::string name = value.key.name;
  if (value.key.reading == DaemonKey::Path) {
    return value.text.empty() ? "(none: no metrics)" : value.text;
  }
  if (value.key.reading == DaemonKey::Choice) {
    return value.key.choices[static_cast<std::size_t>(value.value)];
  }
  if (std::isnan(value.value)) {
    return std::string("(") + value.key.atZero + ")";
  }
  const std::string number = formatStoredValue(value.value);
  if (name == kPassPeriodKey) {
    if (value.value <= 0) {
      return number + " (literal loop: passes of no fixed length)";
    }
    if (value.value < kMinimumPassPeriodMicroseconds) {
      return number + " (raised to " + std::to_string(kMinimumPassPeriodMicroseconds) +
             " us a pass)";
    }
    return number + " us a pass";
  }
  if (value.value <= 0 && *value.key.atZero != '\0') {
    return number + " (" + value.key.atZero + ")";
  }
  return number + " " + value.key.unit;
}

std::string parameterValue(const EffectiveValue& v, int passPeriodMicroseconds) {
  const std::string name = v.definition.name;
  const std::string number = formatStoredValue(v.value);
  switch (v.definition.conversion) {
    case ParameterConversion::Byte:
      if (name == "numberOfAircons") {
        return number;
      }
      if (name == "airconRotation") {
        return number + (v.value != 0 ? " (on)" : " (off)");
      }
      return number + (v.value == 1 ? " (on)" : v.value == 0 ? " (off)" : " (off: only 1 is on)");
    case ParameterConversion::Float:
      return withUnit(number, v.definition.unit);
    case ParameterConversion::Unsigned:
      break;
  }
  std::string text = withUnit(number, v.definition.unit);
  if (name == "fanRampDownTimeValue" || name == "fanRampUpTimeValue") {
    const double interval = static_cast<double>(static_cast<uint32_t>(v.value) / 10);
    text += ": a 10 % step every " + formatStoredValue(interval) + " passes";
    if (passPeriodMicroseconds > 0) {
      text += " = " + passesAsSeconds(interval, passPeriodMicroseconds);
    }
  } else if (passPeriodMicroseconds > 0) {
    text += " = " + passesAsSeconds(v.value, passPeriodMicroseconds);
  }
  return text;
}

std::string notReadLine(const SeenFile& file) {
  if (file.state == SeenFile::OtherDocumentElement) {
    return "  (nothing read: the document element is <" + file.problem + ">)";
  }
  return "  (not read: " + file.problem + ")";
}

void listPorts(const SeenConfiguration& seen, std::vector<std::string>& lines) {
  const std::string file = baseName(seen.settings.path);
  bool internalProbe = false;
  bool externalProbe = false;
  for (const SeenSetupCall& call : seen.setupCalls) {
    std::string name;
    switch (call.kind) {
      case SeenSetupCall::InternalProbe:
        name = "internalProbeLabel";
        internalProbe = true;
        break;
      case SeenSetupCall::ExternalProbe:
        name = "externalProbeLabel";
        externalProbe = true;
        break;
      case SeenSetupCall::Aircon:
        name = "aircon " + std::to_string(call.airconNumber);
        break;
      case SeenSetupCall::Fan:
        name = "fan";
        break;
    }
    lines.push_back(settingLine(name, quoted(call.label), file + ":" + std::to_string(call.line)));
  }
  if (!internalProbe) {
    lines.push_back(settingLine("internalProbeLabel", "none", "absent"));
  }
  if (!externalProbe) {
    lines.push_back(settingLine("externalProbeLabel", "none", "absent"));
  }
}

}  // namespace

std::vector<std::string> propertiesListing(const PropertiesReview& review) {
  std::vector<std::string> lines = {"properties file " + review.path};
  if (!review.readable) {
    lines.push_back("  (not read)");
    return lines;
  }
  const std::string file = baseName(review.path);
  for (const DaemonKeyValue& value : review.values) {
    const std::string source =
        value.line > 0 ? file + ":" + std::to_string(value.line)
        : value.key.reading == DaemonKey::Path || std::isnan(value.key.defaultValue) ? "absent"
        : value.key.reading == DaemonKey::Choice
            ? "absent: default " + value.key.choices[0]
            : "absent: default " + formatStoredValue(value.key.defaultValue);
    lines.push_back(settingLine(value.key.name, daemonKeyValue(value), source));
  }
  lines.push_back(
      settingLine("log4cpp.*", countOf(review.loggingKeys, "key"), "for the logging library"));
  return lines;
}

std::vector<std::string> parameterListing(const SeenConfiguration& seen, ParameterFile which,
                                          int passPeriodMicroseconds) {
  const SeenFile& file = seen.file(which);
  std::vector<std::string> lines = {
      (which == ParameterFile::Settings ? "settings file " : "constants file ") + file.path};
  if (file.state != SeenFile::Read) {
    lines.push_back(notReadLine(file));
    return lines;
  }
  if (which == ParameterFile::Settings) {
    listPorts(seen, lines);
  }
  const ControllerFeatures features = controllerFeatures(seen);
  for (const EffectiveValue& v : seen.values) {
    if (v.file != which) {
      continue;
    }
    std::string source =
        v.present ? baseName(file.path) + ":" + std::to_string(v.line) : "absent: 0";
    if (auto reason = unusedBecause(v.definition, features)) {
      source += "; not used: " + *reason;
    }
    lines.push_back(
        settingLine(v.definition.name, parameterValue(v, passPeriodMicroseconds), source));
  }
  return lines;
}
