#include "EarlySite.h"

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

// Binds a loopback socket to a free port without listening on it: while it
// is held, connections to that port are refused and no one else takes it.
int holdRefusingPort(int& port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    return -1;
  }
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd);
    return -1;
  }
  port = ntohs(address.sin_port);
  return fd;
}

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
    mHeldSocket = holdRefusingPort(port);
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
