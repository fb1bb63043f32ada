#include "TextTools.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "plainText.h"

namespace {

// The length of the well-formed UTF-8 sequence at `at`, or 0 when the bytes
// there are not one (so they are shown escaped).
std::size_t utf8SequenceLength(const std::string& text, std::size_t at) {
  const unsigned char lead = static_cast<unsigned char>(text[at]);
  const std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                             : lead >= 0xE0 && lead <= 0xEF ? 3
                             : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                            : 0;
  if (length == 0 || at + length > text.size()) {
    return 0;
  }
  for (std::size_t i = 1; i < length; ++i) {
    if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) {
      return 0;
    }
  }
  return length;
}

void appendEscaped(std::string& out, char c) {
  char escaped[8];
  std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(c));
  out += escaped;
}

}  // namespace

std::string quoted(const std::string& text, std::size_t maxLength) {
  std::string out = "\"";
  std::size_t shown = 0;
  for (std::size_t at = 0; at < text.size(); ++at) {
    const char c = text[at];
    if (shown == maxLength) {
      out += "...";
      break;
    }
    ++shown;
    if (static_cast<unsigned char>(c) >= 0x80) {
      // Letters of other languages are kept; stray bytes are shown escaped.
      const std::size_t length = utf8SequenceLength(text, at);
      if (length == 0) {
        appendEscaped(out, c);
      } else {
        out.append(text, at, length);
        at += length - 1;
      }
      continue;
    }
    switch (c) {
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
          appendEscaped(out, c);
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

bool isBlank(char c) {
  return isOneOf(c, kXmlBlanks);
}

std::string trimBlanks(const std::string& text) {
  return trimmedOf(text, kXmlBlanks);
}

std::string formatStoredValue(double value) {
  if (std::isnan(value)) {
    return "nan";
  }
  if (std::isinf(value)) {
    return value > 0 ? "inf" : "-inf";
  }
  // Whole numbers of any size in full (durations reach 4294967295).
  if (value == std::floor(value) && std::fabs(value) < 1e15) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.0f", value);
    return buffer;
  }
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%g", value);
  return buffer;
}

std::string formatSeconds(double seconds) {
  // Whole seconds once fractions stop mattering.
  std::string text = formatStoredValue(seconds >= 1000 ? std::round(seconds) : seconds) + " s";
  if (seconds >= 86400 * 2) {
    text += " (" + formatStoredValue(std::round(seconds / 8640) / 10) + " days)";
  } else if (seconds >= 7200) {
    text += " (" + formatStoredValue(std::round(seconds / 360) / 10) + " h)";
  } else if (seconds >= 120) {
    text += " (" + formatStoredValue(std::round(seconds / 6) / 10) + " min)";
  }
  return text;
}

std::string passesAsSeconds(double passes, int passPeriodMicroseconds) {
  return formatSeconds(passes * passPeriodMicroseconds / 1e6);
}

std::string countOf(std::size_t count, const std::string& singular) {
  return std::to_string(count) + " " + singular + (count == 1 ? "" : "s");
}

namespace {

char lower(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

}  // namespace

std::size_t nameDistance(const std::string& a, const std::string& b) {
  // Optimal string alignment distance over three rows of the table.
  const std::size_t n = a.size();
  const std::size_t m = b.size();
  std::vector<std::size_t> before(m + 1), previous(m + 1), current(m + 1);
  for (std::size_t j = 0; j <= m; ++j) {
    previous[j] = j;
  }
  for (std::size_t i = 1; i <= n; ++i) {
    current[0] = i;
    for (std::size_t j = 1; j <= m; ++j) {
      const std::size_t cost = lower(a[i - 1]) == lower(b[j - 1]) ? 0 : 1;
      current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
      if (i > 1 && j > 1 && lower(a[i - 1]) == lower(b[j - 2]) &&
          lower(a[i - 2]) == lower(b[j - 1])) {
        current[j] = std::min(current[j], before[j - 2] + 1);
      }
    }
    before.swap(previous);
    previous.swap(current);
  }
  return previous[m];
}

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && nameDistance(a, b) == 0;
}

std::optional<std::string> nearestName(const std::string& name,
                                       const std::vector<std::string>& candidates) {
  std::optional<std::string> best;
  std::size_t bestDistance = 0;
  for (const std::string& candidate : candidates) {
    const std::size_t distance = nameDistance(name, candidate);
    // About one slip in four letters, at least two; never more than the
    // name is long ("x" is no misspelling of "fan").
    const std::size_t allowed = std::max<std::size_t>(2, candidate.size() / 4);
    if (distance > allowed || distance >= name.size()) {
      continue;
    }
    if (!best || distance < bestDistance) {
      best = candidate;
      bestDistance = distance;
    }
  }
  return best;
}
