// Trend events arriving on the client's delivery thread while another
// thread takes them with the control loop's own function. Run it under
// ThreadSanitizer: no lock guards the taking side.
#include <atomic>
#include <chrono>
#include <cmath>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "BridgeFixture.h"
#include "CqTranslator.h"
#include "Globals.h"
#include "iostub.h"
#include "passPacing.h"

namespace {

using BridgeConcurrency = BridgeTest;

constexpr int kEvents = 4000;
// Only a guard against a hang; the test waits for the last value itself.
constexpr auto kArrivalDeadline = std::chrono::seconds(120);

TEST_F(BridgeConcurrency, ManyTrendEventsWhileTheLoopTakesThem) {
  ASSERT_TRUE(setupIntProbe("busy-int"));
  ASSERT_TRUE(setupExProbe("busy-ext"));
  ASSERT_TRUE(setupFan("fan"));
  translator.setFanValue(50.0f);
  translator.setSomethingChanged(false);
  cObjectAInput* internal = translator.getInternalProbe();
  cObjectAInput* external = translator.getExternalProbe();
  internalTemperatureAveraging = 0.0f;
  externalTemperatureAveraging = 0.0f;

  std::atomic<bool> giveUp{false};
  std::atomic<bool> tookTheLastValues{false};
  long taken = 0;
  int unknownValues = 0;
  int valuesGoingBack = 0;
  float lastTakenInternal = 0.0f;
  float lastTakenExternal = 0.0f;
  // The control loop's side: take the reported values, and send the fan as
  // every pass does. It ends once it has taken the last values sent.
  std::thread controlLoop([&] {
    while (!giveUp.load()) {
      takeReportedProbeValues();
      const float in = internalTemperatureAveraging;
      const float ex = externalTemperatureAveraging;
      if (in != lastTakenInternal || ex != lastTakenExternal) {
        ++taken;
        // Every value is one that was sent, whole, and they arrive in order.
        if (in != std::floor(in) || in < 0 || in > kEvents || ex != std::floor(ex) || ex > 0 ||
            ex < -kEvents) {
          ++unknownValues;
        }
        if (in < lastTakenInternal || ex > lastTakenExternal) {
          ++valuesGoingBack;
        }
        lastTakenInternal = in;
        lastTakenExternal = ex;
        translator.setFanValue(50.0f);
        if (in == kEvents && ex == -kEvents) {
          tookTheLastValues.store(true);
          return;
        }
      }
      std::this_thread::yield();
    }
  });

  // A failed write means the simulator is gone; the waits below then end at
  // their deadlines and the checks fail, with the loop thread joined.
  bool fed = true;
  for (int i = 1; i <= kEvents && fed; ++i) {
    fed = sim().writeLine("ain busy-int " + std::to_string(i));
    if (fed && i % 4 == 0) {
      fed = sim().writeLine("ain busy-ext " + std::to_string(-i));
    }
    if (i % 256 == 0) {
      sim().pump(0);  // keep the simulator's output from filling its pipe
    }
  }
  EXPECT_TRUE(fed);
  const auto deadline = std::chrono::steady_clock::now() + kArrivalDeadline;
  auto lastValuesArrived = [&] {
    return internal->getCalculatedValue() == static_cast<float>(kEvents) &&
           external->getCalculatedValue() == static_cast<float>(-kEvents);
  };
  while (fed && !lastValuesArrived() && std::chrono::steady_clock::now() < deadline) {
    sim().pump(1);
  }
  EXPECT_EQ(internal->getCalculatedValue(), static_cast<float>(kEvents));
  EXPECT_EQ(external->getCalculatedValue(), static_cast<float>(-kEvents));
  // The loop has the last values too, or it would wait for ever: once they
  // are stored, the flag stays up until the loop takes them.
  const auto loopDeadline = std::chrono::steady_clock::now() + kArrivalDeadline;
  while (fed && !tookTheLastValues.load() && std::chrono::steady_clock::now() < loopDeadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  giveUp.store(true);
  controlLoop.join();

  EXPECT_EQ(lastTakenInternal, static_cast<float>(kEvents));
  EXPECT_EQ(lastTakenExternal, static_cast<float>(-kEvents));
  EXPECT_GT(taken, 0);
  EXPECT_EQ(unknownValues, 0);
  EXPECT_EQ(valuesGoingBack, 0);
}

}  // namespace
