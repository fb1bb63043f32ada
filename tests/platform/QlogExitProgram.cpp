// For the logger's exit test: configures logging from the file given,
// logs "line 0" to "line N-1" at INFO, and exits with the status given.
//   qlog_exit_program CONFIG N STATUS
#include <cstdio>
#include <cstdlib>

#include "cQlog.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    return 2;
  }
  // Line-buffered like the daemon's: a full buffer left in the C library
  // would hold up the exit whatever the logger does.
  std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
  cQlog::init(argv[1]);
  cQlog log("QlogExitProgram");
  const int lines = std::atoi(argv[2]);
  for (int i = 0; i < lines; ++i) {
    log.info("line %d", i);
  }
  return std::atoi(argv[3]);
}
