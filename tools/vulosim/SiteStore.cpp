#include "SiteStore.h"

#include <cmath>

bool isAnaloguePort(ePortType type) {
  return type == PORT_TYPE_ANALOG_IN || type == PORT_TYPE_ANALOG_OUT;
}

bool isDigitalPort(ePortType type) {
  return type == PORT_TYPE_DISCRETE_IN || type == PORT_TYPE_DISCRETE_OUT;
}

const char* portTypeName(ePortType type) {
  switch (type) {
    case PORT_TYPE_ANALOG_IN:
      return "ain";
    case PORT_TYPE_ANALOG_OUT:
      return "aout";
    case PORT_TYPE_DISCRETE_IN:
      return "din";
    case PORT_TYPE_DISCRETE_OUT:
      return "dout";
    case PORT_TYPE_NONE:
      break;
  }
  return "none";
}

const char* ioStateName(eObjectIOState state) {
  switch (state) {
    case OBJ_IO_STATE_SET:
      return "SET";
    case OBJ_IO_STATE_CLEAR:
      return "CLEAR";
    case OBJ_IO_STATE_UNKNOWN:
      break;
  }
  return "UNKNOWN";
}

bool sameAnalogueValue(float a, float b) {
  return a == b || (std::isnan(a) && std::isnan(b));
}

bool SiteStore::addPort(const SitePort& port, std::string& error) {
  if (findByAddress(port.deviceSerial, port.portId)) {
    error = "duplicate port: device " + std::to_string(port.deviceSerial) + " already has port " +
            std::to_string(port.portId);
    return false;
  }
  mPorts.push_back(port);
  return true;
}

SitePort* SiteStore::findFirstByLabel(const std::string& label) {
  for (SitePort& port : mPorts) {
    if (port.label == label) {
      return &port;
    }
  }
  return nullptr;
}

SitePort* SiteStore::findByAddress(uint32_t deviceSerial, uint32_t portId) {
  for (SitePort& port : mPorts) {
    if (port.deviceSerial == deviceSerial && port.portId == portId) {
      return &port;
    }
  }
  return nullptr;
}

std::vector<std::size_t> SiteStore::indicesOf(const std::string& label, ePortType type) const {
  std::vector<std::size_t> found;
  for (std::size_t i = 0; i < mPorts.size(); ++i) {
    if (mPorts[i].label == label && (type == PORT_TYPE_NONE || mPorts[i].type == type)) {
      found.push_back(i);
    }
  }
  return found;
}
