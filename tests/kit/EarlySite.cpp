#include "EarlySite.h"
#include "Loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

EarlySite* theEarlySite = nullptr;

}  // namespace

EarlySite* earlySite() {
  return theEarlySite;
}

EarlySite::EarlySite(const char* siteFile) {
  theEarlySite = this;
  std::string pattern = std::filesystem::temp_directory_path().string() + "/frigel-test-XXXXXX";
  if (char* dir = ::mkdtemp(pattern.data())) {
    etcDir = dir;
    ::setenv("FRIGEL_ETC", dir, 1);
  }
  int port = 0;
  if (siteFile == nullptr) {
    mHeldSocket = bindRefusingPort(port);
    ok = mHeldSocket >= 0;
  } else {
    ok = server.startSite(siteFile);
    port = server.port();
  }
  if (ok) {
    ::setenv("VULOD_PORT", std::to_string(port).c_str(), 1);
  } else {
    std::fprintf(stderr, "EarlySite: could not prepare a server port (site %s)\n",
                 siteFile ? siteFile : "none");
  }
}

EarlySite::~EarlySite() {
  server.stop();
  if (mHeldSocket >= 0) {
    ::close(mHeldSocket);
  }
  if (!etcDir.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(etcDir, ignored);
  }
  theEarlySite = nullptr;
}
