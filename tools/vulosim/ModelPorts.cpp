#include "ModelPorts.h"

namespace {

// The first port with `label`, for a message about a type mismatch.
const SitePort* firstWithLabel(const SiteStore& site, const std::string& label) {
  for (const SitePort& port : site.ports()) {
    if (port.label == label) {
      return &port;
    }
  }
  return nullptr;
}

// "an ain", "an aout", "a din", "a dout".
std::string withArticle(ePortType type) {
  const std::string name = portTypeName(type);
  return (name[0] == 'a' ? "an " : "a ") + name;
}

// Every port with `label` of `type`. False with `error` when there is none.
bool findPorts(const SiteStore& site, const std::string& label, ePortType type,
               const std::string& where, std::vector<std::size_t>& indices, std::string& error) {
  indices = site.indicesOf(label, type);
  if (!indices.empty()) {
    return true;
  }
  const SitePort* other = firstWithLabel(site, label);
  error = where + ": label '" + label + "' ";
  if (other) {
    error += "is " + withArticle(other->type) + " port in the site, expected " + withArticle(type) +
             " port";
  } else {
    error += "names no port of the site";
  }
  return false;
}

std::string lineOf(const std::string& path, long line) {
  return path + (line > 0 ? ":" + std::to_string(line) : "");
}

}  // namespace

bool bindModelPorts(const ModelSpec& definition, const std::string& modelPath,
                    const SiteStore& site, ModelPorts& ports, std::string& error) {
  ModelPorts bound;
  const std::string probes = lineOf(modelPath, definition.probesLine);
  if (!findPorts(site, definition.internalLabel, PORT_TYPE_ANALOG_IN, probes + ": internal probe",
                 bound.internalInputs, error) ||
      !findPorts(site, definition.externalLabel, PORT_TYPE_ANALOG_IN, probes + ": external probe",
                 bound.externalInputs, error)) {
    return false;
  }
  for (const AirconSpec& aircon : definition.aircons) {
    std::vector<std::size_t> outputs;
    if (!findPorts(site, aircon.label, PORT_TYPE_DISCRETE_OUT,
                   lineOf(modelPath, aircon.line) + ": aircon " + std::to_string(aircon.number),
                   outputs, error)) {
      return false;
    }
    bound.aircon[aircon.number - 1] = outputs.front();
  }
  if (definition.fan) {
    std::vector<std::size_t> outputs;
    if (!findPorts(site, definition.fan->label, PORT_TYPE_ANALOG_OUT,
                   lineOf(modelPath, definition.fan->line) + ": fan", outputs, error)) {
      return false;
    }
    bound.fan = outputs.front();
  }
  ports = bound;
  return true;
}
