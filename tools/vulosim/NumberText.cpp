#include "NumberText.h"

#include <cerrno>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <type_traits>

namespace {

template <typename Number>
bool parseFinite(const std::string& text, Number& value) {
  // strto* would skip leading white space; the text must be the number alone.
  if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) {
    return false;
  }
  char* end = nullptr;
  errno = 0;
  Number parsed;
  if constexpr (std::is_same_v<Number, float>) {
    parsed = std::strtof(text.c_str(), &end);
  } else {
    parsed = std::strtod(text.c_str(), &end);
  }
  if (*end != '\0' || errno == ERANGE || !std::isfinite(parsed)) {
    return false;
  }
  value = parsed;
  return true;
}

}  // namespace

bool parseUnsigned32(const std::string& text, uint32_t& value) {
  if (text.empty() || text.size() > 10 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  const unsigned long long parsed = std::strtoull(text.c_str(), nullptr, 10);
  if (parsed > UINT32_MAX) {
    return false;
  }
  value = static_cast<uint32_t>(parsed);
  return true;
}

bool parseFiniteFloat(const std::string& text, float& value) {
  return parseFinite(text, value);
}

bool parseFiniteDouble(const std::string& text, double& value) {
  return parseFinite(text, value);
}
