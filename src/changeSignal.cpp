#include "changeSignal.h"

#include <errno.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

#include "monotonicClock.h"

// Its destructor is registered before the translator is built (which has
// priority 1001), so it runs after the translator's, which stops the client
// and its delivery thread, the one caller of notify(), on every way out of
// the process.
ChangeSignal probeChangeSignal __attribute__((init_priority(1000)));

ChangeSignal::~ChangeSignal() {
  const int closing = mFd.exchange(-1, std::memory_order_acq_rel);
  if (closing >= 0) {
    ::close(closing);
  }
}

bool ChangeSignal::open() {
  // Published only once created, with release ordering: a notify() on
  // another thread sees -1 or a complete descriptor.
  if (mFd.load(std::memory_order_relaxed) < 0) {
    mFd.store(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC), std::memory_order_release);
  }
  return mFd.load(std::memory_order_relaxed) >= 0;
}

void ChangeSignal::notify() {
  const int fd = mFd.load(std::memory_order_acquire);
  if (fd >= 0) {
    uint64_t one = 1;
    // A full counter (EAGAIN) still wakes the waiter; nothing to do then.
    (void)!::write(fd, &one, sizeof one);
  }
}

bool ChangeSignal::waitUntil(const timespec& deadline) {
  const int64_t left = nanosecondsOf(deadline) - monotonicNanoseconds();
  if (left <= 0) {
    return false;
  }
  // Only this thread opens or closes it: a relaxed load suffices.
  const int fd = mFd.load(std::memory_order_relaxed);
  if (fd < 0) {
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr);
    return false;
  }
  // The time-out runs on a high-resolution timer stretched by at most the
  // thread's timer slack (the pacing sets it to 10 us) or 0.1 % of its
  // length: one system call a pass, where an absolute timerfd took three.
  // The deadline stays absolute in the caller, so lateness never adds up.
  const timespec timeout = timespecOf(left);
  pollfd event = {fd, POLLIN, 0};
  if (::ppoll(&event, 1, &timeout, nullptr) <= 0 || (event.revents & POLLIN) == 0) {
    return false;  // the deadline, or a caught signal (EINTR)
  }
  uint64_t count = 0;
  (void)!::read(fd, &count, sizeof count);
  return true;
}
