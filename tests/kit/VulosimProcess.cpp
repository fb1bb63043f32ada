#include "VulosimProcess.h"

#include <cstdlib>

std::string VulosimProcess::binaryPath() {
  return FRIGEL_BIN_DIR "/vulosim";
}

bool VulosimProcess::startSite(const std::string& siteFile,
                               const std::vector<std::string>& extraArgs, int port) {
  std::vector<std::string> argv = {binaryPath(), "--site", siteFile, "--port",
                                   std::to_string(port)};
  argv.insert(argv.end(), extraArgs.begin(), extraArgs.end());
  if (!start(argv)) {
    return false;
  }
  auto ready = waitForPrefix("ready ", 10000);
  if (!ready) {
    return false;
  }
  mPort = std::atoi(ready->c_str() + 6);
  return mPort > 0;
}

std::string VulosimProcess::ask(const std::string& command, const std::string& answerPrefix,
                                int timeoutMs) {
  if (!writeLine(command)) {
    return "";
  }
  auto line = waitForPrefix(answerPrefix, timeoutMs);
  return line ? *line : "";
}

long VulosimProcess::setCount(const std::string& label) {
  std::string prefix = "count " + label + " ";
  std::string line = ask("count " + label, prefix);
  return line.empty() ? -1 : std::atol(line.c_str() + prefix.size());
}
