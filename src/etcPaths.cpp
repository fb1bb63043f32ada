#include "etcPaths.h"

#include <cstdlib>

std::string etcDirectory() {
  const char* dir = std::getenv("FRIGEL_ETC");
  return (dir && *dir) ? dir : "/etc/vulo";
}

std::string propertiesFilePath() {
  return propertiesFilePathIn(etcDirectory());
}

std::string settingsFilePath() {
  return settingsFilePathIn(etcDirectory());
}

std::string constantsFilePath() {
  return constantsFilePathIn(etcDirectory());
}

std::string propertiesFilePathIn(const std::string& etc) {
  return etc + "/frigel.conf";
}

std::string settingsFilePathIn(const std::string& etc) {
  return etc + "/frigel/frigelconfig.xml";
}

std::string constantsFilePathIn(const std::string& etc) {
  return etc + "/frigel/frigelConstants.xml";
}
