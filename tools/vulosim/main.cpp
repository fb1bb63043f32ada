// vulosim: a stand-in for the object server, for development, tests and
// demos. See Command.h for the console, SiteFile.h for the site file and
// ModelFile.h (docs/simulation.md) for the room model.
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "CsvRecorder.h"
#include "LineSink.h"
#include "ModelFile.h"
#include "ModelPorts.h"
#include "ModelRun.h"
#include "Options.h"
#include "Process.h"
#include "Simulator.h"
#include "SiteFile.h"
#include "SiteStore.h"
#include "Transport.h"

namespace {

constexpr int kExitBadInput =
    kCommandLineRefused;         // bad arguments, site file, model file or CSV path
constexpr int kExitFailure = 1;  // could not set up the process or listen, or write the CSV

}  // namespace

int main(int argc, char** argv) {
  ensureStandardDescriptors();
  std::string error;
  std::optional<Options> options =
      parseOptions(std::vector<std::string>(argv + 1, argv + argc), error);
  if (const std::optional<int> status =
          commandLineExit({"vulosim", kUsage, kHelp}, options, error)) {
    return *status;
  }

  SiteStore store;
  if (!loadSiteFile(options->siteFile, store, error)) {
    std::fprintf(stderr, "vulosim: bad site file %s\n", error.c_str());
    return kExitBadInput;
  }

  // Everything the model needs is checked before the simulator listens.
  std::optional<ModelSpec> model;
  ModelPorts modelPorts;
  CsvRecorder csv;
  if (!options->modelFile.empty()) {
    model.emplace();
    if (!loadModelFile(options->modelFile, *model, error)) {
      std::fprintf(stderr, "vulosim: bad model file %s\n", error.c_str());
      return kExitBadInput;
    }
    if (!bindModelPorts(*model, options->modelFile, store, modelPorts, error)) {
      std::fprintf(stderr, "vulosim: model file does not fit the site file %s: %s\n",
                   options->siteFile.c_str(), error.c_str());
      return kExitBadInput;
    }
    if (!options->csvFile.empty() && !csv.open(options->csvFile, error)) {
      std::fprintf(stderr, "vulosim: %s\n", error.c_str());
      return kExitBadInput;
    }
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
  std::unique_ptr<ModelRun> modelRun;
  if (model) {
    std::function<bool()> clientConnected;
    if (model->waitForClient) {
      clientConnected = [&transport] { return transport.connectedCount() > 0; };
    }
    modelRun = std::make_unique<ModelRun>(*model, modelPorts, store, simulator, out, transport,
                                          csv.isOpen() ? &csv : nullptr, clientConnected);
    transport.setPeriodicTask(modelRun.get(), modelRun->tickPeriod());
  }
  out.line("ready " + std::to_string(transport.port()));
  transport.run(simulator, STDIN_FILENO, stopFd);
  // A run stopped early (quit, a signal) still gets its summary and CSV.
  if (modelRun && !modelRun->finish()) {
    return kExitFailure;
  }
  return 0;
}
