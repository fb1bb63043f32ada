#include "ElementChecks.h"

#include <algorithm>
#include <map>

#include "DaemonNumberReading.h"
#include "TextTools.h"

namespace {

std::string baseName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

const ParameterDefinition* scalarNamed(ParameterFile which, const std::string& name) {
  const auto& table =
      which == ParameterFile::Settings ? settingsParameters() : constantsParameters();
  for (const ParameterDefinition& definition : table) {
    if (name == definition.name) {
      return &definition;
    }
  }
  return nullptr;
}

// "unknown element <X> in <aircon>, ignored: did you mean label?"
std::string unknownElementMessage(const std::string& name, const std::string& where,
                                  const std::vector<std::string>& known,
                                  const std::vector<std::string>& knownElsewhere,
                                  const std::string& elsewhere) {
  std::string message = "unknown element <" + name + ">" + where + ", ignored";
  if (auto suggestion = nearestName(name, known)) {
    message += ": did you mean " + *suggestion + "?";
    if (equalsIgnoringCase(name, *suggestion)) {
      message += " (names are case-sensitive)";
    }
  } else if (auto other = nearestName(name, knownElsewhere)) {
    message += ": did you mean " + *other + " (in " + elsewhere + ")?";
  }
  return message;
}

void warnIfBlanksAround(const std::string& what, const std::string& label, const SeenFile& file,
                        long line, Findings& findings) {
  if (!label.empty() && trimBlanks(label) != label && !trimBlanks(label).empty()) {
    findings.warn(file.path, line,
                  what + " " + quoted(label) +
                      " has blanks or line breaks around the label: the daemon looks for a port "
                      "labelled with them included");
  }
}

void checkProbeLabel(const SeenElement& element, const SeenFile& file, Findings& findings) {
  if (element.text.empty()) {
    findings.warn(file.path, element.line,
                  element.name +
                      " is empty: the daemon looks for a port with an empty label, finds none "
                      "and stays idle");
    return;
  }
  warnIfBlanksAround(element.name, element.text, file, element.line, findings);
}

// The children of an <aircon> (withNumber) or a <fan>; the last <number> and
// <label> decide, as in the daemon.
struct OutputChildren {
  const SeenChild* number = nullptr;
  const SeenChild* label = nullptr;
  bool numberTextBad = false;
};

OutputChildren checkOutputChildren(const SeenElement& element, bool withNumber,
                                   const SeenFile& file, Findings& findings) {
  const std::string parent = "<" + element.name + ">";
  const std::vector<std::string> known =
      withNumber ? std::vector<std::string>{"number", "label"} : std::vector<std::string>{"label"};
  OutputChildren decided;
  std::map<std::string, long> firstLine;
  for (const SeenChild& child : element.children) {
    if (!contains(known, child.name)) {
      if (child.name == "number") {
        findings.warn(file.path, child.line, "<number> in <fan> is ignored: there is only one fan");
      } else {
        findings.warn(file.path, child.line,
                      unknownElementMessage(child.name, " in " + parent, known, {}, ""));
      }
      continue;
    }
    auto [first, inserted] = firstLine.emplace(child.name, child.line);
    if (!inserted) {
      findings.warn(file.path, child.line,
                    "<" + child.name + "> given again in this " + parent + " (first at line " +
                        std::to_string(first->second) + "): this later one wins");
    }
    if (child.name == "number") {
      decided.number = &child;
      auto problem = numberTextWarning("<number>", child.text, NumberKind::Integer, "");
      decided.numberTextBad = problem.has_value();
      if (problem) {
        findings.warn(file.path, child.line, *problem);
      }
    } else {
      decided.label = &child;
      warnIfBlanksAround("<label>", child.text, file, child.line, findings);
    }
  }
  return decided;
}

void checkAircon(const SeenElement& element, const SeenFile& file, Findings& findings) {
  if (element.children.empty()) {
    findings.warn(file.path, element.line,
                  "<aircon> has no <number> and no <label>: no air conditioner is set up");
    return;
  }
  const OutputChildren decided = checkOutputChildren(element, true, file, findings);
  if (decided.number == nullptr) {
    findings.warn(file.path, element.line,
                  "<aircon> has no <number>: this air conditioner is not set up");
  } else {
    const int number = parseInteger(decided.number->text.c_str());
    if (number == 0 && !decided.numberTextBad) {
      findings.warn(file.path, decided.number->line,
                    "<aircon> number 0: this air conditioner is not set up");
    } else if (number != 0 && number != 1 && number != 2) {
      findings.warn(file.path, decided.number->line,
                    "<aircon> number " + std::to_string(number) +
                        ": the daemon knows air conditioners 1 and 2 only and ignores this one");
    }
  }
  if (decided.label == nullptr) {
    findings.warn(file.path, element.line,
                  "<aircon> has no <label>: this air conditioner is not set up");
  } else if (decided.label->text.empty()) {
    findings.warn(file.path, decided.label->line,
                  "<label> is empty: this air conditioner is not set up");
  }
}

void checkFan(const SeenElement& element, const SeenFile& file, Findings& findings) {
  const OutputChildren decided = checkOutputChildren(element, false, file, findings);
  if (decided.label == nullptr) {
    findings.warn(file.path, element.line, "<fan> has no <label>: no fan is set up");
  } else if (decided.label->text.empty()) {
    findings.warn(file.path, decided.label->line, "<label> is empty: no fan is set up");
  }
}

std::string repeatMessage(const std::string& name, long firstLine) {
  const std::string first = " given again (first at line " + std::to_string(firstLine) + ")";
  if (name == "internalProbeLabel" || name == "externalProbeLabel") {
    return name + first + ": the daemon sets the probe up again and this label replaces the first";
  }
  if (name == "fan") {
    return "<fan>" + first + ": the daemon sets the fan up again and this label replaces the first";
  }
  return name + first + ": this later one wins";
}

void checkFileElements(const SeenConfiguration& seen, ParameterFile which, Findings& findings) {
  const SeenFile& file = seen.file(which);
  if (file.state != SeenFile::Read) {
    return;
  }
  const ParameterFile otherFile =
      which == ParameterFile::Settings ? ParameterFile::Constants : ParameterFile::Settings;
  const std::vector<std::string> known = knownElementNames(which);
  const std::vector<std::string> knownElsewhere = knownElementNames(otherFile);
  const std::string elsewhere = baseName(seen.file(otherFile).path);

  std::map<std::string, long> firstLine;
  for (const SeenElement& element : file.elements) {
    if (!contains(known, element.name)) {
      if (contains(knownElsewhere, element.name)) {
        findings.warn(file.path, element.line,
                      "<" + element.name + "> belongs in " + elsewhere + ": " +
                          baseName(file.path) + " ignores it");
      } else {
        findings.warn(file.path, element.line,
                      unknownElementMessage(element.name, "", known, knownElsewhere, elsewhere));
      }
      continue;
    }
    auto [first, inserted] = firstLine.emplace(element.name, element.line);
    if (!inserted && element.name != "aircon") {
      findings.warn(file.path, element.line, repeatMessage(element.name, first->second));
    }
    if (const ParameterDefinition* scalar = scalarNamed(which, element.name)) {
      if (auto problem = numberTextWarning(element.name, element.text,
                                           numberKindOf(scalar->conversion), scalar->unit)) {
        findings.warn(file.path, element.line, *problem);
      }
    } else if (element.name == "aircon") {
      checkAircon(element, file, findings);
    } else if (element.name == "fan") {
      checkFan(element, file, findings);
    } else {
      checkProbeLabel(element, file, findings);
    }
  }
}

// An air conditioner set up twice: the later label replaces the earlier.
void checkRepeatedAircons(const SeenConfiguration& seen, Findings& findings) {
  std::map<int, long> firstLine;
  for (const SeenSetupCall& call : seen.setupCalls) {
    if (call.kind != SeenSetupCall::Aircon || (call.airconNumber != 1 && call.airconNumber != 2)) {
      continue;
    }
    auto [first, inserted] = firstLine.emplace(call.airconNumber, call.line);
    if (!inserted) {
      findings.warn(seen.settings.path, call.line,
                    "aircon " + std::to_string(call.airconNumber) +
                        " is set up again (first at line " + std::to_string(first->second) +
                        "): this label replaces the first");
    }
  }
}

}  // namespace

std::vector<std::string> knownElementNames(ParameterFile which) {
  std::vector<std::string> names;
  if (which == ParameterFile::Settings) {
    for (const ParameterDefinition& definition : settingsParameters()) {
      names.push_back(definition.name);
    }
    for (const char* name : settingsPortElements()) {
      names.push_back(name);
    }
  } else {
    for (const ParameterDefinition& definition : constantsParameters()) {
      names.push_back(definition.name);
    }
  }
  return names;
}

void checkElements(const SeenConfiguration& seen, Findings& findings) {
  checkFileElements(seen, ParameterFile::Settings, findings);
  checkFileElements(seen, ParameterFile::Constants, findings);
  if (seen.settings.state == SeenFile::Read) {
    checkRepeatedAircons(seen, findings);
  }
}
