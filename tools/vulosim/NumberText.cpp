#include "NumberText.h"

#include <cstdlib>

#include "plainText.h"

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
  return parseFiniteNumber(text, value);
}

bool parseFiniteDouble(const std::string& text, double& value) {
  return parseFiniteNumber(text, value);
}
