// The simulated site: devices and their ports, in site-file order, with the
// state or value each port holds now.
#ifndef VULOSIM_SITESTORE_H
#define VULOSIM_SITESTORE_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cObject.h"

struct SitePort {
  std::string label;
  uint32_t deviceSerial = 0;
  uint32_t portId = 0;
  // One of the four port types; PORT_TYPE_NONE never occurs in a store.
  ePortType type = PORT_TYPE_NONE;
  // Analogue ports (ain, aout): the current value.
  float value = 0.0f;
  // Analogue inputs held by the console's freeze: the value clients are
  // given while no trend event goes out; `value` meanwhile follows the model
  // and the console, so that the thaw reports the present. Unset: not frozen.
  std::optional<float> frozenValue;
  // Digital ports (din, dout): the current state; UNKNOWN until set.
  eObjectIOState state = OBJ_IO_STATE_UNKNOWN;
  // Number of set requests addressed to this port, applied or not.
  unsigned long setRequestCount = 0;

  // What clients and the console are given: the frozen value while there
  // is one, otherwise the current one.
  float servedValue() const { return frozenValue ? *frozenValue : value; }
};

bool isAnaloguePort(ePortType type);
bool isDigitalPort(ePortType type);
// "ain", "aout", "din", "dout"; "none" for PORT_TYPE_NONE.
const char* portTypeName(ePortType type);
// "SET", "CLEAR" or "UNKNOWN".
const char* ioStateName(eObjectIOState state);
// Equal values, where NaN equals NaN: a repeated NaN is not a change.
bool sameAnalogueValue(float a, float b);

class SiteStore {
 public:
  // Appends a port. False, with `error` saying why, when a port with the
  // same device serial and port id is already there.
  bool addPort(const SitePort& port, std::string& error);

  std::size_t size() const { return mPorts.size(); }
  SitePort& at(std::size_t index) { return mPorts.at(index); }
  const SitePort& at(std::size_t index) const { return mPorts.at(index); }
  const std::vector<SitePort>& ports() const { return mPorts; }

  // The first port with this label in site-file order; null when none has it.
  SitePort* findFirstByLabel(const std::string& label);
  // The port with this serial and id; null when there is none.
  SitePort* findByAddress(uint32_t deviceSerial, uint32_t portId);
  // Indices of every port with this label and type, in site-file order.
  // PORT_TYPE_NONE matches any type.
  std::vector<std::size_t> indicesOf(const std::string& label, ePortType type) const;

 private:
  std::vector<SitePort> mPorts;
};

#endif
