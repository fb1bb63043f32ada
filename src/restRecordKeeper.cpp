#include "restRecordKeeper.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "monotonicClock.h"

namespace {

// Tiny and written by the control thread, so without fsync: the runtime
// directory is tmpfs, and the reboot that would lose it clears it anyway.
constexpr mode_t kRecordMode = 0644;

double secondsOf(int64_t nanoseconds) {
  return static_cast<double>(nanoseconds) / static_cast<double>(kNanosecondsPerSecond);
}

bool readWhole(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return false;
  }
  std::ostringstream all;
  all << in.rdbuf();
  text = all.str();
  return true;
}

}  // namespace

std::string currentBootId() {
  std::string text;
  if (!readWhole("/proc/sys/kernel/random/boot_id", text)) {
    return "";
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
    text.pop_back();
  }
  return text;
}

RestRecordKeeper::RestRecordKeeper(cQlog& log, const std::string& path)
    : mLog(log),
      mFile(log, path, "rest record", "at the next switch", kRecordMode, AtomicFile::Sync::kNone),
      mBootId(currentBootId()) {}

void RestRecordKeeper::applyAtStart(CqTranslator& translator, int64_t now) {
  std::string text;
  const bool exists = readWhole(mFile.path(), text);
  const RestRecordUse use = judgeRestRecord(exists, text, mBootId, now);
  if (!use.valid) {
    mLog.info("rest record %s: %s; an air conditioner found off rests its whole minimum off time",
              mFile.path().c_str(), use.line.c_str());
    return;
  }
  std::string said;
  for (int unit = 1; unit <= AirconOutputs::kUnits; ++unit) {
    const RestRecord::Unit& r = use.record.units[unit - 1];
    if (r.state == RestRecord::Unit::Resting) {
      translator.setAirconRestingSince(unit, r.restingSince);
    }
    const AirconOutputs& outputs = translator.getAirconOutputs();
    if (!outputs.memory().units[unit - 1].present) {
      continue;
    }
    char part[96];
    if (outputs.confirmedOn(unit)) {
      std::snprintf(part, sizeof part, "unit %d runs", unit);
    } else if (r.state == RestRecord::Unit::Resting) {
      std::snprintf(part, sizeof part, "unit %d off for %.2f s, %.2f s left to rest", unit,
                    secondsOf(now - r.restingSince), secondsOf(outputs.restLeft(unit, now)));
    } else {
      std::snprintf(part, sizeof part, "unit %d stopped while the daemon was down, rests %.2f s",
                    unit, secondsOf(outputs.restLeft(unit, now)));
    }
    said += said.empty() ? part : std::string("; ") + part;
  }
  mLog.info("rest record %s: %s", mFile.path().c_str(), said.empty() ? "no unit" : said.c_str());
}

void RestRecordKeeper::afterPass(const AirconOutputs& outputs) {
  if (mWritten && outputs.changes() == mWrittenChanges) {
    return;
  }
  // A failed write is logged once by the file and tried again at the next
  // change, not every pass.
  mFile.write(formatRestRecord(restRecordOf(outputs, mBootId)));
  mWritten = true;
  mWrittenChanges = outputs.changes();
}
