#include "ServerReview.h"

#include <cObjectList.h>

#include "TextTools.h"

bool ObjectServerDirectory::connect(int port) {
  return mClient.start("127.0.0.1", port);
}

std::optional<std::vector<PortFound>> ObjectServerDirectory::portsLabelled(
    const std::string& label) {
  // Query by example: any port type, this label. The request does not own
  // its object, so it may live on the stack.
  cObjectPort query;
  query.setPortType(PORT_TYPE_NONE);
  query.setPortLabel(label.c_str());
  cObjectList request;
  request.add(&query);
  cObjectList* reply = mClient.get(&request);
  if (reply == nullptr) {
    return std::nullopt;
  }
  std::vector<PortFound> ports;
  for (cObject* object = reply->first(); object != nullptr; object = reply->next()) {
    if (auto* port = dynamic_cast<cObjectPort*>(object)) {
      ports.push_back({port->getDeviceSerial(), port->getPortId(), port->getPortType()});
    }
  }
  reply->deleteObjects();
  delete reply;
  return ports;
}

std::vector<LabelLookup> labelLookups(const SeenConfiguration& seen) {
  std::vector<LabelLookup> lookups;
  for (const SeenSetupCall& call : seen.setupCalls) {
    switch (call.kind) {
      case SeenSetupCall::InternalProbe:
        lookups.push_back({"internalProbeLabel", "the internal probe", call.label, call.line,
                           discoveryRuleOf(DiscoveredDevice::Probe)});
        break;
      case SeenSetupCall::ExternalProbe:
        lookups.push_back({"externalProbeLabel", "the external probe", call.label, call.line,
                           discoveryRuleOf(DiscoveredDevice::Probe)});
        break;
      case SeenSetupCall::Aircon:
        if (call.airconNumber == 1 || call.airconNumber == 2) {
          const std::string unit = "aircon " + std::to_string(call.airconNumber);
          lookups.push_back(
              {unit, unit, call.label, call.line, discoveryRuleOf(DiscoveredDevice::Aircon)});
        }
        break;
      case SeenSetupCall::Fan:
        lookups.push_back(
            {"fan", "the fan", call.label, call.line, discoveryRuleOf(DiscoveredDevice::Fan)});
        break;
    }
  }
  return lookups;
}

std::string portTypeName(ePortType type, bool plural) {
  std::string name;
  switch (type) {
    case PORT_TYPE_ANALOG_IN:
      name = "analogue input";
      break;
    case PORT_TYPE_ANALOG_OUT:
      name = "analogue output";
      break;
    case PORT_TYPE_DISCRETE_IN:
      name = "discrete input";
      break;
    case PORT_TYPE_DISCRETE_OUT:
      name = "discrete output";
      break;
    default:
      name = "port of type " + std::to_string(static_cast<unsigned>(type));
      return plural ? name + " (several)" : name;
  }
  return plural ? name + "s" : name;
}

namespace {

std::string portName(const PortFound& port) {
  return std::to_string(port.deviceSerial) + "/" + std::to_string(port.portId);
}

// "an analogue input", "a discrete output".
std::string withArticle(const std::string& name) {
  return (name[0] == 'a' ? "an " : "a ") + name;
}

// "1001/1, 1001/2".
std::string portNames(const std::vector<PortFound>& ports) {
  std::string names;
  for (const PortFound& port : ports) {
    names += (names.empty() ? "" : ", ") + portName(port);
  }
  return names;
}

// "an analogue output (2002/3)", "a discrete input (3003/5) and an analogue input (1001/1)".
std::string otherPorts(const std::vector<PortFound>& ports) {
  std::string text;
  for (std::size_t i = 0; i < ports.size(); ++i) {
    if (i > 0) {
      text += i + 1 == ports.size() ? " and " : ", ";
    }
    text += withArticle(portTypeName(ports[i].type)) + " (" + portName(ports[i]) + ")";
  }
  return text;
}

}  // namespace

bool reviewLabels(const std::vector<LabelLookup>& lookups, PortDirectory& directory,
                  const std::string& settingsPath, const std::string& serverName,
                  Findings& findings, std::vector<std::string>& listing) {
  for (const LabelLookup& lookup : lookups) {
    const std::string head = "  " + lookup.role + " " + quoted(lookup.label) + ": ";
    if (lookup.label.empty()) {
      listing.push_back(head + "not looked up (empty label)");
      continue;
    }
    std::optional<std::vector<PortFound>> found = directory.portsLabelled(lookup.label);
    if (!found) {
      findings.error(serverName, 0,
                     "the object server did not answer the look-up of " + quoted(lookup.label));
      return false;
    }
    std::vector<PortFound> wanted;
    std::vector<PortFound> others;
    for (const PortFound& port : *found) {
      (port.type == lookup.rule.wantedType ? wanted : others).push_back(port);
    }
    const std::string wantedName = portTypeName(lookup.rule.wantedType);
    std::string line;
    if (found->empty()) {
      line = "no port has this label";
      findings.warn(settingsPath, lookup.line,
                    "no port on the object server is labelled " + quoted(lookup.label) +
                        ": the daemon cannot set up " + lookup.what);
    } else if (wanted.empty()) {
      line = "no " + wantedName + "; the label is on " + otherPorts(others);
      findings.warn(settingsPath, lookup.line,
                    quoted(lookup.label) + " is the label of " + otherPorts(others) + ", not of " +
                        withArticle(wantedName) + ": the daemon cannot set up " + lookup.what);
    } else if (wanted.size() == 1) {
      line = wantedName + " " + portName(wanted.front());
    } else {
      const PortFound& taken = lookup.rule.takesLast ? wanted.back() : wanted.front();
      const std::string choice = std::string("the daemon takes the ") +
                                 (lookup.rule.takesLast ? "last" : "first") + ", " +
                                 portName(taken);
      line = std::to_string(wanted.size()) + " " + portTypeName(lookup.rule.wantedType, true) +
             " (" + portNames(wanted) + "); " + choice;
      findings.warn(settingsPath, lookup.line,
                    quoted(lookup.label) + " is ambiguous: it labels " +
                        std::to_string(wanted.size()) + " " +
                        portTypeName(lookup.rule.wantedType, true) + " (" + portNames(wanted) +
                        "); " + choice + ", for " + lookup.what);
    }
    if (!wanted.empty() && !others.empty()) {
      line += "; the label is also on " + otherPorts(others);
    }
    listing.push_back(head + line);
  }
  return true;
}
