// TCP port numbers as the daemon and its tools read them from the
// environment and the command line.
#ifndef FRIGEL_PORTNUMBER_H
#define FRIGEL_PORTNUMBER_H

#include <optional>

// The port `text` names: decimal digits only (no sign, no blanks, nothing
// after them; leading zeros allowed) with a value from 1 to 65535.
// Nothing for a null pointer, an empty text or anything else.
std::optional<int> parsePortNumber(const char* text);

#endif
