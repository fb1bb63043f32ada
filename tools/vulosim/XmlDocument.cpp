#include "XmlDocument.h"

#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

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

XmlDocPtr readXmlFile(const std::string& path, std::string& error) {
  // Opened first so that a missing file is reported as such, not as an XML error.
  if (FILE* probe = std::fopen(path.c_str(), "rb")) {
    std::fclose(probe);
  } else {
    error = path + ": cannot open: " + std::strerror(errno);
    return nullptr;
  }
  xmlResetLastError();
  XmlDocPtr doc(xmlReadFile(path.c_str(), nullptr,
                            XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
  if (!doc) {
    const xmlError* xmlErr = xmlGetLastError();
    error = path;
    if (xmlErr && xmlErr->line > 0) {
      error += ":" + std::to_string(xmlErr->line);
    }
    error += ": malformed XML: " +
             (xmlErr && xmlErr->message ? firstLine(xmlErr->message) : "unreadable");
  }
  return doc;
}

std::string xmlNodeName(const xmlNode* node) {
  return reinterpret_cast<const char*>(node->name);
}

bool isIgnorableXmlNode(const xmlNode* node) {
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

bool readXmlAttribute(const xmlNode* node, const char* name, std::string& value) {
  xmlChar* raw = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
  if (!raw) {
    return false;
  }
  value = reinterpret_cast<const char*>(raw);
  xmlFree(raw);
  return true;
}

bool XmlDocumentReader::fail(const xmlNode* node, const std::string& problem) {
  const long line = node ? xmlGetLineNo(node) : -1;
  mError = mPath + (line > 0 ? ":" + std::to_string(line) : "") + ": " + problem;
  return false;
}

bool XmlDocumentReader::checkAttributes(const xmlNode* node, const std::set<std::string>& allowed) {
  for (const xmlAttr* attr = node->properties; attr; attr = attr->next) {
    const std::string name = reinterpret_cast<const char*>(attr->name);
    if (!allowed.count(name)) {
      return fail(node, "unknown attribute '" + name + "' on <" + xmlNodeName(node) + ">");
    }
  }
  return true;
}

bool XmlDocumentReader::checkDocumentElement(const xmlNode* root, const std::string& name) {
  if (!root || xmlNodeName(root) != name) {
    return fail(root, "document element is <" + (root ? xmlNodeName(root) : std::string()) +
                          ">, expected <" + name + ">");
  }
  return checkAttributes(root, {});
}
