#include "parameterFiles.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include "Globals.h"

namespace {

ParameterDefinition byteParameter(const char* name, uint8_t& target) {
  return {name, ParameterConversion::Byte, &target, ""};
}

ParameterDefinition unsignedParameter(const char* name, uint32_t& target) {
  return {name, ParameterConversion::Unsigned, &target, "passes"};
}

ParameterDefinition floatParameter(const char* name, float& target, const char* unit) {
  return {name, ParameterConversion::Float, &target, unit};
}

// Only elements count: text, comments and processing instructions between
// them are ignored whatever their names.
bool nameIs(const xmlNode* node, const char* name) {
  return node->type == XML_ELEMENT_NODE &&
         xmlStrcmp(node->name, reinterpret_cast<const xmlChar*>(name)) == 0;
}

// The element's whole text content (all descendant text, untrimmed), or
// nothing when libxml2 gives none. Released on destruction.
class NodeText {
 public:
  explicit NodeText(const xmlNode* node) : mText(xmlNodeGetContent(node)) {}
  ~NodeText() { xmlFree(mText); }
  NodeText(const NodeText&) = delete;
  NodeText& operator=(const NodeText&) = delete;

  bool present() const { return mText != nullptr; }
  const char* c_str() const { return reinterpret_cast<const char*>(mText); }

 private:
  xmlChar* mText;
};

// Reads the `number` and `label` children of an `aircon` or `fan` element:
// the last `label` decides, an empty one clears it.
struct OutputElement {
  int number = 0;
  std::string label;
  bool hasLabel = false;
};

OutputElement readOutputElement(const xmlNode* element, bool withNumber) {
  OutputElement output;
  for (const xmlNode* child = element->children; child; child = child->next) {
    if (withNumber && nameIs(child, "number")) {
      NodeText text(child);
      if (text.present()) {
        output.number = parseInteger(text.c_str());
      }
    } else if (nameIs(child, "label")) {
      NodeText text(child);
      output.hasLabel = text.present() && *text.c_str() != '\0';
      output.label = output.hasLabel ? text.c_str() : "";
    }
  }
  return output;
}

bool storeIfScalar(const std::vector<ParameterDefinition>& definitions, const xmlNode* node) {
  for (const ParameterDefinition& definition : definitions) {
    if (nameIs(node, definition.name)) {
      NodeText text(node);
      if (text.present()) {
        storeParameter(definition, text.c_str());
      }
      return true;
    }
  }
  return false;
}

void callWithLabelCopy(bool (*setupCall)(const char*), const xmlNode* node) {
  NodeText text(node);
  // The set-up call gets a copy of its own, released when it returns.
  std::string label = text.present() ? text.c_str() : "";
  setupCall(label.c_str());
}

void readSettingsElement(const xmlNode* node, const PortSetupCalls& setup) {
  if (storeIfScalar(settingsParameters(), node)) {
    return;
  }
  if (nameIs(node, "internalProbeLabel")) {
    callWithLabelCopy(setup.internalProbe, node);
  } else if (nameIs(node, "externalProbeLabel")) {
    callWithLabelCopy(setup.externalProbe, node);
  } else if (nameIs(node, "aircon")) {
    if (node->children == nullptr) {
      return;
    }
    OutputElement aircon = readOutputElement(node, true);
    if (aircon.hasLabel && aircon.number != 0) {
      setup.aircon(aircon.label.c_str(), aircon.number);
    }
  } else if (nameIs(node, "fan")) {
    OutputElement fan = readOutputElement(node, false);
    if (fan.hasLabel) {
      setup.fan(fan.label.c_str());
    }
  }
}

// Parses one file and hands each child of `config` to `readElement`, in
// document order.
template <typename ReadElement>
void readConfigFile(const char* path, ReadElement readElement) {
  xmlDocPtr document = xmlParseFile(path);
  if (document == nullptr) {
    std::puts("Failed to open xml file");
  } else {
    const xmlNode* root = xmlDocGetRootElement(document);
    if (root != nullptr && nameIs(root, "config")) {
      for (const xmlNode* child = root->children; child; child = child->next) {
        readElement(child);
      }
    }
    xmlFreeDoc(document);
  }
  xmlCleanupParser();
}

}  // namespace

const std::vector<ParameterDefinition>& settingsParameters() {
  static const std::vector<ParameterDefinition> definitions = {
      byteParameter("airconRotation", airconRotation),
      byteParameter("useFreeAir", useFreeAir),
      byteParameter("useFanInHiTemp", useFanInHiTemp),
      floatParameter("goalTemperature", goalTemperature, "degC"),
  };
  return definitions;
}

const std::vector<ParameterDefinition>& constantsParameters() {
  static const std::vector<ParameterDefinition> definitions = {
      floatParameter("maximumExtAboveIntTemperature", maximumExtAboveIntTemperature, "degC"),
      floatParameter("hiTemperaturePullIn", hiTemperaturePullIn, "degC"),
      floatParameter("aircon1PullIn", aircon1PullIn, "degC"),
      floatParameter("aircon2PullIn", aircon2PullIn, "degC"),
      floatParameter("coolingPullIn", coolingPullIn, "degC"),
      floatParameter("hiTempFanPullIn", hiTempFanPullIn, "degC"),
      floatParameter("aircon1DropOut", aircon1DropOut, "degC"),
      floatParameter("aircon2DropOut", aircon2DropOut, "degC"),
      floatParameter("hiTemperatureDropOut", hiTemperatureDropOut, "degC"),
      byteParameter("numberOfAircons", numberOfAircons),
      unsignedParameter("aircon1MinimumRunTimeValue", aircon1MinimumRunTimeValue),
      unsignedParameter("aircon2MinimumRunTimeValue", aircon2MinimumRunTimeValue),
      unsignedParameter("airconRunTimeAfterDropOutValue", airconRunTimeAfterDropOutValue),
      unsignedParameter("fanMinimumRunTimePreCoolingValue", fanMinimumRunTimePreCoolingValue),
      unsignedParameter("airconFailRetryPeriod", airconFailRetryPeriod),
      unsignedParameter("fanRampDownTimeValue", fanRampDownTimeValue),
      unsignedParameter("fanRampUpTimeValue", fanRampUpTimeValue),
      unsignedParameter("fanMinimumRunTimePreAirconValue", fanMinimumRunTimePreAirconValue),
      unsignedParameter("fanSpeedIncreaseTimeOutValue", fanSpeedIncreaseTimeOutValue),
      unsignedParameter("fanSpeedDecreaseTimeOutValue", fanSpeedDecreaseTimeOutValue),
      floatParameter("fanSpeedStepUpSize", fanSpeedStepUpSize, "%"),
      floatParameter("fanSpeedStepDownSize", fanSpeedStepDownSize, "%"),
  };
  return definitions;
}

int32_t parseInteger(const char* text) {
  long value = std::strtol(text, nullptr, 10);
  if (value > INT_MAX) {
    return INT_MAX;
  }
  if (value < INT_MIN) {
    return INT_MIN;
  }
  return static_cast<int32_t>(value);
}

void storeParameter(const ParameterDefinition& definition, const char* text) {
  switch (definition.conversion) {
    case ParameterConversion::Byte:
      *static_cast<uint8_t*>(definition.target) =
          static_cast<uint8_t>(static_cast<uint32_t>(parseInteger(text)));
      break;
    case ParameterConversion::Unsigned:
      *static_cast<uint32_t*>(definition.target) = static_cast<uint32_t>(parseInteger(text));
      break;
    case ParameterConversion::Float:
      *static_cast<float*>(definition.target) = static_cast<float>(std::strtod(text, nullptr));
      break;
  }
}

void readParameterFiles(const char* settingsPath, const char* constantsPath,
                        const PortSetupCalls& setup) {
  readConfigFile(settingsPath, [&](const xmlNode* node) { readSettingsElement(node, setup); });
  readConfigFile(constantsPath,
                 [](const xmlNode* node) { storeIfScalar(constantsParameters(), node); });
}
