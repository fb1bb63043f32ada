// Small text helpers for the checker's messages.
#ifndef FRIGEL_CHECK_TEXTTOOLS_H
#define FRIGEL_CHECK_TEXTTOOLS_H

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// `text` in double quotes, with control characters, quotes and backslashes
// escaped C-style ("\n", "\x01"), cut after `maxLength` characters with
// "..." so one bad line cannot flood the report.
std::string quoted(const std::string& text, std::size_t maxLength = 60);

// Blanks as XML formatting leaves them: space, tab, line feed, carriage return.
bool isBlank(char c);
std::string trimBlanks(const std::string& text);

// A number as an operator writes it: "24", "22.5", "-2", "1e+06"; "nan" and
// "inf" when not finite.
std::string formatStoredValue(double value);

// A duration in seconds: "300 s", "0.5 s", "36000 s (10 h)".
std::string formatSeconds(double seconds);

// A number of control passes as a duration, for passes of
// `passPeriodMicroseconds` (above 0): "300 s (5 min)".
std::string passesAsSeconds(double passes, int passPeriodMicroseconds);

// "1 warning", "3 warnings".
std::string countOf(std::size_t count, const std::string& singular);

// Edit distance between two names, ignoring case: insertions, deletions,
// substitutions and swaps of neighbouring letters each count 1.
std::size_t nameDistance(const std::string& a, const std::string& b);
bool equalsIgnoringCase(const std::string& a, const std::string& b);

// The candidate closest to `name` (the first of equally close ones), when it
// is close enough to be a likely misspelling; nothing otherwise.
std::optional<std::string> nearestName(const std::string& name,
                                       const std::vector<std::string>& candidates);

#endif
