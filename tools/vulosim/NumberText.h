// Strict parsing of the numbers in the simulator's files and commands: the
// whole text must be the number, with no white space around it.
#ifndef VULOSIM_NUMBERTEXT_H
#define VULOSIM_NUMBERTEXT_H

#include <cstdint>
#include <string>

// An unsigned decimal from 0 to 4294967295: digits only (no sign, no white
// space), at most ten of them. False, with `value` untouched, otherwise.
bool parseUnsigned32(const std::string& text, uint32_t& value);

// A finite number as strtof/strtod read it. Refused, with `value` untouched:
// empty text, leading white space, trailing characters, NaN and infinities,
// and values strto* reports as out of range (overflow or underflow).
bool parseFiniteFloat(const std::string& text, float& value);
bool parseFiniteDouble(const std::string& text, double& value);

#endif
