// The command line:
//   vulosim --site FILE [--port N] [--log-all-sets] [--model FILE [--csv FILE]]
//   vulosim --help
#ifndef VULOSIM_OPTIONS_H
#define VULOSIM_OPTIONS_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct Options {
  std::string siteFile;
  // TCP port on 127.0.0.1; 0 takes a free one.
  uint16_t port = 60000;
  // Print every set request, not only those that change a port.
  bool logAllSets = false;
  // Room model that drives the probes from the outputs; empty: none.
  std::string modelFile;
  // Where a model run writes its CSV; empty: no CSV. Only with a model.
  std::string csvFile;
  // --help: print kUsage and kHelp and do nothing else; the other fields
  // are then not checked.
  bool help = false;
};

// One line, ending in a line break.
extern const char* const kUsage;
// What each option means, printed after kUsage for --help; ends with a line
// break.
extern const char* const kHelp;

// The options, or nullopt with `error` saying what is wrong (one line).
// `arguments` excludes the program name.
std::optional<Options> parseOptions(const std::vector<std::string>& arguments, std::string& error);

#endif
