// The supervisor's own pass functions, run as the daemon runs them.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "CqTranslator.h"
#include "Globals.h"
#include "iostub.h"
#include "passPacing.h"
#include "supervisor.h"

namespace {

TEST(PassPacing, EveryPassLeavesTheTimerCounterAt100) {
  cQlog log("PassPacingTest");
  for (int periodMicroseconds : {0, kMinimumPassPeriodMicroseconds}) {
    SCOPED_TRACE(periodMicroseconds == 0 ? "literal loop" : "exact pacing");
    std::unique_ptr<PassPacing> pacing = makePassPacing(periodMicroseconds, log);
    for (int pass = 0; pass < 3; ++pass) {
      timercounter = 7;
      pacing->waitForPassEnd();
      EXPECT_EQ(timercounter, 100) << "pass " << pass;
    }
  }
}

// The delivery thread stores a value, then raises the flag. Were the flag
// lowered after the copy, a value stored and flagged between the two would
// be left behind with the flag down. Each round ends on a value the loop
// must take; a lost one shows as a round that never ends. Rounds take about
// a microsecond and the wrong order loses one in a few thousand, so the test
// runs rounds for a while (the time only bounds the effort: a correct
// function passes however few rounds run).
TEST(PassPacing, TakingReportedValuesLowersTheFlagBeforeTheCopy) {
  constexpr int kMaximumRounds = 200000;
  constexpr auto kEffort = std::chrono::seconds(1);
  cObjectAInput internal;
  cObjectAInput external;
  translator.setInternalProbe(&internal);
  translator.setExternalProbe(&external);
  translator.setSomethingChanged(false);
  internalTemperatureAveraging = 0.0f;

  std::atomic<bool> done{false};
  std::atomic<float> taken{0.0f};
  std::thread controlLoop([&] {
    while (!done.load(std::memory_order_relaxed)) {
      takeReportedProbeValues();
      taken.store(internalTemperatureAveraging, std::memory_order_relaxed);
    }
  });

  int lostRounds = 0;
  const auto effortEnd = std::chrono::steady_clock::now() + kEffort;
  for (int round = 1;
       round <= kMaximumRounds && lostRounds == 0 && std::chrono::steady_clock::now() < effortEnd;
       ++round) {
    // Rounds of different lengths, so their last stores fall at every point
    // of the loop's pass.
    float value = 0.0f;
    for (int store = 0; store <= round % 16; ++store) {
      value = static_cast<float>(round) + static_cast<float>(store) / 32;
      internal.setCalculatedValue(value);
      translator.setSomethingChanged(true);
    }
    // Only a guard against a hang: a correct loop takes it at once.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (taken.load(std::memory_order_relaxed) != value) {
      if (std::chrono::steady_clock::now() >= deadline) {
        ADD_FAILURE() << "round " << round << ": the value " << value << " was never taken";
        ++lostRounds;
        break;
      }
      std::this_thread::yield();
    }
  }
  done.store(true);
  controlLoop.join();
  translator.setInternalProbe(nullptr);
  translator.setExternalProbe(nullptr);
  translator.setSomethingChanged(false);
}

}  // namespace
