#include "Options.h"

#include <getopt.h>

#include <cstring>

#include "portNumber.h"

const char* const kUsage =
    "usage: vulosim --site FILE [--port N] [--log-all-sets] [--model FILE [--csv FILE]] [--help]";

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

enum OptionId : int { kSite = 1, kPort, kLogAllSets, kModel, kCsv, kHelpOption };

const option kLongOptions[] = {
    {"site", required_argument, nullptr, kSite},
    {"port", required_argument, nullptr, kPort},
    {"log-all-sets", no_argument, nullptr, kLogAllSets},
    {"model", required_argument, nullptr, kModel},
    {"csv", required_argument, nullptr, kCsv},
    {"help", no_argument, nullptr, kHelpOption},
    {nullptr, 0, nullptr, 0},
};

// "--name" of the option with this id.
std::string optionName(int id) {
  for (const option* o = kLongOptions; o->name != nullptr; ++o) {
    if (o->val == id) {
      return std::string("--") + o->name;
    }
  }
  return "?";
}

// The port of --port: a port number, or 0 (any number of zeros) for a free
// one.
std::optional<uint16_t> listenPort(const char* text) {
  if (*text != '\0' && std::strspn(text, "0") == std::strlen(text)) {
    return 0;
  }
  std::optional<int> port = parsePortNumber(text);
  return port ? std::optional<uint16_t>(static_cast<uint16_t>(*port)) : std::nullopt;
}

// Why getopt_long refused the option it stopped at, when it returned '?'.
std::string refusal(char* const* argv) {
  if (optopt >= kSite && optopt <= kHelpOption) {
    return optionName(optopt) + " takes no value";  // "--help=x"
  }
  if (optopt != 0) {
    return std::string("unknown option '-") + static_cast<char>(optopt) + "'";
  }
  // An unknown or ambiguous long option, which getopt_long has passed.
  return std::string("unknown option '") + argv[optind - 1] + "'";
}

}  // namespace

std::optional<Options> parseOptions(const std::vector<std::string>& arguments, std::string& error) {
  // getopt_long reorders its argv; it gets copies.
  std::vector<std::string> words = {"vulosim"};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) {
    argv.push_back(word.data());
  }
  argv.push_back(nullptr);
  const int argc = static_cast<int>(words.size());

  Options options;
  opterr = 0;  // the messages are ours, in one line
  optind = 0;  // a fresh scan, also when called again
  int id;
  // The leading ':' tells a missing value (':') from an unknown option ('?').
  while ((id = getopt_long(argc, argv.data(), ":h", kLongOptions, nullptr)) != -1) {
    if (id == '?') {
      error = refusal(argv.data());
      return std::nullopt;
    }
    if (id == ':' || ((id == kSite || id == kModel || id == kCsv) && *optarg == '\0')) {
      error = optionName(id == ':' ? optopt : id) + " needs a value";
      return std::nullopt;
    }
    switch (id) {
      case kSite:
        options.siteFile = optarg;
        break;
      case kPort:
        if (std::optional<uint16_t> port = listenPort(optarg)) {
          options.port = *port;
        } else {
          error = std::string("bad port '") + optarg + "', expected 0 to 65535";
          return std::nullopt;
        }
        break;
      case kLogAllSets:
        options.logAllSets = true;
        break;
      case kModel:
        options.modelFile = optarg;
        break;
      case kCsv:
        options.csvFile = optarg;
        break;
      case kHelpOption:
      case 'h':
        options.help = true;
        break;
    }
  }
  if (optind < argc) {
    error = std::string("unexpected argument '") + argv[optind] + "'";
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
