#include "SiteFile.h"

#include <cstdint>
#include <functional>
#include <set>

#include "NumberText.h"
#include "XmlDocument.h"

namespace {

bool isElement(const xmlNode* node) {
  return node->type == XML_ELEMENT_NODE;
}

// Reads <site> into the store: each device and its ports.
class SiteReader : public XmlDocumentReader {
 public:
  SiteReader(const std::string& path, SiteStore& store) : XmlDocumentReader(path), mStore(store) {}

  bool read(const xmlNode* root);

 private:
  bool readDevice(const xmlNode* device);
  bool readPort(const xmlNode* portNode, uint32_t serial);
  // Reads every child of `parent` with `read`; each must be an element
  // `name` (white space and comments aside). `in` names the parent.
  bool forEachChild(const xmlNode* parent, const char* name, const std::string& in,
                    const std::function<bool(const xmlNode*)>& read);
  bool unsignedAttribute(const xmlNode* node, const char* name, const std::string& where,
                         uint32_t& value);

  SiteStore& mStore;
  std::set<uint32_t> mSerialsSeen;
};

bool SiteReader::unsignedAttribute(const xmlNode* node, const char* name, const std::string& where,
                                   uint32_t& value) {
  std::string text;
  if (!readXmlAttribute(node, name, text)) {
    return fail(node, where + ": missing attribute '" + name + "'");
  }
  if (!parseUnsigned32(text, value)) {
    return fail(node, where + ": attribute '" + name + "' is '" + text +
                          "', expected an unsigned 32-bit decimal number");
  }
  return true;
}

bool SiteReader::forEachChild(const xmlNode* parent, const char* name, const std::string& in,
                              const std::function<bool(const xmlNode*)>& read) {
  for (const xmlNode* child = parent->children; child; child = child->next) {
    if (isIgnorableXmlNode(child)) {
      continue;
    }
    if (!isElement(child) || xmlNodeName(child) != name) {
      return fail(child, "unexpected " +
                             (isElement(child) ? "element <" + xmlNodeName(child) + ">" : "text") +
                             " in " + in + ", expected <" + name + ">");
    }
    if (!read(child)) {
      return false;
    }
  }
  return true;
}

bool SiteReader::read(const xmlNode* root) {
  return checkDocumentElement(root, "site") &&
         forEachChild(root, "device", "<site>",
                      [this](const xmlNode* device) { return readDevice(device); });
}

bool SiteReader::readDevice(const xmlNode* device) {
  uint32_t serial = 0;
  if (!checkAttributes(device, {"serial"}) ||
      !unsignedAttribute(device, "serial", "device", serial)) {
    return false;
  }
  if (!mSerialsSeen.insert(serial).second) {
    return fail(device, "device " + std::to_string(serial) + " is listed twice");
  }
  return forEachChild(device, "port", "device " + std::to_string(serial),
                      [this, serial](const xmlNode* port) { return readPort(port, serial); });
}

bool SiteReader::readPort(const xmlNode* portNode, uint32_t serial) {
  const std::string device = "device " + std::to_string(serial);
  SitePort port;
  port.deviceSerial = serial;
  if (!checkAttributes(portNode, {"id", "type", "label", "value", "state"}) ||
      !unsignedAttribute(portNode, "id", "port of " + device, port.portId)) {
    return false;
  }
  const std::string where = device + " port " + std::to_string(port.portId);
  for (const xmlNode* child = portNode->children; child; child = child->next) {
    if (!isIgnorableXmlNode(child)) {
      return fail(child, where + ": <port> must be empty");
    }
  }

  std::string type;
  if (!readXmlAttribute(portNode, "type", type)) {
    return fail(portNode, where + ": missing attribute 'type'");
  }
  if (type == "ain") {
    port.type = PORT_TYPE_ANALOG_IN;
  } else if (type == "aout") {
    port.type = PORT_TYPE_ANALOG_OUT;
  } else if (type == "din") {
    port.type = PORT_TYPE_DISCRETE_IN;
  } else if (type == "dout") {
    port.type = PORT_TYPE_DISCRETE_OUT;
  } else {
    return fail(portNode, where + ": unknown type '" + type + "', expected ain, aout, din or dout");
  }

  if (!readXmlAttribute(portNode, "label", port.label)) {
    return fail(portNode, where + ": missing attribute 'label'");
  }
  if (port.label.empty() || port.label.find_first_of(" \t\r\n\v\f") != std::string::npos) {
    return fail(portNode, where + ": label '" + port.label +
                              "' must be non-empty and contain no white space");
  }

  std::string text;
  if (readXmlAttribute(portNode, "value", text)) {
    if (!isAnaloguePort(port.type)) {
      return fail(portNode, where + ": 'value' is for analogue ports, this one is " + type);
    }
    if (!parseFiniteFloat(text, port.value)) {
      return fail(portNode, where + ": value '" + text + "' is not a finite number");
    }
  }
  if (readXmlAttribute(portNode, "state", text)) {
    if (!isDigitalPort(port.type)) {
      return fail(portNode, where + ": 'state' is for digital ports, this one is " + type);
    }
    if (text == "set") {
      port.state = OBJ_IO_STATE_SET;
    } else if (text == "clear") {
      port.state = OBJ_IO_STATE_CLEAR;
    } else {
      return fail(portNode, where + ": state '" + text + "' is not 'set' or 'clear'");
    }
  }

  std::string duplicate;
  if (!mStore.addPort(port, duplicate)) {
    return fail(portNode, duplicate);
  }
  return true;
}

}  // namespace

bool loadSiteFile(const std::string& path, SiteStore& store, std::string& error) {
  XmlDocPtr doc = readXmlFile(path, error);
  if (!doc) {
    return false;
  }
  SiteReader reader(path, store);
  if (!reader.read(xmlDocGetRootElement(doc.get()))) {
    error = reader.error();
    return false;
  }
  return true;
}
