#include "repoll.h"

#include <chrono>
#include <system_error>

#include "monotonicClock.h"
#include "probeActivity.h"
#include "supervisorThread.h"

Repoll::Repoll(CqTranslator& translator, int periodSeconds, cQlog& log)
    : mTranslator(translator),
      mPeriodNanoseconds(periodSeconds > 0 ? int64_t{periodSeconds} * 1000000000 : 0) {
  if (mPeriodNanoseconds == 0) {
    return;
  }
  try {
    mThread = startWithoutStopSignals([this] { pollLoop(); });
  } catch (const std::system_error& e) {
    log.info("cannot start the re-poll thread: %s; running without the re-poll", e.what());
  }
}

Repoll::~Repoll() {
  requestStop();
  if (mThread.joinable()) {
    mThread.join();
  }
}

void Repoll::resendIfDue() {
  if (mReadsDone.load(std::memory_order_relaxed) &&
      mReadsDone.exchange(false, std::memory_order_acquire)) {
    mTranslator.resendOutputs();
    mTranslator.setSomethingChanged(true);
  }
}

void Repoll::requestStop() {
  {
    std::lock_guard<std::mutex> lock(mStopMutex);
    mStopRequested.store(true, std::memory_order_release);
  }
  mStopSignal.notify_all();
}

void Repoll::pollLoop() {
  int64_t lastPoll = monotonicNanoseconds();
  std::unique_lock<std::mutex> lock(mStopMutex);
  while (!mStopRequested.load(std::memory_order_relaxed)) {
    const int64_t now = monotonicNanoseconds();
    if (now - lastPoll < mPeriodNanoseconds) {
      // Steady clock: the same monotonic clock; an early wake-up only looks
      // again.
      mStopSignal.wait_for(lock, std::chrono::nanoseconds(mPeriodNanoseconds - (now - lastPoll)));
      continue;
    }
    lastPoll = now;
    lock.unlock();
    mTranslator.readProbeValues(&mStopRequested);
    // Released after the values: the control loop that takes this sees them.
    mReadsDone.store(true, std::memory_order_release);
    lock.lock();
  }
}
