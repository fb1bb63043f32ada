// Loopback TCP sockets for the tests and the benchmarks.
#ifndef FRIGEL_TESTS_LOOPBACK_H
#define FRIGEL_TESTS_LOOPBACK_H

#include <netinet/in.h>

// 127.0.0.1:port; port 0 binds to a free port.
sockaddr_in loopbackAddress(int port);
// A connected socket (close-on-exec), or -1.
int connectLoopback(int port);
// A socket bound to a free loopback port without listening, and the port:
// while it is held, connections to the port are refused and no one else
// takes it. -1 when the system refuses.
int bindRefusingPort(int& port);
// A loopback port nothing listens on now (bound, then released).
int unusedLoopbackPort();

#endif
