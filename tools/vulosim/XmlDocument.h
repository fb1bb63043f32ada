// Loading the simulator's XML files (site and model) and the small pieces
// their readers share: node names, attributes, and problems that name the
// file and the line.
#ifndef VULOSIM_XMLDOCUMENT_H
#define VULOSIM_XMLDOCUMENT_H

#include <libxml/tree.h>

#include <memory>
#include <set>
#include <string>
#include <utility>

struct XmlDocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using XmlDocPtr = std::unique_ptr<xmlDoc, XmlDocFree>;

// Parses the file at `path` without network access and without libxml2
// printing anything. Null on failure, with `error` "PATH: cannot open: WHY"
// or "PATH[:LINE]: malformed XML: WHAT".
XmlDocPtr readXmlFile(const std::string& path, std::string& error);

std::string xmlNodeName(const xmlNode* node);

// True for what may sit between elements: white space, comments and
// processing instructions. Any other text is a mistake in the file.
bool isIgnorableXmlNode(const xmlNode* node);

// Reads attribute `name` of `node` into `value`; false (value untouched)
// when it is absent.
bool readXmlAttribute(const xmlNode* node, const char* name, std::string& value);

// Base of a reader of one document: keeps the problem found first, prefixed
// with the file and the line of the node where it was found.
class XmlDocumentReader {
 public:
  // Empty until a problem was found.
  const std::string& error() const { return mError; }

 protected:
  explicit XmlDocumentReader(std::string path) : mPath(std::move(path)) {}

  // Records "PATH[:LINE]: problem" (no line for a null node) and returns
  // false, so that a check can end with `return fail(...)`.
  bool fail(const xmlNode* node, const std::string& problem);
  // Fails on the first attribute of `node` that is not in `allowed`.
  bool checkAttributes(const xmlNode* node, const std::set<std::string>& allowed);
  // Fails unless `root` (null for an empty document) is <`name`> without
  // attributes.
  bool checkDocumentElement(const xmlNode* root, const std::string& name);

  const std::string mPath;

 private:
  std::string mError;
};

#endif
