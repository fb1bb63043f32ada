// What the daemon's parameter-file reader sees in the two XML files: every
// element, every port set-up call it would make, and the values it leaves
// in the controller's parameters. Read through the daemon's own reader with
// set-up calls that only record (nothing connects).
#ifndef FRIGEL_CHECK_PARAMETERREADING_H
#define FRIGEL_CHECK_PARAMETERREADING_H

#include <cstdint>
#include <string>
#include <vector>

#include "parameterFiles.h"

enum class ParameterFile { Settings, Constants };

// A child element of <aircon> or <fan>.
struct SeenChild {
  std::string name;
  long line = 0;
  std::string text;  // whole text content, untrimmed
};

// A child element of <config>, known to the daemon or not.
struct SeenElement {
  std::string name;
  long line = 0;
  std::string text;                 // whole text content, untrimmed
  std::vector<SeenChild> children;  // filled for <aircon> and <fan> only
};

struct SeenFile {
  enum State {
    Read,                  // parsed, document element <config>
    NotParsed,             // missing, unreadable or not well-formed
    OtherDocumentElement,  // parsed, but the daemon reads nothing from it
  };
  std::string path;
  State state = Read;
  std::string problem;                // NotParsed: why; OtherDocumentElement: the element's name
  long problemLine = 0;               // where, when known; 0 otherwise
  std::vector<SeenElement> elements;  // children of <config>, in document order
};

// One port set-up the settings file triggers, in the order the daemon makes them.
struct SeenSetupCall {
  enum Kind { InternalProbe, ExternalProbe, Aircon, Fan };
  Kind kind = InternalProbe;
  std::string label;
  int airconNumber = 0;  // Aircon only: as passed (the daemon ignores all but 1 and 2)
  long line = 0;         // the element holding the label: the probe element, or <label>
};

// One scalar parameter as the controller ends up with it.
struct EffectiveValue {
  ParameterDefinition definition;  // name, conversion, unit (target: the daemon's variable)
  ParameterFile file;
  double value = 0;      // the stored uint8, uint32 or float, exactly
  bool present = false;  // false: no such element, so the variable stayed 0
  long line = 0;         // the occurrence that set it (the last one); 0 when absent
  std::string text;      // that occurrence's text
};

struct SeenConfiguration {
  SeenFile settings;
  SeenFile constants;
  std::vector<SeenSetupCall> setupCalls;
  std::vector<EffectiveValue> values;  // settings parameters, then constants, in table order

  // The value named `name`; null for a name that is not a scalar parameter.
  const EffectiveValue* find(const std::string& name) const;
  // The value the daemon stores in `variable` (&aircon1PullIn); null for a
  // variable that no parameter sets.
  const EffectiveValue* findByVariable(const void* variable) const;
  const SeenFile& file(ParameterFile which) const {
    return which == ParameterFile::Settings ? settings : constants;
  }
  // Both files were read; only then do the values say what the daemon runs with.
  bool bothRead() const {
    return settings.state == SeenFile::Read && constants.state == SeenFile::Read;
  }
};

// Reads both files with the daemon's reader. Nothing is printed: the
// reader's own "Failed to open xml file" and libxml2's diagnostics are
// turned into SeenFile::problem. Uses the controller's parameter variables
// (they are zeroed first), so it is not re-entrant.
SeenConfiguration readConfiguration(const std::string& settingsPath,
                                    const std::string& constantsPath);

#endif
