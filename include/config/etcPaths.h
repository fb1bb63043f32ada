// Where the daemon's three files are: under /etc/vulo, or under the
// directory named by the environment variable FRIGEL_ETC when it is set and
// not empty.
#ifndef FRIGEL_ETCPATHS_H
#define FRIGEL_ETCPATHS_H

#include <string>

std::string etcDirectory();
std::string propertiesFilePath();  // <etc>/frigel.conf
std::string settingsFilePath();    // <etc>/frigel/frigelconfig.xml
std::string constantsFilePath();   // <etc>/frigel/frigelConstants.xml

// The same files under a configuration folder of the caller's (tools that
// read several sites' files).
std::string propertiesFilePathIn(const std::string& etc);
std::string settingsFilePathIn(const std::string& etc);
std::string constantsFilePathIn(const std::string& etc);

#endif
