// How a number text reads under the daemon's own conversions, and what in
// it the daemon silently drops.
#ifndef FRIGEL_CHECK_DAEMONNUMBERREADING_H
#define FRIGEL_CHECK_DAEMONNUMBERREADING_H

#include <optional>
#include <string>

#include "parameterFiles.h"

// The conversions an element's text goes through.
enum class NumberKind {
  Integer,   // strtol, as for <number> in <aircon>
  Byte,      // ParameterConversion::Byte
  Unsigned,  // ParameterConversion::Unsigned
  Float,     // ParameterConversion::Float
};

NumberKind numberKindOf(ParameterConversion conversion);

struct DaemonNumberReading {
  bool empty = false;       // nothing but blanks
  bool hasNumber = false;   // the conversion found digits at all
  bool outOfRange = false;  // an integer beyond the 32-bit range, stored saturated
  bool negative = false;    // an integer below 0
  std::string trailing;     // text after the number, blanks around it removed
};

DaemonNumberReading readNumberText(const std::string& text, NumberKind kind);

// The value the daemon stores for `text`, as a double (exact for every
// stored integer and float), through its own conversion.
double storedValue(const std::string& text, NumberKind kind);

// "30 degC", "10 %", "30000 passes", "2" (without a unit).
std::string withUnit(const std::string& value, const std::string& unit);

// A warning about `text` as the value of `name`, or nothing when the text is
// one clean number (blanks around it are fine: XML layout leaves them).
std::optional<std::string> numberTextWarning(const std::string& name, const std::string& text,
                                             NumberKind kind, const std::string& unit);

#endif
