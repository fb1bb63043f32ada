// The simulator's console commands, one per line on standard input:
//   ain LABEL VALUE        set analogue inputs, push a trend event each
//   trend LABEL VALUE SEQ  the same with an exact trend sequence number
//   get LABEL              print a port's value or state
//   count LABEL            print how many set requests a port received
//   freeze LABEL           hold analogue inputs: no trend events, polls answer
//                          the value they had
//   thaw LABEL             release them: one trend event each with the
//                          value they have now
//   fail LABEL             the room model's air conditioner on this output
//                          loses its cooling (it still runs and draws power)
//   repair LABEL           gives it back its cooling
//   drop                   close every client connection
//   garbage                send every client bytes that are no frame
//   quit                   exit with status 0
// Words are separated by spaces or tabs; a trailing carriage return is
// ignored. Parsing is a pure function: no I/O, no state.
#ifndef VULOSIM_COMMAND_H
#define VULOSIM_COMMAND_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct Command {
  enum class Kind { Ain, Trend, Get, Count, Freeze, Thaw, Fail, Repair, Drop, Garbage, Quit };
  Kind kind = Kind::Quit;
  // Every kind but Drop, Garbage and Quit: the port label; empty otherwise.
  std::string label;
  // Ain, Trend: the new value (any float, NaN and infinities included, so
  // that a faulty probe can be simulated).
  float value = 0.0f;
  // Trend: the exact trend sequence number (0 allowed).
  uint32_t trendSeqNum = 0;
};

struct CommandParse {
  // Set when the line is a valid command.
  std::optional<Command> command;
  // Why the line was refused; empty for a valid command and for a blank
  // line (which is neither a command nor an error).
  std::string error;
};

CommandParse parseCommand(std::string_view line);

// The word that starts a command of this kind ("ain", "drop", ...).
const char* commandVerb(Command::Kind kind);

#endif
