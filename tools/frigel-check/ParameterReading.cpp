#include "ParameterReading.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>

#include <libxml/xmlerror.h>

#include "TextTools.h"

namespace {

// The recording in progress: the set-up calls are plain functions, so they
// find it here.
struct Recording {
  SeenConfiguration* seen = nullptr;
  long currentLine = 0;  // line of the element being handled
};
Recording recording;

// The line of the <label> child that decides an <aircon> or <fan> (the last
// one), or the element's own line.
long decidingLabelLine() {
  const std::vector<SeenElement>& elements = recording.seen->settings.elements;
  if (elements.empty()) {
    return recording.currentLine;
  }
  long line = elements.back().line;
  for (const SeenChild& child : elements.back().children) {
    if (child.name == "label") {
      line = child.line;
    }
  }
  return line;
}

void recordCall(SeenSetupCall::Kind kind, const char* label, int number, long line) {
  recording.seen->setupCalls.push_back({kind, label, number, line});
}

bool recordInternalProbe(const char* label) {
  recordCall(SeenSetupCall::InternalProbe, label, 0, recording.currentLine);
  return true;
}
bool recordExternalProbe(const char* label) {
  recordCall(SeenSetupCall::ExternalProbe, label, 0, recording.currentLine);
  return true;
}
bool recordAircon(const char* label, int number) {
  recordCall(SeenSetupCall::Aircon, label, number, decidingLabelLine());
  return true;
}
bool recordFan(const char* label) {
  recordCall(SeenSetupCall::Fan, label, 0, decidingLabelLine());
  return true;
}

const PortSetupCalls kRecordingCalls = {recordInternalProbe, recordExternalProbe, recordAircon,
                                        recordFan};

// libxml2's errors while a file is parsed, so that a malformed file is
// reported with its line instead of on standard error.
struct XmlError {
  std::string file;  // empty when libxml2 names none
  long line = 0;
  std::string message;
};

void collectXmlError(void* context, xmlErrorPtr error) {
  if (error == nullptr || error->level < XML_ERR_ERROR) {
    return;
  }
  std::string message = error->message ? error->message : "unknown error";
  while (!message.empty() && isBlank(message.back())) {
    message.pop_back();
  }
  static_cast<std::vector<XmlError>*>(context)->push_back(
      {error->file ? error->file : "", error->line, message});
}

class Observer : public ParameterFileObserver {
 public:
  Observer(SeenConfiguration& seen, std::vector<XmlError>& xmlErrors)
      : mSeen(seen), mXmlErrors(xmlErrors) {}

  void fileNotParsed(const char* path) override {
    SeenFile& file = fileAt(path);
    file.state = SeenFile::NotParsed;
    if (file.problem.empty()) {
      takeXmlError(file);
    }
    mXmlErrors.clear();
  }

  void otherDocumentElement(const char* path, const char* name, long line) override {
    SeenFile& file = fileAt(path);
    file.state = SeenFile::OtherDocumentElement;
    file.problem = name;
    file.problemLine = line;
    mXmlErrors.clear();
  }

  void configElement(const char* path, const char* name, long line, const char* text) override {
    fileAt(path).elements.push_back({name, line, text, {}});
    recording.currentLine = line;
  }

  void outputChildElement(const char* path, const char* /*parent*/, const char* name, long line,
                          const char* text) override {
    SeenFile& file = fileAt(path);
    if (!file.elements.empty()) {
      file.elements.back().children.push_back({name, line, text});
    }
  }

 private:
  // The daemon's paths differ, so the path tells the file.
  SeenFile& fileAt(const char* path) {
    return path == mSeen.constants.path ? mSeen.constants : mSeen.settings;
  }

  // The first error libxml2 reported for this file.
  void takeXmlError(SeenFile& file) {
    for (const XmlError& error : mXmlErrors) {
      if (error.file == file.path || error.file.empty()) {
        file.problem = "not well-formed XML: " + error.message;
        file.problemLine = error.file.empty() ? 0 : error.line;
        return;
      }
    }
    file.problem = "the XML parser could not read it";
  }

  SeenConfiguration& mSeen;
  std::vector<XmlError>& mXmlErrors;
};

// Standard output is the checker's report: while the daemon's reader runs,
// its "Failed to open xml file" goes nowhere.
class StdoutSilenced {
 public:
  StdoutSilenced() {
    std::cout.flush();
    std::fflush(stdout);
    mSaved = ::dup(STDOUT_FILENO);
    const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (mSaved >= 0 && devNull >= 0) {
      ::dup2(devNull, STDOUT_FILENO);
    }
    if (devNull >= 0) {
      ::close(devNull);
    }
  }
  ~StdoutSilenced() {
    std::fflush(stdout);
    if (mSaved >= 0) {
      ::dup2(mSaved, STDOUT_FILENO);
      ::close(mSaved);
    }
  }
  StdoutSilenced(const StdoutSilenced&) = delete;
  StdoutSilenced& operator=(const StdoutSilenced&) = delete;

 private:
  int mSaved = -1;
};

// Why a file cannot be opened for reading, or "" when it can.
std::string unreadableBecause(const std::string& path) {
  std::ifstream probe(path);
  if (probe) {
    return "";
  }
  return std::string("cannot be read: ") + std::strerror(errno);
}

void zeroParameters() {
  for (const auto* table : {&settingsParameters(), &constantsParameters()}) {
    for (const ParameterDefinition& definition : *table) {
      storeParameter(definition, "0");
    }
  }
}

double currentValue(const ParameterDefinition& definition) {
  switch (definition.conversion) {
    case ParameterConversion::Byte:
      return *static_cast<const uint8_t*>(definition.target);
    case ParameterConversion::Unsigned:
      return *static_cast<const uint32_t*>(definition.target);
    case ParameterConversion::Float:
      break;
  }
  return *static_cast<const float*>(definition.target);
}

void collectValues(SeenConfiguration& seen) {
  for (ParameterFile which : {ParameterFile::Settings, ParameterFile::Constants}) {
    const auto& table =
        which == ParameterFile::Settings ? settingsParameters() : constantsParameters();
    const SeenFile& file = seen.file(which);
    for (const ParameterDefinition& definition : table) {
      EffectiveValue value{definition, which, currentValue(definition), false, 0, ""};
      if (file.state == SeenFile::Read) {
        for (const SeenElement& element : file.elements) {
          if (element.name == definition.name) {
            value.present = true;
            value.line = element.line;
            value.text = element.text;
          }
        }
      }
      seen.values.push_back(value);
    }
  }
}

}  // namespace

const EffectiveValue* SeenConfiguration::find(const std::string& name) const {
  for (const EffectiveValue& value : values) {
    if (name == value.definition.name) {
      return &value;
    }
  }
  return nullptr;
}

const EffectiveValue* SeenConfiguration::findByVariable(const void* variable) const {
  for (const EffectiveValue& value : values) {
    if (value.definition.target == variable) {
      return &value;
    }
  }
  return nullptr;
}

SeenConfiguration readConfiguration(const std::string& settingsPath,
                                    const std::string& constantsPath) {
  SeenConfiguration seen;
  seen.settings.path = settingsPath;
  seen.constants.path = constantsPath;
  seen.settings.problem = unreadableBecause(settingsPath);
  seen.constants.problem = unreadableBecause(constantsPath);

  std::vector<XmlError> xmlErrors;
  Observer observer(seen, xmlErrors);
  zeroParameters();
  recording = Recording{&seen, 0};
  xmlSetStructuredErrorFunc(&xmlErrors, collectXmlError);
  {
    StdoutSilenced quiet;
    readParameterFiles(settingsPath.c_str(), constantsPath.c_str(), kRecordingCalls, &observer);
  }
  xmlSetStructuredErrorFunc(nullptr, nullptr);
  recording = Recording{};

  // A problem noted up front only counts when the reader failed too.
  for (SeenFile* file : {&seen.settings, &seen.constants}) {
    if (file->state == SeenFile::Read) {
      file->problem.clear();
    }
  }
  collectValues(seen);
  return seen;
}
