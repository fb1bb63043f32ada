#include "operatorStatus.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <system_error>

#include <nlohmann/json.hpp>

#include "Globals.h"
#include "frigel.h"
#include "metricsText.h"
#include "monotonicClock.h"
#include "probeActivity.h"
#include "supervisorLog.h"
#include "supervisorThread.h"

namespace {

constexpr auto kWriteInterval = std::chrono::seconds(1);
constexpr int64_t kMetricsIntervalNanoseconds = 10 * kNanosecondsPerSecond;
// The status is for the operator; the metrics also for the collector, which
// runs as a user of its own.
constexpr mode_t kStatusFileMode = 0644;
constexpr mode_t kMetricsFileMode = 0644;
const char* const kProbeNames[2] = {"internal", "external"};

double seconds(int64_t nanoseconds) {
  return static_cast<double>(nanoseconds) / static_cast<double>(kNanosecondsPerSecond);
}

}  // namespace

void SnapshotExchange::publish(const StatusSnapshot& snapshot) {
  mSlots[mWriterSlot] = snapshot;
  mWriterSlot = mMiddle.exchange(mWriterSlot | kFresh, std::memory_order_acq_rel) & 3;
}

bool SnapshotExchange::take(StatusSnapshot& out) {
  if ((mMiddle.load(std::memory_order_acquire) & kFresh) == 0) {
    return false;
  }
  mReaderSlot = mMiddle.exchange(mReaderSlot, std::memory_order_acq_rel) & 3;
  out = mSlots[mReaderSlot];
  return true;
}

std::string statusDirectory() {
  const char* dir = std::getenv("FRIGEL_RUN");
  return (dir && *dir) ? dir : "/run/frigel";
}

StatusWriteStamp statusWriteStampNow() {
  timespec now = {};
  clock_gettime(CLOCK_REALTIME, &now);
  return StatusWriteStamp{static_cast<long>(::getpid()), static_cast<int64_t>(now.tv_sec)};
}

namespace {

// A number, or null when it is not one or not measured (negative).
nlohmann::ordered_json numberOrNull(double value, double scale) {
  if (!std::isfinite(value)) {
    return nullptr;
  }
  return std::round(value * scale) / scale;
}

nlohmann::ordered_json measuredOrNull(double value, double scale) {
  return value >= 0 ? numberOrNull(value, scale) : nlohmann::ordered_json(nullptr);
}

std::string utcText(int64_t unixSeconds) {
  const time_t seconds = static_cast<time_t>(unixSeconds);
  tm utc = {};
  char at[32] = "";
  if (gmtime_r(&seconds, &utc) == nullptr ||
      std::strftime(at, sizeof at, "%Y-%m-%dT%H:%M:%SZ", &utc) == 0) {
    at[0] = '\0';
  }
  return at;
}

}  // namespace

std::string renderStatusJson(const StatusSnapshot& s, double passesPerSecond,
                             double internalAgeSeconds, double externalAgeSeconds,
                             const StatusWriteStamp& stamp) {
  nlohmann::ordered_json status;
  status["state"] = s.stopped        ? "stopped"
                    : !s.controlling ? "idle: set-up incomplete"
                    : s.stalled      ? "stalled"
                                     : "controlling";
  status["pid"] = stamp.pid;
  status["writtenAt"] = utcText(stamp.unixSeconds);
  status["writtenAtUnixSeconds"] = stamp.unixSeconds;
  status["mode"] = s.controlling ? coolingModeName(static_cast<eCoolingModeState>(s.mode)) : "none";
  status["passesPerSecond"] = measuredOrNull(passesPerSecond, 10);
  status["probes"]["internal"] = {{"temperature", numberOrNull(s.internalTemperature, 100)},
                                  {"lastTrendAgeSeconds", measuredOrNull(internalAgeSeconds, 10)},
                                  {"lost", s.probeLost[0] != 0},
                                  {"implausible", s.probeImplausible[0] != 0}};
  status["probes"]["external"] = {{"temperature", numberOrNull(s.externalTemperature, 100)},
                                  {"lastTrendAgeSeconds", measuredOrNull(externalAgeSeconds, 10)},
                                  {"lost", s.probeLost[1] != 0},
                                  {"implausible", s.probeImplausible[1] != 0}};
  nlohmann::ordered_json aircons = nlohmann::ordered_json::array();
  for (int unit = 0; unit < 2; ++unit) {
    aircons.push_back({{"unit", unit + 1},
                       {"decidedOn", s.airconDecidedOn[unit] != 0},
                       {"on", s.airconOn[unit] != 0},
                       {"startHeld", s.startHeld[unit] != 0},
                       {"restLeftSeconds", numberOrNull(s.restLeftSeconds[unit], 10)},
                       {"starts", s.starts[unit]},
                       {"runHours", numberOrNull(seconds(s.runNanoseconds[unit]) / 3600.0, 1000)},
                       {"sendFailures", s.sendFailures[unit]},
                       {"noCooling", s.noCooling[unit] != 0}});
  }
  status["aircons"] = aircons;
  status["firstRoleUnit"] = s.firstRoleUnit;
  status["fanSpeedPercent"] = numberOrNull(s.fanSpeedPercent, 10);
  status["fanSendFailures"] = s.sendFailures[2];
  return status.dump(2) + "\n";
}

OperatorStatus::OperatorStatus(cQlog& log, const std::string& directory,
                               const std::string& metricsPath, int64_t passPeriodNanoseconds)
    : mLog(log),
      mStatusFile(log, directory + "/status", "status file", "every second", kStatusFileMode),
      mMetricsFile(metricsPath.empty()
                       ? nullptr
                       : std::make_unique<AtomicFile>(log, metricsPath, "metrics file",
                                                      "every 10 s", kMetricsFileMode)),
      mStartNanoseconds(monotonicNanoseconds()),
      mStartUnixSeconds(statusWriteStampNow().unixSeconds),
      mStallNanoseconds(
          std::max(kStallSeconds * kNanosecondsPerSecond, kStallPeriods * passPeriodNanoseconds)) {
  ::mkdir(directory.c_str(), 0755);  // usually made by the service manager
  if (mMetricsFile) {
    mLog.info("metrics for the textfile collector in %s, about every 10 s",
              mMetricsFile->path().c_str());
  }
  try {
    mWriter = startWithoutStopSignals([this] { writerLoop(); });
  } catch (const std::system_error& e) {
    // The loop publishes its snapshots all the same; nobody takes them.
    mLog.info("cannot start the status writer: %s; running without the status file %s", e.what(),
              mStatusFile.path().c_str());
  }
}

OperatorStatus::~OperatorStatus() {
  {
    std::lock_guard<std::mutex> lock(mStopMutex);
    mStopping = true;
  }
  mStopSignal.notify_all();
  if (mWriter.joinable()) {
    mWriter.join();
  }
}

void OperatorStatus::afterPass(const AirconStates& outputs, const PassContext& context) {
  const int64_t now = monotonicNanoseconds();
  if (mCurrent.controlling && coolState != mCurrent.mode) {
    ++mCurrent.modeChanges;
  }
  const bool fanRan = mCurrent.fanPercentSent > 0.0f;
  const bool fanRuns = context.fanPercentSent > 0.0f;
  if (fanRuns && !fanRan) {
    mFanRunStart = now;
  } else if (!fanRuns && fanRan) {
    mCurrent.fanRunNanoseconds += now - mFanRunStart;
  }
  mCurrent.fanPercentSent = context.fanPercentSent;
  mCurrent.sendFailures[2] = context.fanSendFailures;
  if (context.serverConnected && !mCurrent.serverConnected && mEverConnected) {
    ++mCurrent.serverReconnects;
  }
  mEverConnected = mEverConnected || context.serverConnected;
  mCurrent.serverConnected = context.serverConnected;
  mCurrent.passOverruns = context.passOverruns;
  const bool* on = outputs.on;
  for (int unit = 0; unit < 2; ++unit) {
    mCurrent.airconDecidedOn[unit] = outputs.decidedOn[unit];
    mCurrent.startHeld[unit] = outputs.startHeld[unit];
    mCurrent.restLeftSeconds[unit] = outputs.restLeftSeconds[unit];
    mCurrent.sendFailures[unit] = outputs.sendFailures[unit];
    mCurrent.noCooling[unit] = outputs.noCooling[unit];
    mCurrent.probeLost[unit] = context.probeLost[unit];
    mCurrent.probeImplausible[unit] = context.probeImplausible[unit];
    if (on[unit] && !mCurrent.airconOn[unit]) {
      ++mCurrent.starts[unit];
      mRunStart[unit] = now;
    } else if (!on[unit] && mCurrent.airconOn[unit]) {
      mCurrent.runNanoseconds[unit] += now - mRunStart[unit];
    }
    mCurrent.airconOn[unit] = on[unit];
  }
  mCurrent.controlling = true;
  mCurrent.takenNanoseconds = now;
  ++mCurrent.passes;
  mCurrent.mode = coolState;
  mCurrent.internalTemperature = internalTemperatureAveraging;
  mCurrent.externalTemperature = externalTemperatureAveraging;
  mCurrent.fanSpeedPercent = fanSpeedPercent;
  mCurrent.firstRoleUnit = firstAirconUnit();

  mExchange.publish(withRunsSoFar(mCurrent, now));
}

StatusSnapshot OperatorStatus::withRunsSoFar(StatusSnapshot snapshot, int64_t now) const {
  for (int unit = 0; unit < 2; ++unit) {
    if (snapshot.airconOn[unit]) {
      snapshot.runNanoseconds[unit] += now - mRunStart[unit];
    }
  }
  if (snapshot.fanPercentSent > 0.0f) {
    snapshot.fanRunNanoseconds += now - mFanRunStart;
  }
  return snapshot;
}

void OperatorStatus::found(const AirconStates& outputs) {
  const int64_t now = monotonicNanoseconds();
  for (int unit = 0; unit < 2; ++unit) {
    mCurrent.airconOn[unit] = outputs.on[unit];
    mRunStart[unit] = now;
  }
}

void OperatorStatus::idle() {
  StatusSnapshot snapshot;
  snapshot.takenNanoseconds = monotonicNanoseconds();
  mExchange.publish(snapshot);
}

void OperatorStatus::stopped() {
  const int64_t now = monotonicNanoseconds();
  StatusSnapshot snapshot = withRunsSoFar(mCurrent, now);
  snapshot.stopped = true;
  snapshot.takenNanoseconds = now;
  mExchange.publish(snapshot);
}

void OperatorStatus::writerLoop() {
  std::unique_lock<std::mutex> lock(mStopMutex);
  for (;;) {
    bool stopping = mStopSignal.wait_for(lock, kWriteInterval, [this] { return mStopping; });
    lock.unlock();
    StatusSnapshot snapshot;
    if (mExchange.take(snapshot)) {
      mLatest = snapshot;
    }
    int64_t now = monotonicNanoseconds();
    measureRate(now);
    writeOnce(mLatest);
    if (mMetricsFile && (stopping || mLastMetricsNanoseconds == 0 ||
                         now - mLastMetricsNanoseconds >= kMetricsIntervalNanoseconds)) {
      mLastMetricsNanoseconds = now;
      writeMetrics(mLatest);
    }
    if (stopping) {
      return;
    }
    lock.lock();
  }
}

void OperatorStatus::measureRate(int64_t now) {
  const bool running = mLatest.controlling && !mLatest.stopped;
  if (!running) {
    mHaveRate = false;
    mLatest.stalled = false;
    return;
  }
  if (mHaveRate && now > mRateFromNanoseconds) {
    mPassesPerSecond =
        static_cast<double>(mLatest.passes - mRateFromPasses) / seconds(now - mRateFromNanoseconds);
  }
  mHaveRate = true;
  mRateFromNanoseconds = now;
  mRateFromPasses = mLatest.passes;
  // The snapshot is taken at the end of every pass: its time is the last
  // pass's.
  mLatest.stalled = now - mLatest.takenNanoseconds > mStallNanoseconds;
  if (mLatest.stalled && !mStallLogged) {
    mLog.warn("control loop stalled: no pass for %.1f s", seconds(now - mLatest.takenNanoseconds));
  } else if (!mLatest.stalled && mStallLogged) {
    mLog.info("control loop runs again");
  }
  mStallLogged = mLatest.stalled;
}

void OperatorStatus::writeOnce(const StatusSnapshot& snapshot) {
  int64_t now = monotonicNanoseconds();
  auto age = [&](const std::atomic<int64_t>& last) {
    int64_t at = last.load(std::memory_order_relaxed);
    return at != 0 ? seconds(now - at) : -1.0;
  };
  const bool running = snapshot.controlling && !snapshot.stopped;
  std::string json = renderStatusJson(
      snapshot, running ? mPassesPerSecond : -1.0, age(probeActivity.internalTrendNanoseconds),
      age(probeActivity.externalTrendNanoseconds), statusWriteStampNow());
  mStatusFile.write(json);
}

void OperatorStatus::writeMetrics(const StatusSnapshot& snapshot) {
  const int64_t now = monotonicNanoseconds();
  auto age = [&](const std::atomic<int64_t>& last) {
    const int64_t at = last.load(std::memory_order_relaxed);
    return seconds(now - (at != 0 ? at : mStartNanoseconds));
  };
  MetricsContext context;
  context.internalAgeSeconds = age(probeActivity.internalTrendNanoseconds);
  context.externalAgeSeconds = age(probeActivity.externalTrendNanoseconds);
  context.startUnixSeconds = static_cast<double>(mStartUnixSeconds);
  if (snapshot.controlling) {
    context.lastPassUnixSeconds = static_cast<double>(statusWriteStampNow().unixSeconds) -
                                  seconds(now - snapshot.takenNanoseconds);
  }
  context.version = FRIGEL_VERSION;
  mMetricsFile->write(renderMetrics(snapshot, context));
}
