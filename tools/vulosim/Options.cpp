#include "Options.h"

#include <cstring>

#include "CommandLine.h"
#include "portNumber.h"

const char* const kUsage =
    "usage: vulosim --site FILE [--port N] [--log-all-sets] [--model FILE [--csv FILE]] [--help]\n";

const char* const kHelp =
    R"(A stand-in for the object server on 127.0.0.1, driven through standard input.

Options:
  --site FILE       the devices and ports to serve (required)
  --port N          the TCP port to listen on, 0 to 65535 (default 60000;
                    0 takes a free one, printed in the "ready" line)
  --log-all-sets    print every set request, not only those that change a port
  --model FILE      a room model that drives the probes from the outputs,
                    runs for its simulated time and exits
  --csv FILE        where the model run writes its CSV (only with --model)
  --help, -h        this text

Exit status: 0 after "quit", SIGINT or SIGTERM, or at the end of a model
run; 1 when it cannot listen or the CSV cannot be written to the end; 2 for
bad arguments, a bad site or model file, or a CSV file that cannot be
created.
)";

namespace {

// The options, in the order of kLongOptions.
enum OptionIndex : std::size_t {
  kSiteOption,
  kPortOption,
  kLogAllSetsOption,
  kModelOption,
  kCsvOption,
  kHelpOption,
};

const std::vector<LongOption> kLongOptions = {
    {"site", true},  {"port", true}, {"log-all-sets", false},
    {"model", true}, {"csv", true},  {"help", false},
};

// The port of --port: a port number, or 0 (any number of zeros) for a free
// one.
std::optional<uint16_t> listenPort(const char* text) {
  if (*text != '\0' && std::strspn(text, "0") == std::strlen(text)) {
    return 0;
  }
  std::optional<int> port = parsePortNumber(text);
  return port ? std::optional<uint16_t>(static_cast<uint16_t>(*port)) : std::nullopt;
}

// Why the command line was refused, in one line.
std::string refusalMessage(const CommandLineRefusal& refusal) {
  switch (refusal.kind) {
    case CommandLineRefusal::Kind::MissingValue:
      return refusal.option + " needs a value";
    case CommandLineRefusal::Kind::UnwantedValue:
      return refusal.option + " takes no value";  // "--help=x"
    case CommandLineRefusal::Kind::UnexpectedArgument:
      return "unexpected argument '" + refusal.word + "'";
    case CommandLineRefusal::Kind::UnknownOption:
    case CommandLineRefusal::Kind::NotTaken:
      break;
  }
  return "unknown option '" + refusal.word + "'";
}

// Takes the option `given` into `options`; false, with `error`, for a bad
// value.
bool applyOption(const GivenOption& given, Options& options, std::string& error) {
  const std::string& value = given.value;
  if ((given.index == kSiteOption || given.index == kModelOption || given.index == kCsvOption) &&
      value.empty()) {
    error = std::string("--") + kLongOptions[given.index].name + " needs a value";
    return false;
  }
  switch (given.index) {
    case kSiteOption:
      options.siteFile = value;
      break;
    case kPortOption:
      if (std::optional<uint16_t> port = listenPort(value.c_str())) {
        options.port = *port;
      } else {
        error = "bad port '" + value + "', expected 0 to 65535";
        return false;
      }
      break;
    case kLogAllSetsOption:
      options.logAllSets = true;
      break;
    case kModelOption:
      options.modelFile = value;
      break;
    case kCsvOption:
      options.csvFile = value;
      break;
    case kHelpOption:
      options.help = true;
      break;
  }
  return true;
}

}  // namespace

std::optional<Options> parseOptions(const std::vector<std::string>& arguments, std::string& error) {
  Options options;
  CommandLineRefusal refusal;
  const auto take = [&](const GivenOption& given) { return applyOption(given, options, error); };
  if (!readLongOptions(arguments, kLongOptions, true, take, refusal)) {
    if (refusal.kind != CommandLineRefusal::Kind::NotTaken) {
      error = refusalMessage(refusal);
    }
    return std::nullopt;
  }
  if (options.help) {
    return options;
  }
  if (options.siteFile.empty()) {
    error = "--site FILE is required";
    return std::nullopt;
  }
  if (!options.csvFile.empty() && options.modelFile.empty()) {
    error = "--csv FILE needs --model FILE";
    return std::nullopt;
  }
  return options;
}
