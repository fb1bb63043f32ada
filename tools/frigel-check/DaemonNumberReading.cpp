#include "DaemonNumberReading.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "TextTools.h"

NumberKind numberKindOf(ParameterConversion conversion) {
  switch (conversion) {
    case ParameterConversion::Byte:
      return NumberKind::Byte;
    case ParameterConversion::Unsigned:
      return NumberKind::Unsigned;
    case ParameterConversion::Float:
      break;
  }
  return NumberKind::Float;
}

DaemonNumberReading readNumberText(const std::string& text, NumberKind kind) {
  DaemonNumberReading reading;
  reading.empty = trimBlanks(text).empty();
  const char* start = text.c_str();
  char* end = nullptr;
  errno = 0;
  if (kind == NumberKind::Float) {
    std::strtod(start, &end);
  } else {
    const IntegerReading integer = readInteger(start);
    end = const_cast<char*>(integer.end);
    reading.outOfRange = integer.outOfRange;
    reading.negative = integer.value < 0;
  }
  reading.hasNumber = end != start;
  reading.trailing = trimBlanks(end);
  return reading;
}

double storedValue(const std::string& text, NumberKind kind) {
  // The daemon's own converters, storing into local variables.
  uint8_t byte = 0;
  uint32_t whole = 0;
  float real = 0.0f;
  switch (kind) {
    case NumberKind::Integer:
      return parseInteger(text.c_str());
    case NumberKind::Byte:
      storeParameter({"", ParameterConversion::Byte, &byte, "", ParameterUse::Always},
                     text.c_str());
      return byte;
    case NumberKind::Unsigned:
      storeParameter({"", ParameterConversion::Unsigned, &whole, "", ParameterUse::Always},
                     text.c_str());
      return whole;
    case NumberKind::Float:
      break;
  }
  storeParameter({"", ParameterConversion::Float, &real, "", ParameterUse::Always}, text.c_str());
  return real;
}

std::string withUnit(const std::string& value, const std::string& unit) {
  return unit.empty() ? value : value + " " + unit;
}

std::optional<std::string> numberTextWarning(const std::string& name, const std::string& text,
                                             NumberKind kind, const std::string& unit) {
  const DaemonNumberReading reading = readNumberText(text, kind);
  const std::string reads = withUnit(formatStoredValue(storedValue(text, kind)), unit);
  if (reading.empty) {
    return name + " is empty: the daemon reads " + reads;
  }
  std::string clauses;
  auto add = [&clauses](const std::string& clause) {
    clauses += (clauses.empty() ? "" : " and ") + clause;
  };
  if (!reading.hasNumber) {
    add("holds no number");
  } else {
    if (reading.outOfRange) {
      add("is out of range");
    } else if (reading.negative && kind == NumberKind::Unsigned) {
      add("is negative");
    }
    if (kind == NumberKind::Float && !std::isfinite(storedValue(text, kind))) {
      add("is not a finite number");
    }
    if (!reading.trailing.empty()) {
      add("has trailing text " + quoted(reading.trailing));
    }
  }
  if (clauses.empty()) {
    return std::nullopt;
  }
  return name + " " + quoted(trimBlanks(text)) + " " + clauses + ": the daemon reads " + reads;
}
