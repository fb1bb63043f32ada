// Threads of the supervisor's own (the status writer, the re-poll).
#ifndef FRIGEL_SUPERVISORTHREAD_H
#define FRIGEL_SUPERVISORTHREAD_H

#include <pthread.h>
#include <signal.h>

#include <thread>
#include <utility>

// Starts `body` on a new thread with SIGINT and SIGTERM blocked: the stop
// signals must reach the main thread, where the handler's flag is read and
// whose sleeps they are to cut short. The caller's mask is restored either
// way. Throws std::system_error when the system refuses the thread.
template <typename Body>
std::thread startWithoutStopSignals(Body body) {
  struct MaskRestorer {
    sigset_t previous;
    ~MaskRestorer() { pthread_sigmask(SIG_SETMASK, &previous, nullptr); }
  } restorer;
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, &restorer.previous);
  return std::thread(std::move(body));
}

#endif
