// How set-up picks a port by label: the port type each kind of device
// needs, and, when several ports of that type carry the label, which one
// it takes. The bridge discovers by these rules; the configuration checker
// predicts with them what the daemon will find on a server.
#ifndef FRIGEL_PORTDISCOVERY_H
#define FRIGEL_PORTDISCOVERY_H

#include <cObject.h>

enum class DiscoveredDevice { Probe, Aircon, Fan };

struct DiscoveryRule {
  ePortType wantedType;
  // Probes take the last port of the wanted type in the server's reply,
  // outputs the first.
  bool takesLast;
};

constexpr DiscoveryRule discoveryRuleOf(DiscoveredDevice device) {
  switch (device) {
    case DiscoveredDevice::Probe:
      return {PORT_TYPE_ANALOG_IN, true};
    case DiscoveredDevice::Aircon:
      return {PORT_TYPE_DISCRETE_OUT, false};
    case DiscoveredDevice::Fan:
      break;
  }
  return {PORT_TYPE_ANALOG_OUT, false};
}

#endif
