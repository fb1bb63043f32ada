// Wakes the main thread, sleeping until its next pass, when the bridge
// reports a probe change. The reporting side only writes to an eventfd: no
// lock, safe from any thread. Until open() has succeeded, notify() does
// nothing and waitUntil() is a plain sleep to the deadline.
//
// The descriptors are atomics: the client's delivery thread may call
// notify() while the main thread opens the signal. The destructor closes
// them; whoever may still notify (the client's threads) must be stopped
// before.
#ifndef FRIGEL_CHANGESIGNAL_H
#define FRIGEL_CHANGESIGNAL_H

#include <time.h>

#include <atomic>

class ChangeSignal {
 public:
  constexpr ChangeSignal() = default;
  ~ChangeSignal();
  ChangeSignal(const ChangeSignal&) = delete;
  ChangeSignal& operator=(const ChangeSignal&) = delete;

  // Creates the eventfd; false when the system refuses it. One thread only
  // (the main thread).
  bool open();
  // Raises the signal (from any thread).
  void notify();
  // Blocks until the absolute CLOCK_MONOTONIC `deadline`, a notify(), or a
  // caught signal, whichever comes first. True when woken by notify(). One
  // system call when nothing arrives: a pass costs one wake-up.
  bool waitUntil(const timespec& deadline);

 private:
  std::atomic<int> mFd{-1};  // eventfd raised by notify(); -1 until open()
};

// The signal the translator raises when a probe value has arrived.
extern ChangeSignal probeChangeSignal;

#endif
