#include "PassRescale.h"

#include <cstdio>
#include <vector>

namespace {

// A fan ramp timer is loaded with its Value divided by this.
constexpr uint32_t kRampDivisor = 10;

using PassCountMember = uint32_t ControllerSettingValues::*;

struct PassCount {
  const char* name;
  PassCountMember member;
};

// Every uint32_t setting is a pass count; the others are not.
template <typename Other>
void addIfPassCount(std::vector<PassCount>&, const char*, Other ControllerSettingValues::*) {}
void addIfPassCount(std::vector<PassCount>& counts, const char* name, PassCountMember member) {
  counts.push_back({name, member});
}

const std::vector<PassCount>& passCounts() {
  static const std::vector<PassCount> counts = [] {
    std::vector<PassCount> found;
#define FRIGEL_ADD_PASS_COUNT(type, name) \
  addIfPassCount(found, #name, &ControllerSettingValues::name);
    FRIGEL_CONTROLLER_SETTINGS(FRIGEL_ADD_PASS_COUNT)
#undef FRIGEL_ADD_PASS_COUNT
    return found;
  }();
  return counts;
}

bool isFanRamp(PassCountMember member) {
  return member == &ControllerSettingValues::fanRampDownTimeValue ||
         member == &ControllerSettingValues::fanRampUpTimeValue;
}

std::string microseconds(int64_t value) {
  return std::to_string(value) + " microseconds";
}

std::string quotient(uint64_t dividend, uint64_t divisor) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", static_cast<double>(dividend) / divisor);
  return text;
}

// The whole number of site passes in a replay pass; 0 with `error` when
// there is none.
uint64_t passFactor(int64_t sitePassMicroseconds, int64_t replayPassMicroseconds,
                    std::string& error) {
  if (sitePassMicroseconds <= 0 || replayPassMicroseconds <= 0) {
    error = "pass lengths must be at least 1 microsecond (site " +
            microseconds(sitePassMicroseconds) + ", replay " +
            microseconds(replayPassMicroseconds) + ")";
    return 0;
  }
  if (replayPassMicroseconds % sitePassMicroseconds != 0) {
    error = "the replay pass (" + microseconds(replayPassMicroseconds) +
            ") is not a whole number of site passes (" + microseconds(sitePassMicroseconds) +
            "): " + quotient(replayPassMicroseconds, sitePassMicroseconds);
    return 0;
  }
  return static_cast<uint64_t>(replayPassMicroseconds / sitePassMicroseconds);
}

// `value` rescaled by `factor` into `scaled`; false with `problem` when it
// does not divide.
bool rescaleOne(const PassCount& count, uint32_t value, uint64_t factor, uint32_t& scaled,
                std::string& problem) {
  const std::string setting = std::string(count.name) + " " + std::to_string(value);
  const std::string replayPasses =
      "replay passes (" + std::to_string(factor) + " site passes each): it would be ";
  if (!isFanRamp(count.member)) {
    if (value % factor != 0) {
      problem =
          setting + " passes is not a whole number of " + replayPasses + quotient(value, factor);
      return false;
    }
    scaled = static_cast<uint32_t>(value / factor);
    return true;
  }
  // The remainder below 10 never counts; it is kept, so that a factor of 1
  // changes nothing.
  const uint32_t interval = value / kRampDivisor;
  if (interval % factor != 0) {
    problem = setting + " loads its timer with " + std::to_string(interval) +
              " passes (the Value / 10, remainder dropped), not a whole number of " + replayPasses +
              quotient(interval, factor);
    return false;
  }
  scaled = static_cast<uint32_t>(interval / factor * kRampDivisor + value % kRampDivisor);
  return true;
}

}  // namespace

std::optional<ControllerSettingValues> rescalePassCounts(const ControllerSettingValues& site,
                                                         int64_t sitePassMicroseconds,
                                                         int64_t replayPassMicroseconds,
                                                         std::string& error) {
  const uint64_t factor = passFactor(sitePassMicroseconds, replayPassMicroseconds, error);
  if (factor == 0) {
    return std::nullopt;
  }
  ControllerSettingValues replay = site;
  std::string problems;
  for (const PassCount& count : passCounts()) {
    std::string problem;
    if (!rescaleOne(count, site.*count.member, factor, replay.*count.member, problem)) {
      problems += (problems.empty() ? "" : "\n") + problem;
    }
  }
  if (!problems.empty()) {
    error = problems;
    return std::nullopt;
  }
  return replay;
}
