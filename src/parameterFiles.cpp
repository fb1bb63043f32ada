#include "parameterFiles.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlstring.h>

#include "Globals.h"

namespace {

ParameterDefinition byteParameter(const char* name, uint8_t& target,
                                  ParameterUse use = ParameterUse::Always) {
  return {name, ParameterConversion::Byte, &target, "", use};
}

ParameterDefinition unsignedParameter(const char* name, uint32_t& target,
                                      ParameterUse use = ParameterUse::Always) {
  return {name, ParameterConversion::Unsigned, &target, "passes", use};
}

ParameterDefinition floatParameter(const char* name, float& target, const char* unit,
                                   ParameterUse use = ParameterUse::Always) {
  return {name, ParameterConversion::Float, &target, unit, use};
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

// Where the reader is, for the observer.
struct ReadingContext {
  const char* path;
  ParameterFileObserver* observer;
};

void reportOutputChildren(const xmlNode* element, const ReadingContext& context) {
  if (context.observer == nullptr) {
    return;
  }
  for (const xmlNode* child = element->children; child; child = child->next) {
    if (child->type == XML_ELEMENT_NODE) {
      NodeText text(child);
      context.observer->outputChildElement(context.path,
                                           reinterpret_cast<const char*>(element->name),
                                           reinterpret_cast<const char*>(child->name),
                                           xmlGetLineNo(child), text.present() ? text.c_str() : "");
    }
  }
}

OutputElement readOutputElement(const xmlNode* element, bool withNumber,
                                const ReadingContext& context) {
  reportOutputChildren(element, context);
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

void readSettingsElement(const xmlNode* node, const PortSetupCalls& setup,
                         const ReadingContext& context) {
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
    OutputElement aircon = readOutputElement(node, true, context);
    if (aircon.hasLabel && aircon.number != 0) {
      setup.aircon(aircon.label.c_str(), aircon.number);
    }
  } else if (nameIs(node, "fan")) {
    OutputElement fan = readOutputElement(node, false, context);
    if (fan.hasLabel) {
      setup.fan(fan.label.c_str());
    }
  }
}

// What entity references may add to a document: bytes of text and nodes
// visited behind references. libxml2 keeps references in the tree, and
// xmlNodeGetContent expands them anew on every read, so a few kilobytes of
// nested references could stand for terabytes of text.
constexpr std::size_t kMaxEntityTextBytes = 1024 * 1024;
constexpr std::size_t kMaxEntityNodes = 100000;
// Nesting the walk follows (the parser itself stops at 256 elements).
constexpr int kMaxWalkDepth = 1024;

struct EntityBudget {
  std::size_t textBytes = 0;
  std::size_t nodes = 0;
  bool spent() const { return textBytes > kMaxEntityTextBytes || nodes > kMaxEntityNodes; }
};

// Walks `node` and its next siblings as xmlNodeGetContent reads them,
// following entity references, and charges what lies behind a reference to
// `budget`. False once the budget is spent or the walk goes too deep.
bool withinEntityBudget(xmlDoc* document, const xmlNode* node, bool behindReference, int depth,
                        EntityBudget& budget) {
  if (depth > kMaxWalkDepth) {
    return false;
  }
  for (; node != nullptr; node = node->next) {
    if (behindReference) {
      ++budget.nodes;
      if ((node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) &&
          node->content != nullptr) {
        budget.textBytes += static_cast<std::size_t>(xmlStrlen(node->content));
      }
      if (budget.spent()) {
        return false;
      }
    }
    const xmlNode* inner = nullptr;
    bool innerBehindReference = behindReference;
    if (node->type == XML_ENTITY_REF_NODE) {
      const xmlEntity* entity = xmlGetDocEntity(document, node->name);
      inner = entity != nullptr ? entity->children : nullptr;
      innerBehindReference = true;
    } else if (node->type == XML_ELEMENT_NODE) {
      inner = node->children;
    }
    if (inner != nullptr &&
        !withinEntityBudget(document, inner, innerBehindReference, depth + 1, budget)) {
      return false;
    }
  }
  return true;
}

// Parses a parameter file without touching the network and without loading
// a DTD or an external entity (no XML_PARSE_DTDLOAD, no XML_PARSE_NOENT: an
// external entity reads as empty text). Entities stay references, and a
// document whose references would expand past the entity budget is refused
// with a line on standard error. Null when the file cannot be used.
xmlDocPtr parseParameterDocument(const char* path) {
  xmlDocPtr document = xmlReadFile(path, nullptr, XML_PARSE_NONET);
  if (document == nullptr) {
    return nullptr;
  }
  EntityBudget budget;
  if (!withinEntityBudget(document, document->children, false, 0, budget)) {
    std::fprintf(stderr,
                 "%s: entity references expand to more than %zu bytes or %zu nodes; "
                 "file not read\n",
                 path, kMaxEntityTextBytes, kMaxEntityNodes);
    xmlFreeDoc(document);
    return nullptr;
  }
  return document;
}

// libxml2 grows the buffer it gathers an element's text in by exactly what
// each piece adds. Where realloc cannot grow a block in place (valgrind, the
// sanitizers, small C libraries) an element of many pieces (text between
// comments, entity references) is copied whole once per piece: a 1 KB file
// could take seconds. Doubling keeps gathering linear; the caller's scheme
// comes back before the parser is cleaned up.
class DoublingTextBuffers {
 public:
  DoublingTextBuffers() : mPrevious(xmlGetBufferAllocationScheme()) {
    xmlSetBufferAllocationScheme(XML_BUFFER_ALLOC_DOUBLEIT);
  }
  ~DoublingTextBuffers() { xmlSetBufferAllocationScheme(mPrevious); }
  DoublingTextBuffers(const DoublingTextBuffers&) = delete;
  DoublingTextBuffers& operator=(const DoublingTextBuffers&) = delete;

 private:
  xmlBufferAllocationScheme mPrevious;
};

// Parses one file and hands each child of `config` to `readElement`, in
// document order.
template <typename ReadElement>
void readConfigFile(const ReadingContext& context, ReadElement readElement) {
  xmlDocPtr document = parseParameterDocument(context.path);
  if (document == nullptr) {
    std::puts("Failed to open xml file");
    if (context.observer) {
      context.observer->fileNotParsed(context.path);
    }
  } else {
    DoublingTextBuffers doubling;
    const xmlNode* root = xmlDocGetRootElement(document);
    if (root != nullptr && nameIs(root, "config")) {
      for (const xmlNode* child = root->children; child; child = child->next) {
        if (context.observer && child->type == XML_ELEMENT_NODE) {
          NodeText text(child);
          context.observer->configElement(context.path, reinterpret_cast<const char*>(child->name),
                                          xmlGetLineNo(child), text.present() ? text.c_str() : "");
        }
        readElement(child);
      }
    } else if (context.observer) {
      context.observer->otherDocumentElement(context.path,
                                             root ? reinterpret_cast<const char*>(root->name) : "",
                                             root ? xmlGetLineNo(root) : 0);
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
      floatParameter("goalTemperature", goalTemperature, "degC", ParameterUse::FreeAir),
  };
  return definitions;
}

const std::vector<ParameterDefinition>& constantsParameters() {
  using Use = ParameterUse;
  static const std::vector<ParameterDefinition> definitions = {
      floatParameter("maximumExtAboveIntTemperature", maximumExtAboveIntTemperature, "degC",
                     Use::FreeAir),
      floatParameter("hiTemperaturePullIn", hiTemperaturePullIn, "degC"),
      floatParameter("aircon1PullIn", aircon1PullIn, "degC", Use::FreeAirOrAircon),
      floatParameter("aircon2PullIn", aircon2PullIn, "degC", Use::SecondAircon),
      floatParameter("coolingPullIn", coolingPullIn, "degC", Use::FreeAir),
      floatParameter("hiTempFanPullIn", hiTempFanPullIn, "degC", Use::EmergencyFanBand),
      floatParameter("aircon1DropOut", aircon1DropOut, "degC", Use::Aircon),
      floatParameter("aircon2DropOut", aircon2DropOut, "degC", Use::SecondAircon),
      floatParameter("hiTemperatureDropOut", hiTemperatureDropOut, "degC"),
      byteParameter("numberOfAircons", numberOfAircons),
      unsignedParameter("aircon1MinimumRunTimeValue", aircon1MinimumRunTimeValue, Use::Aircon),
      unsignedParameter("aircon2MinimumRunTimeValue", aircon2MinimumRunTimeValue,
                        Use::SecondAircon),
      unsignedParameter("airconRunTimeAfterDropOutValue", airconRunTimeAfterDropOutValue,
                        Use::FreeAirAndAircon),
      unsignedParameter("fanMinimumRunTimePreCoolingValue", fanMinimumRunTimePreCoolingValue,
                        Use::FreeAir),
      unsignedParameter("airconFailRetryPeriod", airconFailRetryPeriod, Use::Never),
      unsignedParameter("fanRampDownTimeValue", fanRampDownTimeValue, Use::Aircon),
      unsignedParameter("fanRampUpTimeValue", fanRampUpTimeValue, Use::EmergencyFanBand),
      unsignedParameter("fanMinimumRunTimePreAirconValue", fanMinimumRunTimePreAirconValue,
                        Use::FreeAir),
      unsignedParameter("fanSpeedIncreaseTimeOutValue", fanSpeedIncreaseTimeOutValue, Use::FreeAir),
      unsignedParameter("fanSpeedDecreaseTimeOutValue", fanSpeedDecreaseTimeOutValue, Use::FreeAir),
      floatParameter("fanSpeedStepUpSize", fanSpeedStepUpSize, "%", Use::FreeAir),
      floatParameter("fanSpeedStepDownSize", fanSpeedStepDownSize, "%", Use::FreeAir),
  };
  return definitions;
}

bool parameterInUse(ParameterUse use, unsigned numberOfAircons, unsigned useFreeAir,
                    unsigned useFanInHiTemp) {
  const bool aircon = numberOfAircons != 0;
  const bool freeAir = useFreeAir == 1;
  switch (use) {
    case ParameterUse::Always:
      return true;
    case ParameterUse::FreeAir:
      return freeAir;
    case ParameterUse::FreeAirOrAircon:
      return freeAir || aircon;
    case ParameterUse::Aircon:
      return aircon;
    case ParameterUse::SecondAircon:
      return numberOfAircons >= 2;
    case ParameterUse::FreeAirAndAircon:
      return freeAir && aircon;
    case ParameterUse::EmergencyFanBand:
      return useFanInHiTemp == 1 && freeAir && aircon;
    case ParameterUse::Never:
      return false;
  }
  return true;
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

const std::vector<const char*>& settingsPortElements() {
  static const std::vector<const char*> names = {"internalProbeLabel", "externalProbeLabel",
                                                 "aircon", "fan"};
  return names;
}

void readParameterFiles(const char* settingsPath, const char* constantsPath,
                        const PortSetupCalls& setup, ParameterFileObserver* observer) {
  const ReadingContext settings{settingsPath, observer};
  readConfigFile(settings,
                 [&](const xmlNode* node) { readSettingsElement(node, setup, settings); });
  readConfigFile(ReadingContext{constantsPath, observer},
                 [](const xmlNode* node) { storeIfScalar(constantsParameters(), node); });
}

namespace {

// Where the recording set-up calls write; one reading at a time per thread.
thread_local std::vector<PortSetupRequest>* recordedRequests = nullptr;

bool recordRequest(PortSetupRequest::Kind kind, const char* label, int number) {
  recordedRequests->push_back(PortSetupRequest{kind, label, number});
  return true;
}
bool recordInternalProbe(const char* label) {
  return recordRequest(PortSetupRequest::InternalProbe, label, 0);
}
bool recordExternalProbe(const char* label) {
  return recordRequest(PortSetupRequest::ExternalProbe, label, 0);
}
bool recordAircon(const char* label, int number) {
  return recordRequest(PortSetupRequest::Aircon, label, number);
}
bool recordFan(const char* label) {
  return recordRequest(PortSetupRequest::Fan, label, 0);
}

}  // namespace

std::vector<PortSetupRequest> readParameterFilesRecordingSetup(const char* settingsPath,
                                                               const char* constantsPath,
                                                               ParameterFileObserver* observer) {
  std::vector<PortSetupRequest> requests;
  std::vector<PortSetupRequest>* const outer = recordedRequests;
  recordedRequests = &requests;
  const PortSetupCalls recording = {recordInternalProbe, recordExternalProbe, recordAircon,
                                    recordFan};
  readParameterFiles(settingsPath, constantsPath, recording, observer);
  recordedRequests = outer;
  return requests;
}

void zeroAllParameters() {
  for (const auto* table : {&settingsParameters(), &constantsParameters()}) {
    for (const ParameterDefinition& definition : *table) {
      storeParameter(definition, "0");
    }
  }
}
