#include "Command.h"

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "NumberText.h"

namespace {

std::vector<std::string> splitWords(std::string_view line) {
  std::vector<std::string> words;
  std::size_t i = 0;
  auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (i < line.size()) {
    while (i < line.size() && isSpace(line[i])) {
      ++i;
    }
    std::size_t start = i;
    while (i < line.size() && !isSpace(line[i])) {
      ++i;
    }
    if (i > start) {
      words.emplace_back(line.substr(start, i - start));
    }
  }
  return words;
}

bool parseValue(const std::string& text, float& value) {
  char* end = nullptr;
  errno = 0;
  float parsed = std::strtof(text.c_str(), &end);
  // ERANGE also flags tiny values that round to a denormal; only overflow
  // (an infinity that was not written as one) is refused.
  if (end == text.c_str() || *end != '\0' ||
      (errno == ERANGE && (parsed > 1.0f || parsed < -1.0f))) {
    return false;
  }
  value = parsed;
  return true;
}

CommandParse refuse(std::string why) {
  CommandParse result;
  result.error = std::move(why);
  return result;
}

CommandParse accept(Command command) {
  CommandParse result;
  result.command = std::move(command);
  return result;
}

struct Shape {
  const char* verb;
  Command::Kind kind;
  std::size_t arguments;
  const char* usage;
};
// Each command: its verb, its number of arguments and its usage line.
const Shape kShapes[] = {
    {"ain", Command::Kind::Ain, 2, "ain LABEL VALUE"},
    {"trend", Command::Kind::Trend, 3, "trend LABEL VALUE SEQ"},
    {"get", Command::Kind::Get, 1, "get LABEL"},
    {"count", Command::Kind::Count, 1, "count LABEL"},
    {"freeze", Command::Kind::Freeze, 1, "freeze LABEL"},
    {"thaw", Command::Kind::Thaw, 1, "thaw LABEL"},
    {"fail", Command::Kind::Fail, 1, "fail LABEL"},
    {"repair", Command::Kind::Repair, 1, "repair LABEL"},
    {"drop", Command::Kind::Drop, 0, "drop"},
    {"garbage", Command::Kind::Garbage, 0, "garbage"},
    {"quit", Command::Kind::Quit, 0, "quit"},
};

}  // namespace

CommandParse parseCommand(std::string_view line) {
  // A NUL could never be part of a label; refuse rather than truncate.
  if (line.find('\0') != std::string_view::npos) {
    return refuse("line contains a NUL byte");
  }
  std::vector<std::string> words = splitWords(line);
  if (words.empty()) {
    return {};
  }
  const std::string& verb = words[0];
  const std::size_t arguments = words.size() - 1;

  for (const Shape& shape : kShapes) {
    if (verb != shape.verb) {
      continue;
    }
    if (arguments != shape.arguments) {
      return refuse(std::string("usage: ") + shape.usage);
    }
    Command command;
    command.kind = shape.kind;
    if (arguments >= 1) {
      command.label = words[1];
    }
    if (arguments >= 2 && !parseValue(words[2], command.value)) {
      return refuse("bad value '" + words[2] + "', expected a number");
    }
    if (arguments >= 3 && !parseUnsigned32(words[3], command.trendSeqNum)) {
      return refuse("bad sequence number '" + words[3] + "', expected 0 to 4294967295");
    }
    return accept(std::move(command));
  }
  return refuse("unknown command '" + verb + "'");
}

const char* commandVerb(Command::Kind kind) {
  for (const Shape& shape : kShapes) {
    if (shape.kind == kind) {
      return shape.verb;
    }
  }
  return "";
}
