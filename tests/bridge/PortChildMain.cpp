// Constructs the process-wide translator (during static initialisation, as
// the daemon does), then reports whether the object server it reached has a
// fan port labelled "fan".
#include <cstdio>

#include "iostub.h"

int main() {
  std::printf("%s\n", setupFan("fan") ? "fan found" : "fan not found");
  return 0;
}
