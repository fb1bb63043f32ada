#include "BridgeFixture.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "CqTranslator.h"
#include "EarlySite.h"
#include "iostub.h"

FRIGEL_EARLY_SITE(FRIGEL_TEST_DATA_DIR "/bridge-site.xml");

void BridgeTest::SetUp() {
  ASSERT_NE(earlySite(), nullptr);
  ASSERT_TRUE(earlySite()->ok) << "vulosim did not start";
}

VulosimProcess& BridgeTest::sim() {
  return earlySite()->server;
}

void BridgeTest::syncWithServer() {
  // Fan discovery on success logs nothing, so it leaves captured logs alone.
  cObjectAOutput* port = translator.getFanControlPortFromPortLabel("fan");
  ASSERT_NE(port, nullptr) << "the server did not answer";
  delete port;
}

uint32_t BridgeTest::freshTrendSeq() {
  // Far above vulosim's own counter, which starts at 1.
  static uint32_t next = 1000000;
  return next++;
}

void BridgeTest::pushTrend(const std::string& label, float value, uint32_t seq) {
  std::ostringstream line;
  line << "trend " << label << " " << value << " " << seq;
  ASSERT_TRUE(sim().writeLine(line.str()));
}

float BridgeTest::serverValue(const std::string& label) {
  std::string prefix = "value " + label + " ";
  std::string line = sim().ask("get " + label, prefix);
  return line.empty() ? NAN : std::strtof(line.c_str() + prefix.size(), nullptr);
}

std::string BridgeTest::serverState(const std::string& label) {
  std::string prefix = "state " + label + " ";
  std::string line = sim().ask("get " + label, prefix);
  return line.empty() ? "" : line.substr(prefix.size());
}

bool BridgeTest::waitForSomethingChanged() {
  // Only a guard against a hang.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!translator.getSomethingChanged()) {
    if (std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    std::this_thread::yield();
  }
  return true;
}

void BridgeTest::setUpProbes(const char* internalLabel, const char* externalLabel) {
  ASSERT_TRUE(setupIntProbe(internalLabel));
  ASSERT_TRUE(setupExProbe(externalLabel));
  translator.setSomethingChanged(false);
}
