// vulosim: a stand-in for the object server, for development, tests and
// demos. See Command.h for the console, SiteFile.h for the site file.
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "LineSink.h"
#include "Options.h"
#include "Process.h"
#include "Simulator.h"
#include "SiteFile.h"
#include "SiteStore.h"
#include "Transport.h"

namespace {

constexpr int kExitBadInput = 2;  // bad arguments or site file
constexpr int kExitFailure = 1;   // could not set up the process or listen

}  // namespace

int main(int argc, char** argv) {
  ensureStandardDescriptors();
  std::string error;
  std::optional<Options> options =
      parseOptions(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!options) {
    std::fprintf(stderr, "vulosim: %s\n%s\n", error.c_str(), kUsage);
    return kExitBadInput;
  }

  SiteStore store;
  if (!loadSiteFile(options->siteFile, store, error)) {
    std::fprintf(stderr, "vulosim: bad site file %s\n", error.c_str());
    return kExitBadInput;
  }

  const int stopFd = installStopSignals(error);
  if (stopFd < 0) {
    std::fprintf(stderr, "vulosim: %s\n", error.c_str());
    return kExitFailure;
  }

  Transport transport;
  if (!transport.listen(options->port, error)) {
    std::fprintf(stderr, "vulosim: %s\n", error.c_str());
    return kExitFailure;
  }
  StdoutLineSink out;
  Simulator simulator(store, out, transport, options->logAllSets);
  out.line("ready " + std::to_string(transport.port()));
  transport.run(simulator, STDIN_FILENO, stopFd);
  return 0;
}
