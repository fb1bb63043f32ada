// Looks up the settings file's port labels on the object server, the way
// the daemon's discovery would find them.
#ifndef FRIGEL_CHECK_SERVERREVIEW_H
#define FRIGEL_CHECK_SERVERREVIEW_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <cObject.h>
#include <cObjectClient.h>

#include "Findings.h"
#include "portDiscovery.h"
#include "ParameterReading.h"

struct PortFound {
  uint32_t deviceSerial = 0;
  uint32_t portId = 0;
  ePortType type = PORT_TYPE_NONE;
};

// Where labels are looked up: the object server, or a fake in tests.
class PortDirectory {
 public:
  virtual ~PortDirectory() = default;
  // Every port labelled exactly `label`, of any type, in the server's
  // order; nothing when the server did not answer.
  virtual std::optional<std::vector<PortFound>> portsLabelled(const std::string& label) = 0;
};

// The object server on the loopback address.
class ObjectServerDirectory : public PortDirectory {
 public:
  // Connects to 127.0.0.1:port; false when the server cannot be reached.
  bool connect(int port);
  std::optional<std::vector<PortFound>> portsLabelled(const std::string& label) override;

 private:
  cObjectClient mClient;
};

// One label the daemon looks up, and how its discovery picks a port.
struct LabelLookup {
  std::string role;  // as listed: "internalProbeLabel", "aircon 1", "fan"
  std::string what;  // in messages: "the internal probe", "aircon 1", "the fan"
  std::string label;
  long line = 0;                              // in the settings file
  DiscoveryRule rule{PORT_TYPE_NONE, false};  // the daemon's: port type, first or last
};

// The look-ups the settings file makes the daemon do, in its order
// (air conditioners other than 1 and 2 are never looked up).
std::vector<LabelLookup> labelLookups(const SeenConfiguration& seen);

// "analogue input", or "analogue inputs" for several.
std::string portTypeName(ePortType type, bool plural = false);

// Looks every label up: one listing line each, and a warning for a label
// no port has, one on a port of the wrong type only, and one on several
// ports of the right type. False, after an error at `serverName`, when the
// server did not answer.
bool reviewLabels(const std::vector<LabelLookup>& lookups, PortDirectory& directory,
                  const std::string& settingsPath, const std::string& serverName,
                  Findings& findings, std::vector<std::string>& listing);

#endif
