#include <gtest/gtest.h>

#include <thread>

#include "changeSignal.h"
#include "probeActivity.h"

namespace {

timespec afterNanoseconds(int64_t ns) {
  int64_t at = monotonicNanoseconds() + ns;
  return timespec{static_cast<time_t>(at / 1000000000), static_cast<long>(at % 1000000000)};
}

TEST(ChangeSignal, ANotifyBeforeTheWaitEndsItAtOnce) {
  ChangeSignal signal;
  ASSERT_TRUE(signal.open());
  signal.notify();
  signal.notify();  // several notifies are taken by one wait
  EXPECT_TRUE(signal.waitUntil(afterNanoseconds(3600LL * 1000000000)));
  EXPECT_FALSE(signal.waitUntil(afterNanoseconds(0)));
}

TEST(ChangeSignal, ANotifyFromAnotherThreadWakesTheWaiter) {
  ChangeSignal signal;
  ASSERT_TRUE(signal.open());
  std::thread notifier([&] { signal.notify(); });
  EXPECT_TRUE(signal.waitUntil(afterNanoseconds(3600LL * 1000000000)));
  notifier.join();
}

TEST(ChangeSignal, APassedDeadlineReturnsWithoutWaiting) {
  ChangeSignal signal;
  ASSERT_TRUE(signal.open());
  EXPECT_FALSE(signal.waitUntil(afterNanoseconds(-1000000)));
}

TEST(ChangeSignal, UnopenedSignalOnlySleepsToTheDeadline) {
  ChangeSignal signal;
  signal.notify();  // does nothing
  int64_t deadline = monotonicNanoseconds() + 2000000;
  EXPECT_FALSE(signal.waitUntil(timespec{static_cast<time_t>(deadline / 1000000000),
                                         static_cast<long>(deadline % 1000000000)}));
  EXPECT_GE(monotonicNanoseconds(), deadline);
}

}  // namespace
