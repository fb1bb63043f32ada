#include "changeSignal.h"

#include <errno.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

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
  if (mFd >= 0) {
    ::close(mFd);
  }
}

bool ChangeSignal::open() {
  if (mFd < 0) {
    mFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  }
  return mFd >= 0;
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
  if (mFd < 0) {
    if (left.tv_sec != 0 || left.tv_nsec != 0) {
      clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr);
    }
    return false;
  }
  pollfd event = {mFd, POLLIN, 0};
  if (::ppoll(&event, 1, &left, nullptr) > 0) {
    uint64_t count = 0;
    (void)!::read(mFd, &count, sizeof count);
    return true;
  }
  return false;  // the deadline, or a caught signal (EINTR)
}
