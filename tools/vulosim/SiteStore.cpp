#include "SiteStore.h"

#include <cmath>

bool isAnaloguePort(ePortType type) {
  return type == PORT_TYPE_ANALOG_IN || type == PORT_TYPE_ANALOG_OUT;
}

bool isDigitalPort(ePortType type) {
  return type == PORT_TYPE_DISCRETE_IN || type == PORT_TYPE_DISCRETE_OUT;
}

const char* portTypeName(ePortType type) {
  // By value: PORT_TYPE_NONE is 0, PORT_TYPE_ANALOG_OUT 4.
  static const char* const kNames[] = {"none", "din", "dout", "ain", "aout"};
  return type <= PORT_TYPE_ANALOG_OUT ? kNames[type] : "none";
}

const char* ioStateName(eObjectIOState state) {
  // By value: OBJ_IO_STATE_UNKNOWN is 0, OBJ_IO_STATE_CLEAR 2.
  static const char* const kNames[] = {"UNKNOWN", "SET", "CLEAR"};
  return state <= OBJ_IO_STATE_CLEAR ? kNames[state] : "UNKNOWN";
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
