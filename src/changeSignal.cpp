#include "changeSignal.h"

#include <errno.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cstdint>
#include <initializer_list>

#include "monotonicClock.h"

// Its destructor is registered before the translator is built (which has
// priority 1001), so it runs after the translator's, which stops the client
// and its delivery thread, the one caller of notify(), on every way out of
// the process.
ChangeSignal probeChangeSignal __attribute__((init_priority(1000)));

ChangeSignal::~ChangeSignal() {
  for (std::atomic<int>* fd : {&mFd, &mTimerFd}) {
    int closing = fd->exchange(-1, std::memory_order_acq_rel);
    if (closing >= 0) {
      ::close(closing);
    }
  }
}

bool ChangeSignal::open() {
  // Published only once created, with release ordering: a notify() on
  // another thread sees -1 or a complete descriptor.
  if (mFd.load(std::memory_order_relaxed) < 0) {
    mFd.store(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC), std::memory_order_release);
  }
  if (mTimerFd.load(std::memory_order_relaxed) < 0) {
    mTimerFd.store(::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC),
                   std::memory_order_release);
  }
  return mFd.load(std::memory_order_relaxed) >= 0 && mTimerFd.load(std::memory_order_relaxed) >= 0;
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
  if (monotonicNanoseconds() >= nanosecondsOf(deadline)) {
    return false;
  }
  // Only this thread opens or closes them: relaxed loads suffice.
  const int fd = mFd.load(std::memory_order_relaxed);
  const int timerFd = mTimerFd.load(std::memory_order_relaxed);
  if (fd < 0 || timerFd < 0) {
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr);
    return false;
  }
  // An absolute timer rather than a poll time-out: the kernel stretches a
  // time-out by a share of its length, a timer fires on time.
  const itimerspec at = {{0, 0}, deadline};
  if (::timerfd_settime(timerFd, TFD_TIMER_ABSTIME, &at, nullptr) != 0) {
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr);
    return false;
  }
  pollfd events[2] = {{fd, POLLIN, 0}, {timerFd, POLLIN, 0}};
  if (::poll(events, 2, -1) <= 0) {
    return false;  // a caught signal (EINTR)
  }
  uint64_t count = 0;
  if (events[1].revents & POLLIN) {
    (void)!::read(timerFd, &count, sizeof count);
  }
  if (events[0].revents & POLLIN) {
    (void)!::read(fd, &count, sizeof count);
    return true;
  }
  return false;
}
