// Shared set-up of the bridge tests. The process-wide translator talks to a
// vulosim started on bridge-site.xml before it was constructed. Tests share
// that translator, so each test sets up the ports it needs itself and uses
// fresh trend sequence numbers: no test depends on another having run.
#ifndef FRIGEL_TESTS_BRIDGEFIXTURE_H
#define FRIGEL_TESTS_BRIDGEFIXTURE_H

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "VulosimProcess.h"

class BridgeTest : public ::testing::Test {
 protected:
  void SetUp() override;

 public:
  static VulosimProcess& sim();
  // Returns once the server has applied every set made so far: a fetch on
  // the same connection is answered only after the requests before it.
  static void syncWithServer();
  // A trend sequence number no other test uses, never 0.
  static uint32_t freshTrendSeq();
  // Makes vulosim push a trend event for every analogue input labelled
  // `label`, with exactly this sequence number.
  static void pushTrend(const std::string& label, float value, uint32_t seq);
  // The value vulosim holds for an analogue port (NaN when it has none).
  static float serverValue(const std::string& label);
  // The state vulosim holds for a digital output: "SET", "CLEAR", "UNKNOWN".
  static std::string serverState(const std::string& label);
  // Waits until the change flag is up: the delivery thread raises it just
  // after logging that it took a value.
  static bool waitForSomethingChanged();
  // Sets up both probes by label and lowers the change flag.
  static void setUpProbes(const char* internalLabel, const char* externalLabel);
};

#endif
