// The object-server simulator as a child process, driven through its
// standard input and read back through its standard output.
#ifndef FRIGEL_TESTS_VULOSIMPROCESS_H
#define FRIGEL_TESTS_VULOSIMPROCESS_H

#include <string>
#include <vector>

#include "ChildProcess.h"

class VulosimProcess : public ChildProcess {
 public:
  // Path of the simulator built with the tests.
  static std::string binaryPath();

  // Starts vulosim on `siteFile` on a free port (or `port`) and waits for
  // its "ready PORT" line. False when it did not come up.
  bool startSite(const std::string& siteFile, const std::vector<std::string>& extraArgs = {},
                 int port = 0);
  int port() const { return mPort; }

  // Sends a command and returns the first answer line that starts with
  // `answerPrefix` ("" on time-out), e.g. ask("get fan", "value fan").
  std::string ask(const std::string& command, const std::string& answerPrefix,
                  int timeoutMs = 5000);
  // `count LABEL`: the number of set requests received for the port.
  long setCount(const std::string& label);

 private:
  int mPort = -1;
};

#endif
