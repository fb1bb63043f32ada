// Fuzzes the simulator's console command parser with the input as one line.
// A line is a command, an error with a reason, or blank; an accepted
// command, written out again, parses to the same command.
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>

#include "Command.h"
#include "FuzzSupport.h"

namespace {

bool isBlank(std::string_view line) {
  return line.find_first_not_of(" \t\r") == std::string_view::npos;
}

bool hasLabel(Command::Kind kind) {
  return kind != Command::Kind::Drop && kind != Command::Kind::Garbage &&
         kind != Command::Kind::Quit;
}

std::string writtenOut(const Command& command) {
  std::string line = commandVerb(command.kind);
  if (hasLabel(command.kind)) {
    line += " " + command.label;
  }
  if (command.kind == Command::Kind::Ain || command.kind == Command::Kind::Trend) {
    char value[64];
    std::snprintf(value, sizeof value, " %.9g", static_cast<double>(command.value));
    line += value;
  }
  if (command.kind == Command::Kind::Trend) {
    line += " " + std::to_string(command.trendSeqNum);
  }
  return line;
}

bool sameValue(float a, float b) {
  return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string_view line(reinterpret_cast<const char*>(data), size);
  CommandParse parsed = parseCommand(line);
  if (!parsed.command) {
    FUZZ_CHECK(!parsed.error.empty() || isBlank(line));
    return 0;
  }
  const Command& command = *parsed.command;
  FUZZ_CHECK(parsed.error.empty());
  FUZZ_CHECK(hasLabel(command.kind) == !command.label.empty());
  FUZZ_CHECK(command.label.find_first_of(std::string(" \t\r\0", 4)) == std::string::npos);

  CommandParse again = parseCommand(writtenOut(command));
  FUZZ_CHECK(again.command.has_value());
  FUZZ_CHECK(again.command->kind == command.kind);
  FUZZ_CHECK(again.command->label == command.label);
  FUZZ_CHECK(sameValue(again.command->value, command.value));
  FUZZ_CHECK(again.command->trendSeqNum == command.trendSeqNum);
  return 0;
}
