// For test programs that link the daemon's bridge: the process-wide
// translator configures logging and connects during static initialisation,
// so its configuration folder and its server must be chosen before that.
//
// FRIGEL_EARLY_SITE("site.xml") in one source file of the test program
// starts vulosim on that site on a free port before any other static object
// is built, points VULOD_PORT at it, and points FRIGEL_ETC at a fresh
// temporary folder (removed at exit), so no test reads /etc or a fixed port.
//
// FRIGEL_EARLY_NO_SERVER() does the same without a server: VULOD_PORT names
// a loopback port that is held open but never listens, so every connection
// attempt is refused at once. A program gets it by linking
// frigel_test_kit_no_server.
#ifndef FRIGEL_TESTS_EARLYSITE_H
#define FRIGEL_TESTS_EARLYSITE_H

#include <string>

#include "VulosimProcess.h"

class EarlySite {
 public:
  // With a null siteFile, no server is started (see FRIGEL_EARLY_NO_SERVER).
  explicit EarlySite(const char* siteFile);
  ~EarlySite();

  VulosimProcess server;
  std::string etcDir;  // the temporary FRIGEL_ETC
  bool ok = false;     // vulosim came up (or, without a site, the port is held)

 private:
  int mHeldSocket = -1;
};

// The early site of this test program (null without one of the macros).
EarlySite* earlySite();

#define FRIGEL_EARLY_SITE(siteFile) \
  EarlySite frigelEarlySite __attribute__((init_priority(101))) (siteFile)
#define FRIGEL_EARLY_NO_SERVER() \
  EarlySite frigelEarlySite __attribute__((init_priority(101))) (nullptr)

#endif
