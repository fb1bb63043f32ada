#include "etcPaths.h"

#include <cstdlib>

std::string etcDirectory() {
  const char* dir = std::getenv("FRIGEL_ETC");
  return (dir && *dir) ? dir : "/etc/vulo";
}

std::string propertiesFilePath() {
  return etcDirectory() + "/frigel.conf";
}

std::string settingsFilePath() {
  return etcDirectory() + "/frigel/frigelconfig.xml";
}

std::string constantsFilePath() {
  return etcDirectory() + "/frigel/frigelConstants.xml";
}
