#include "portNumber.h"

namespace {

constexpr long kHighestPort = 65535;

}  // namespace

std::optional<int> parsePortNumber(const char* text) {
  if (text == nullptr || *text == '\0') {
    return std::nullopt;
  }
  long value = 0;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9') {
      return std::nullopt;
    }
    value = value * 10 + (*c - '0');
    // Stopping here keeps a long run of digits from overflowing.
    if (value > kHighestPort) {
      return std::nullopt;
    }
  }
  if (value < 1) {
    return std::nullopt;
  }
  return static_cast<int>(value);
}
