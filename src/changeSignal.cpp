#include "changeSignal.h"

#include <errno.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cstdint>
#include <initializer_list>

ChangeSignal probeChangeSignal;

namespace {

constexpr long kNanosecondsPerSecond = 1000000000L;

// deadline - now, or zero when the deadline has passed.
timespec timeLeft(const timespec& deadline) {
  timespec now = {};
  clock_gettime(CLOCK_MONOTONIC, &now);
  timespec left = {deadline.tv_sec - now.tv_sec, deadline.tv_nsec - now.tv_nsec};
  if (left.tv_nsec < 0) {
    left.tv_nsec += kNanosecondsPerSecond;
    --left.tv_sec;
  }
  if (left.tv_sec < 0) {
    return timespec{0, 0};
  }
  return left;
}

}  // namespace

ChangeSignal::~ChangeSignal() {
  for (int fd : {mFd, mTimerFd}) {
    if (fd >= 0) {
      ::close(fd);
    }
  }
}

bool ChangeSignal::open() {
  if (mFd < 0) {
    mFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  }
  if (mTimerFd < 0) {
    mTimerFd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  }
  return mFd >= 0 && mTimerFd >= 0;
}

void ChangeSignal::notify() {
  if (mFd >= 0) {
    uint64_t one = 1;
    // A full counter (EAGAIN) still wakes the waiter; nothing to do then.
    (void)!::write(mFd, &one, sizeof one);
  }
}

bool ChangeSignal::waitUntil(const timespec& deadline) {
  timespec left = timeLeft(deadline);
  if (left.tv_sec == 0 && left.tv_nsec == 0) {
    return false;
  }
  if (mFd < 0 || mTimerFd < 0) {
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr);
    return false;
  }
  // An absolute timer rather than a poll time-out: the kernel stretches a
  // time-out by a share of its length, a timer fires on time.
  const itimerspec at = {{0, 0}, deadline};
  if (::timerfd_settime(mTimerFd, TFD_TIMER_ABSTIME, &at, nullptr) != 0) {
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr);
    return false;
  }
  pollfd events[2] = {{mFd, POLLIN, 0}, {mTimerFd, POLLIN, 0}};
  if (::poll(events, 2, -1) <= 0) {
    return false;  // a caught signal (EINTR)
  }
  uint64_t count = 0;
  if (events[1].revents & POLLIN) {
    (void)!::read(mTimerFd, &count, sizeof count);
  }
  if (events[0].revents & POLLIN) {
    (void)!::read(mFd, &count, sizeof count);
    return true;
  }
  return false;
}
