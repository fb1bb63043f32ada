#include "Process.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

int stopPipeWriteFd = -1;

void onStopSignal(int) {
  const int savedErrno = errno;
  const char byte = 's';
  // Non-blocking: when the pipe is full a stop is already pending.
  ssize_t ignored = ::write(stopPipeWriteFd, &byte, 1);
  (void)ignored;
  errno = savedErrno;
}

}  // namespace

void ensureStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
      int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
      if (opened >= 0 && opened != fd) {
        ::dup2(opened, fd);
        ::close(opened);
      }
    }
  }
}

int installStopSignals(std::string& error) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
    error = std::string("pipe: ") + std::strerror(errno);
    return -1;
  }
  stopPipeWriteFd = fds[1];
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  if (::sigaction(SIGINT, &action, nullptr) != 0 || ::sigaction(SIGTERM, &action, nullptr) != 0 ||
      ::sigaction(SIGPIPE, &ignore, nullptr) != 0) {
    error = std::string("sigaction: ") + std::strerror(errno);
    return -1;
  }
  return fds[0];
}
