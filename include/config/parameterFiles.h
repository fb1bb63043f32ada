// Reader of the two XML parameter files: the user settings file (port
// labels, goal temperature, options) and the constants file (thresholds,
// durations, fan steps). Values go into the controller's process-wide
// parameters; the ports named in the settings file are set up through the
// given calls as soon as their element has been read.
#ifndef FRIGEL_PARAMETERFILES_H
#define FRIGEL_PARAMETERFILES_H

#include <cstdint>
#include <string>
#include <vector>

#include "properties.h"  // readInteger, parseInteger

// The set-up calls the settings file triggers. The label lives only for the
// duration of the call. The daemon passes the flat call interface; a checker
// or a fuzzer passes calls that only record.
struct PortSetupCalls {
  bool (*internalProbe)(const char* label);
  bool (*externalProbe)(const char* label);
  bool (*aircon)(const char* label, int airconNumber);
  bool (*fan)(const char* label);
};

// How an element's text becomes a value.
enum class ParameterConversion {
  Byte,      // strtol, low 8 bits kept (257 -> 1, -1 -> 255)
  Unsigned,  // strtol, 32-bit pattern kept (-1 -> 4294967295)
  Float,     // strtod in the C locale, to single precision
};

// When the controller uses a parameter, as its options decide. "An air
// conditioner": numberOfAircons is not 0; free air: useFreeAir is 1.
enum class ParameterUse {
  Always,
  FreeAir,           // free-air cooling only
  FreeAirOrAircon,   // free air (it runs the fan flat out from there) or an air conditioner
  Aircon,            // an air conditioner
  SecondAircon,      // numberOfAircons is 2 or more
  FreeAirAndAircon,  // free air taking over from an air conditioner
  EmergencyFanBand,  // useFanInHiTemp 1, useFreeAir 1 and an air conditioner
  Never,             // read, but nothing uses it
};

// Whether the controller uses a parameter of `use` with these options.
bool parameterInUse(ParameterUse use, unsigned numberOfAircons, unsigned useFreeAir,
                    unsigned useFanInHiTemp);

// One scalar element and the variable it sets.
struct ParameterDefinition {
  const char* name;  // element name, compared exactly
  ParameterConversion conversion;
  void* target;      // uint8_t*, uint32_t* or float*, by conversion
  const char* unit;  // for messages: "degC", "passes", "%", ""
  ParameterUse use;  // when the controller uses it
};

// The scalar elements of each file, in the order they are documented.
const std::vector<ParameterDefinition>& settingsParameters();
const std::vector<ParameterDefinition>& constantsParameters();

// Stores `text` converted into the definition's target.
void storeParameter(const ParameterDefinition& definition, const char* text);

// Elements of the settings file that are not scalar parameters.
const std::vector<const char*>& settingsPortElements();

// Sees what the reader reads, for checking tools. Each call is made before
// the element it reports is handled. Line numbers start at 1.
class ParameterFileObserver {
 public:
  virtual ~ParameterFileObserver() = default;
  // The file could not be parsed (missing, unreadable, not well-formed).
  virtual void fileNotParsed(const char* /*path*/) {}
  // The document element is not `config`: nothing is read from the file.
  virtual void otherDocumentElement(const char* /*path*/, const char* /*name*/, long /*line*/) {}
  // A direct child element of `config`, known or not, with its whole text.
  virtual void configElement(const char* /*path*/, const char* /*name*/, long /*line*/,
                             const char* /*text*/) {}
  // A child element of an `aircon` or `fan` element.
  virtual void outputChildElement(const char* /*path*/, const char* /*parent*/,
                                  const char* /*name*/, long /*line*/, const char* /*text*/) {}
};

// Reads the settings file, then the constants file. A file that cannot be
// parsed prints "Failed to open xml file" and leaves its parameters as they
// were; a file whose document element is not `config` is skipped silently.
void readParameterFiles(const char* settingsPath, const char* constantsPath,
                        const PortSetupCalls& setup, ParameterFileObserver* observer = nullptr);

// One set-up call the settings file asked for.
struct PortSetupRequest {
  enum Kind { InternalProbe, ExternalProbe, Aircon, Fan };
  Kind kind;
  std::string label;
  int number = 0;  // the air conditioner's number; 0 for the others

  bool operator==(const PortSetupRequest& other) const {
    return kind == other.kind && label == other.label && number == other.number;
  }
};

// Reads both files as readParameterFiles does, with set-up calls that only
// record what the settings file asks for, in order: nothing connects
// anywhere. For the tools and tests that read files without a bridge.
std::vector<PortSetupRequest> readParameterFilesRecordingSetup(
    const char* settingsPath, const char* constantsPath, ParameterFileObserver* observer = nullptr);

// Every parameter of both files back to 0, as at start.
void zeroAllParameters();

#endif
