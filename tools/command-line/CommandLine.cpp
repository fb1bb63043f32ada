#include "CommandLine.h"

#include <getopt.h>

namespace {

// getopt_long's value for the table's option `index`: above every letter.
constexpr int kFirstOptionId = 1000;

std::vector<option> getoptTable(const std::vector<LongOption>& options) {
  std::vector<option> table;
  for (std::size_t i = 0; i < options.size(); ++i) {
    table.push_back({options[i].name, options[i].takesValue ? required_argument : no_argument,
                     nullptr, kFirstOptionId + static_cast<int>(i)});
  }
  table.push_back({nullptr, 0, nullptr, 0});
  return table;
}

std::size_t helpIndex(const std::vector<LongOption>& options) {
  std::size_t index = 0;
  while (index < options.size() && std::string(options[index].name) != "help") {
    ++index;
  }
  return index;
}

}  // namespace

bool readLongOptions(const std::vector<std::string>& arguments,
                     const std::vector<LongOption>& options, bool helpLetter,
                     const std::function<bool(const GivenOption&)>& take,
                     CommandLineRefusal& refusal) {
  // getopt_long reorders its argv; it gets copies.
  std::vector<std::string> words = {"program"};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) {
    argv.push_back(word.data());
  }
  argv.push_back(nullptr);
  const int argc = static_cast<int>(words.size());
  const std::vector<option> table = getoptTable(options);
  const auto optionName = [&](int id) {
    return std::string("--") + options[static_cast<std::size_t>(id - kFirstOptionId)].name;
  };

  opterr = 0;  // the messages are the program's own
  optind = 0;  // a fresh scan, also when called again
  int id;
  // The leading ':' tells a missing value (':') from an unknown option ('?').
  while ((id = getopt_long(argc, argv.data(), helpLetter ? ":h" : ":", table.data(), nullptr)) !=
         -1) {
    if (id == ':') {
      refusal = {CommandLineRefusal::Kind::MissingValue, argv[optind - 1], optionName(optopt)};
      return false;
    }
    if (id == '?' && optopt >= kFirstOptionId) {
      refusal = {CommandLineRefusal::Kind::UnwantedValue, argv[optind - 1], optionName(optopt)};
      return false;
    }
    if (id == '?') {
      // A letter, or an unknown or ambiguous long option that getopt_long
      // has passed.
      refusal = {CommandLineRefusal::Kind::UnknownOption,
                 optopt != 0 ? std::string("-") + static_cast<char>(optopt) : argv[optind - 1], ""};
      return false;
    }
    const std::size_t index =
        id == 'h' ? helpIndex(options) : static_cast<std::size_t>(id - kFirstOptionId);
    if (!take({index, optarg != nullptr ? optarg : ""})) {
      refusal = {CommandLineRefusal::Kind::NotTaken, argv[optind - 1], ""};
      return false;
    }
  }
  if (optind < argc) {
    refusal = {CommandLineRefusal::Kind::UnexpectedArgument, argv[optind], ""};
    return false;
  }
  return true;
}
