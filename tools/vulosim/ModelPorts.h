// Ties a room model's labels to the ports of the simulated site: the
// probes it feeds, the outputs it reads.
#ifndef VULOSIM_MODELPORTS_H
#define VULOSIM_MODELPORTS_H

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "ModelFile.h"
#include "SiteStore.h"

// The site's ports the model drives and reads.
struct ModelPorts {
  // Every analogue input with the probe's label, in site order.
  std::vector<std::size_t> internalInputs;
  std::vector<std::size_t> externalInputs;
  // The digital output of aircon 1 and 2; unset when the model has none.
  std::optional<std::size_t> aircon[2];
  // The analogue output of the fan; unset when the model has none.
  std::optional<std::size_t> fan;
};

// Finds the model's labels in the site. False with `error` naming the model
// file and the label when one is missing or names a port of the wrong type.
bool bindModelPorts(const ModelSpec& definition, const std::string& modelPath,
                    const SiteStore& site, ModelPorts& ports, std::string& error);

#endif
