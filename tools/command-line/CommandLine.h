// The command lines of the tools: long options read with getopt_long's
// rules (--name VALUE or --name=VALUE, names abbreviated where unambiguous,
// options and other words in any order, "--" ending the options), and what
// a program's main does with a command line it refused or a --help.
#ifndef FRIGEL_TOOLS_COMMANDLINE_H
#define FRIGEL_TOOLS_COMMANDLINE_H

#include <cstddef>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// An option of a program: --name, with a value or without.
struct LongOption {
  const char* name;  // without the dashes
  bool takesValue;
};

// An option the command line gives: its place in the program's table of
// options, and its value ("" for an option without one).
struct GivenOption {
  std::size_t index;
  std::string value;
};

// What stopped the reading of a command line.
struct CommandLineRefusal {
  enum class Kind {
    UnknownOption,       // no option of the table (or several, abbreviated), or a letter
    MissingValue,        // an option that takes a value, last on the line
    UnwantedValue,       // --name=VALUE for an option that takes none
    UnexpectedArgument,  // a word that is no option
    NotTaken,            // an option the program refused (it says why)
  };
  Kind kind = Kind::UnknownOption;
  // The word as given: "--passes", "--quiet=x", "-x" (a letter alone), or
  // the unexpected argument.
  std::string word;
  // "--name" of the table's option, for a missing or unwanted value.
  std::string option;
};

// Reads `arguments` (the program's, without its name) with the table
// `options`, and hands each option given to `take`, in their order; `-h`
// stands for --help when `helpLetter` (the table then has "help"). False,
// with `refusal`, at the first word that is not one of the options or
// lacks its value, or the first option `take` refuses (returns false).
bool readLongOptions(const std::vector<std::string>& arguments,
                     const std::vector<LongOption>& options, bool helpLetter,
                     const std::function<bool(const GivenOption&)>& take,
                     CommandLineRefusal& refusal);

// A program's name, its usage (ending in a line break) and what --help adds
// after it.
struct ProgramText {
  const char* name;
  const char* usage;
  const char* help;
};

// The exit status of a refused command line.
constexpr int kCommandLineRefused = 2;

// For a program's main, once its command line is read into `options`
// (nothing, with `error`, when it was refused): refused, "NAME: ERROR" and
// the usage on standard error and kCommandLineRefused; --help (`help` in
// the options), the usage and the help on standard output and 0; nothing
// otherwise, and the program goes on.
template <typename Options>
std::optional<int> commandLineExit(const ProgramText& program,
                                   const std::optional<Options>& options,
                                   const std::string& error) {
  if (!options) {
    std::fprintf(stderr, "%s: %s\n%s", program.name, error.c_str(), program.usage);
    return kCommandLineRefused;
  }
  if (options->help) {
    std::printf("%s\n%s", program.usage, program.help);
    return 0;
  }
  return std::nullopt;
}

#endif
