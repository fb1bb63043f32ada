// Fuzzes the reader of the two parameter files. The input is the settings
// file, then (after the first NUL byte, which XML text cannot hold) the
// constants file; without a NUL the constants file is absent. The set-up
// calls only record, so nothing connects anywhere.
//
// Beside the files lie a secret file and a DTD declaring an entity with the
// same text. Each input is read twice, with two different secrets: the
// labels set up and the values stored must be the same both times, so no
// part of a file outside the two ever reaches them.
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "Globals.h"
#include "parameterFiles.h"

namespace {

// What one reading did: the set-up calls and every parameter's bytes.
struct Reading {
  std::vector<PortSetupRequest> setupCalls;
  std::vector<uint8_t> parameters;
  bool operator==(const Reading& other) const {
    return setupCalls == other.setupCalls && parameters == other.parameters;
  }
};

template <typename Visit>
void forEachParameter(Visit visit) {
  for (const auto* definitions : {&settingsParameters(), &constantsParameters()}) {
    for (const ParameterDefinition& definition : *definitions) {
      visit(definition);
    }
  }
}

std::size_t sizeOf(ParameterConversion conversion) {
  switch (conversion) {
    case ParameterConversion::Byte:
      return sizeof(uint8_t);
    case ParameterConversion::Unsigned:
      return sizeof(uint32_t);
    case ParameterConversion::Float:
      return sizeof(float);
  }
  return 0;
}

Reading readWithSecret(const std::string& secret, const std::string& settingsPath,
                       const std::string& constantsPath) {
  writeScratchFile("frigel/secret.txt", secret);
  writeScratchFile("frigel/secret.dtd", "<!ENTITY stolen \"" + secret + "\">\n");
  zeroAllParameters();
  Reading reading;
  reading.setupCalls =
      readParameterFilesRecordingSetup(settingsPath.c_str(), constantsPath.c_str());
  for (const PortSetupRequest& call : reading.setupCalls) {
    if (call.kind == PortSetupRequest::Aircon || call.kind == PortSetupRequest::Fan) {
      FUZZ_CHECK(!call.label.empty());  // an empty output label sets nothing up
    }
    if (call.kind == PortSetupRequest::Aircon) {
      FUZZ_CHECK(call.number != 0);
    }
  }
  forEachParameter([&](const ParameterDefinition& definition) {
    const auto* bytes = static_cast<const uint8_t*>(definition.target);
    reading.parameters.insert(reading.parameters.end(), bytes,
                              bytes + sizeOf(definition.conversion));
  });
  return reading;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const uint8_t* nul = static_cast<const uint8_t*>(std::memchr(data, 0, size));
  std::size_t settingsSize = nul != nullptr ? static_cast<std::size_t>(nul - data) : size;
  std::string settingsPath = writeScratchFile("frigel/frigelconfig.xml", data, settingsSize);
  std::string constantsPath = fuzzScratchDirectory() + "/frigel/frigelConstants.xml";
  std::remove(constantsPath.c_str());
  if (nul != nullptr) {
    writeScratchFile("frigel/frigelConstants.xml", nul + 1, size - settingsSize - 1);
  }
  Reading first = readWithSecret("42.5SECRET", settingsPath, constantsPath);
  Reading second = readWithSecret("17.25OTHER", settingsPath, constantsPath);
  FUZZ_CHECK(first == second);
  return 0;
}
