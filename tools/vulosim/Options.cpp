#include "Options.h"

const char* const kUsage =
    "usage: vulosim --site FILE [--port N] [--log-all-sets] [--model FILE [--csv FILE]]";

std::optional<Options> parseOptions(const std::vector<std::string>& arguments, std::string& error) {
  Options options;
  bool haveSite = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const bool hasValue = i + 1 < arguments.size();
    if (argument == "--site" && hasValue) {
      options.siteFile = arguments[++i];
      haveSite = !options.siteFile.empty();
    } else if (argument == "--port" && hasValue) {
      const std::string& text = arguments[++i];
      if (text.empty() || text.size() > 5 ||
          text.find_first_not_of("0123456789") != std::string::npos || std::stoul(text) > 65535) {
        error = "bad port '" + text + "', expected 0 to 65535";
        return std::nullopt;
      }
      options.port = static_cast<uint16_t>(std::stoul(text));
    } else if (argument == "--log-all-sets") {
      options.logAllSets = true;
    } else if ((argument == "--model" || argument == "--csv") && hasValue &&
               !arguments[i + 1].empty()) {
      (argument == "--model" ? options.modelFile : options.csvFile) = arguments[++i];
    } else if (argument == "--site" || argument == "--port" || argument == "--model" ||
               argument == "--csv") {
      error = argument + " needs a value";
      return std::nullopt;
    } else {
      error = "unknown argument '" + argument + "'";
      return std::nullopt;
    }
  }
  if (!haveSite) {
    error = "--site FILE is required";
    return std::nullopt;
  }
  if (!options.csvFile.empty() && options.modelFile.empty()) {
    error = "--csv FILE needs --model FILE";
    return std::nullopt;
  }
  return options;
}
