// Text read from files and command lines: blanks trimmed from its ends, and
// numbers that must be the whole text.
#ifndef FRIGEL_PLAINTEXT_H
#define FRIGEL_PLAINTEXT_H

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>
#include <type_traits>

// Blanks as XML formatting leaves them: space, tab, line feed, carriage
// return.
constexpr std::string_view kXmlBlanks = " \t\n\r";
// White space as isspace() has it in the "C" locale: the XML blanks and
// vertical tab and form feed.
constexpr std::string_view kWhiteSpace = " \t\n\v\f\r";

// Whether `c` is one of `blanks` (never the NUL character).
inline bool isOneOf(char c, std::string_view blanks) {
  return blanks.find(c) != std::string_view::npos;
}

// `text` without the characters of `blanks` at either end.
inline std::string trimmedOf(const std::string& text, std::string_view blanks) {
  const std::size_t begin = text.find_first_not_of(blanks);
  if (begin == std::string::npos) {
    return "";
  }
  return text.substr(begin, text.find_last_not_of(blanks) - begin + 1);
}

// A finite number as strtof (for float) or strtod read it, the text being
// the number alone. False, with `value` untouched, for empty text, leading
// white space (which strto* would skip), trailing characters, NaN and
// infinities, and values strto* reports out of range (overflow or
// underflow).
template <typename Number>
bool parseFiniteNumber(const std::string& text, Number& value) {
  static_assert(std::is_same_v<Number, float> || std::is_same_v<Number, double>);
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

#endif
