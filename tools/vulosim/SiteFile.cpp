#include "SiteFile.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>

namespace {

struct DocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocFree>;

std::string nodeName(const xmlNode* node) {
  return reinterpret_cast<const char*>(node->name);
}

bool isElement(const xmlNode* node) {
  return node->type == XML_ELEMENT_NODE;
}

// White space, comments and processing instructions may sit between
// elements; any other text is a mistake in the file.
bool isIgnorable(const xmlNode* node) {
  if (node->type == XML_COMMENT_NODE || node->type == XML_PI_NODE) {
    return true;
  }
  if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
    for (const xmlChar* c = node->content; c && *c; ++c) {
      if (!std::strchr(" \t\r\n", *c)) {
        return false;
      }
    }
    return true;
  }
  return false;
}

// Collects the problem found first, prefixed with the file and the line.
class SiteReader {
 public:
  SiteReader(const std::string& path, SiteStore& store) : mPath(path), mStore(store) {}

  bool read(const xmlNode* root);
  const std::string& error() const { return mError; }

 private:
  bool fail(const xmlNode* node, const std::string& problem) {
    long line = node ? xmlGetLineNo(node) : -1;
    mError = mPath + (line > 0 ? ":" + std::to_string(line) : "") + ": " + problem;
    return false;
  }
  bool readDevice(const xmlNode* device);
  bool readPort(const xmlNode* portNode, uint32_t serial);
  bool checkAttributes(const xmlNode* node, const std::set<std::string>& allowed);
  // Reads an attribute; false when it is absent.
  static bool attribute(const xmlNode* node, const char* name, std::string& value);
  bool unsignedAttribute(const xmlNode* node, const char* name, const std::string& where,
                         uint32_t& value);

  std::string mPath;
  SiteStore& mStore;
  std::string mError;
  std::set<uint32_t> mSerialsSeen;
};

bool SiteReader::attribute(const xmlNode* node, const char* name, std::string& value) {
  xmlChar* raw = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
  if (!raw) {
    return false;
  }
  value = reinterpret_cast<const char*>(raw);
  xmlFree(raw);
  return true;
}

bool SiteReader::checkAttributes(const xmlNode* node, const std::set<std::string>& allowed) {
  for (const xmlAttr* attr = node->properties; attr; attr = attr->next) {
    std::string name = reinterpret_cast<const char*>(attr->name);
    if (!allowed.count(name)) {
      return fail(node, "unknown attribute '" + name + "' on <" + nodeName(node) + ">");
    }
  }
  return true;
}

bool parseUnsigned32(const std::string& text, uint32_t& value) {
  if (text.empty() || text.size() > 10 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  unsigned long long parsed = std::strtoull(text.c_str(), nullptr, 10);
  if (parsed > UINT32_MAX) {
    return false;
  }
  value = static_cast<uint32_t>(parsed);
  return true;
}

bool parseFiniteFloat(const std::string& text, float& value) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) {
    return false;
  }
  char* end = nullptr;
  errno = 0;
  float parsed = std::strtof(text.c_str(), &end);
  if (*end != '\0' || errno == ERANGE || !std::isfinite(parsed)) {
    return false;
  }
  value = parsed;
  return true;
}

bool SiteReader::unsignedAttribute(const xmlNode* node, const char* name, const std::string& where,
                                   uint32_t& value) {
  std::string text;
  if (!attribute(node, name, text)) {
    return fail(node, where + ": missing attribute '" + name + "'");
  }
  if (!parseUnsigned32(text, value)) {
    return fail(node, where + ": attribute '" + name + "' is '" + text +
                          "', expected an unsigned 32-bit decimal number");
  }
  return true;
}

bool SiteReader::read(const xmlNode* root) {
  if (!root || nodeName(root) != "site") {
    return fail(root, std::string("document element is <") + (root ? nodeName(root) : "") +
                          ">, expected <site>");
  }
  if (!checkAttributes(root, {})) {
    return false;
  }
  for (const xmlNode* child = root->children; child; child = child->next) {
    if (isIgnorable(child)) {
      continue;
    }
    if (!isElement(child) || nodeName(child) != "device") {
      return fail(child, "unexpected " +
                             (isElement(child) ? "element <" + nodeName(child) + ">" : "text") +
                             " in <site>, expected <device>");
    }
    if (!readDevice(child)) {
      return false;
    }
  }
  return true;
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
  for (const xmlNode* child = device->children; child; child = child->next) {
    if (isIgnorable(child)) {
      continue;
    }
    if (!isElement(child) || nodeName(child) != "port") {
      return fail(child, "unexpected " +
                             (isElement(child) ? "element <" + nodeName(child) + ">" : "text") +
                             " in device " + std::to_string(serial) + ", expected <port>");
    }
    if (!readPort(child, serial)) {
      return false;
    }
  }
  return true;
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
    if (!isIgnorable(child)) {
      return fail(child, where + ": <port> must be empty");
    }
  }

  std::string type;
  if (!attribute(portNode, "type", type)) {
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

  if (!attribute(portNode, "label", port.label)) {
    return fail(portNode, where + ": missing attribute 'label'");
  }
  if (port.label.empty() || port.label.find_first_of(" \t\r\n\v\f") != std::string::npos) {
    return fail(portNode, where + ": label '" + port.label +
                              "' must be non-empty and contain no white space");
  }

  std::string text;
  if (attribute(portNode, "value", text)) {
    if (!isAnaloguePort(port.type)) {
      return fail(portNode, where + ": 'value' is for analogue ports, this one is " + type);
    }
    if (!parseFiniteFloat(text, port.value)) {
      return fail(portNode, where + ": value '" + text + "' is not a finite number");
    }
  }
  if (attribute(portNode, "state", text)) {
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

// libxml2's messages end in a line feed and may quote the input on further
// lines; the first line says what is wrong.
std::string firstLine(const char* text) {
  std::string s = text ? text : "";
  s = s.substr(0, s.find('\n'));
  while (!s.empty() && s.back() == ' ') {
    s.pop_back();
  }
  return s;
}

}  // namespace

bool loadSiteFile(const std::string& path, SiteStore& store, std::string& error) {
  // Opened first so that a missing file is reported as such, not as an XML error.
  if (FILE* probe = std::fopen(path.c_str(), "rb")) {
    std::fclose(probe);
  } else {
    error = path + ": cannot open: " + std::strerror(errno);
    return false;
  }
  xmlResetLastError();
  DocPtr doc(xmlReadFile(path.c_str(), nullptr,
                         XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
  if (!doc) {
    const xmlError* xmlErr = xmlGetLastError();
    error = path;
    if (xmlErr && xmlErr->line > 0) {
      error += ":" + std::to_string(xmlErr->line);
    }
    error += ": malformed XML: " +
             (xmlErr && xmlErr->message ? firstLine(xmlErr->message) : "unreadable");
    return false;
  }
  SiteReader reader(path, store);
  if (!reader.read(xmlDocGetRootElement(doc.get()))) {
    error = reader.error();
    return false;
  }
  return true;
}
