// frigel-check: reads the daemon's three configuration files through the
// daemon's own readers and reports what the daemon would run with, and
// everything it would silently skip, misread or run badly.
#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "Checker.h"
#include "CommandLine.h"
#include "etcPaths.h"
#include "portNumber.h"

namespace {

const char kUsage[] = "usage: frigel-check [--etc DIR] [--server PORT] [--help]\n";

const char kHelp[] =
    R"(Checks the frigel daemon's configuration before it runs.

Options:
  --etc DIR      the configuration folder (default: $FRIGEL_ETC when set,
                 else /etc/vulo); the files are DIR/frigel.conf,
                 DIR/frigel/frigelconfig.xml and DIR/frigel/frigelConstants.xml
  --server PORT  also look up every port label on the object server at
                 127.0.0.1:PORT
  --help, -h     this text

The files are read with the daemon's own readers, so the check sees exactly
what the daemon sees. Nothing is written and no port is switched.

Output, on standard output, in this order:
  1. One section per file, headed "properties file PATH", "settings file
     PATH", "constants file PATH", with one line per effective setting:
       NAME  VALUE UNIT  (SOURCE)
     SOURCE is FILE:LINE of the element or line that sets it, "absent: 0"
     for a parameter no element sets (the controller then uses 0), or
     "absent: default N" for a properties key. "; not used: REASON" follows
     when the options chosen leave the setting without effect. Durations are
     counted in control-loop passes; when PassPeriodMicroseconds is set they
     are also given in seconds (passes x period).
  2. With --server, a section "object server 127.0.0.1:PORT" with one line
     per label the daemon looks up: the port found as SERIAL/ID with its
     type, several ports and the one the daemon takes (the last for a probe,
     the first for an output), or why none is taken.
  3. A blank line, then one line per finding, ordered by file and line:
       warning: FILE:LINE: MESSAGE
       warning: FILE: MESSAGE          (when no line applies)
       error: FILE[:LINE]: MESSAGE
     A warning is something the daemon runs with, but probably not as meant
     (an unknown element name, a threshold out of order, a timer that never
     runs out, a label no port has, ...). An error is a file that cannot be
     read or parsed, or an object server that cannot be reached; FILE is
     then 127.0.0.1:PORT.
  4. The last line: "summary: E errors, W warnings".

Exit status: 0 when clean, 1 with warnings only, 2 with an error (a file
that cannot be read or parsed, or no answer from the object server) or bad
arguments.
)";

struct Arguments {
  std::optional<std::string> etcDirectory;
  std::optional<int> serverPort;
  bool help = false;
};

const char kEtcNeedsAFolder[] = "--etc needs a folder";

// The options, in the order of kLongOptions.
enum OptionIndex : std::size_t { kEtc, kServer, kHelpOption };

const std::vector<LongOption> kLongOptions = {{"etc", true}, {"server", true}, {"help", false}};

// Why the command line was refused, in one line.
std::string refusalMessage(const CommandLineRefusal& refusal) {
  switch (refusal.kind) {
    case CommandLineRefusal::Kind::MissingValue:
      return refusal.option == "--etc" ? kEtcNeedsAFolder : "--server needs a port from 1 to 65535";
    case CommandLineRefusal::Kind::UnwantedValue:
      return refusal.option + " takes no value";
    case CommandLineRefusal::Kind::UnexpectedArgument:
      return "unexpected argument \"" + refusal.word + "\"";
    case CommandLineRefusal::Kind::UnknownOption:
    case CommandLineRefusal::Kind::NotTaken:
      break;
  }
  return "bad option \"" + refusal.word + "\"";
}

// Nothing (after a message on standard error) when the arguments are bad.
std::optional<Arguments> parseArguments(int argc, char** argv) {
  Arguments arguments;
  const auto take = [&](const GivenOption& given) {
    switch (given.index) {
      case kEtc:
        if (given.value.empty()) {
          std::cerr << "frigel-check: " << kEtcNeedsAFolder << "\n";
          return false;
        }
        arguments.etcDirectory = given.value;
        return true;
      case kServer:
        if (!(arguments.serverPort = parsePortNumber(given.value.c_str()))) {
          std::cerr << "frigel-check: --server needs a port from 1 to 65535, not \"" << given.value
                    << "\"\n";
          return false;
        }
        return true;
      default:
        arguments.help = true;
        return true;
    }
  };
  CommandLineRefusal refusal;
  const std::vector<std::string> words(argv + std::min(argc, 1), argv + argc);
  if (!readLongOptions(words, kLongOptions, true, take, refusal)) {
    if (refusal.kind != CommandLineRefusal::Kind::NotTaken) {
      std::cerr << "frigel-check: " << refusalMessage(refusal) << "\n";
    }
    return std::nullopt;
  }
  return arguments;
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<Arguments> arguments = parseArguments(argc, argv);
  if (!arguments) {
    std::cerr << kUsage;
    return 2;
  }
  if (arguments->help) {
    std::cout << kUsage << "\n" << kHelp;
    return 0;
  }
  if (arguments->etcDirectory) {
    // The daemon's own path rules, pointed at the folder given.
    std::string directory = *arguments->etcDirectory;
    while (directory.size() > 1 && directory.back() == '/') {
      directory.pop_back();
    }
    setenv("FRIGEL_ETC", directory.c_str(), 1);
  }
  const ConfigurationPaths paths{propertiesFilePath(), settingsFilePath(), constantsFilePath()};
  return runCheck(paths, arguments->serverPort, std::cout);
}
