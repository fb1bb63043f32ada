// The operator's view of the running controller: a status file in JSON,
// rewritten atomically about once a second, and the metrics file. The
// control loop only publishes a snapshot each pass (no lock, no allocation,
// no system call); a writer thread of its own does the file work, so a slow
// or failing file system never slows a pass.
#ifndef FRIGEL_OPERATORSTATUS_H
#define FRIGEL_OPERATORSTATUS_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <cQlog.h>

#include "atomicFile.h"

// What the bridge knows of each air conditioner's output (index 0: unit 1):
// the controller's decision, the state the object server confirmed, and a
// start that waits. A held start is not on yet.
struct AirconStates {
  bool decidedOn[2] = {false, false};
  bool on[2] = {false, false};  // confirmed on at the server
  bool startHeld[2] = {false, false};
  double restLeftSeconds[2] = {0.0, 0.0};  // of the minimum off time
  uint64_t sendFailures[2] = {0, 0};       // sends the client refused so far
  bool noCooling[2] = {false, false};      // runs without cooling (an alarm)
};

// What else the operator sees of a pass: the fan as sent, the link to the
// object server and the pacing.
struct PassContext {
  float fanPercentSent = 0.0f;  // the fan output's value as sent; 0 without a fan
  uint64_t fanSendFailures = 0;
  bool serverConnected = true;
  uint64_t passOverruns = 0;  // so far (PassPacing::overruns)
  // Per probe (0 internal, 1 external): lost (no new plausible value for
  // too long) and giving implausible values now.
  bool probeLost[2] = {false, false};
  bool probeImplausible[2] = {false, false};
};

// What one pass leaves for the status writer. Counts and totals run from
// the daemon's start and never go back.
struct StatusSnapshot {
  bool controlling = false;      // false while idle with an incomplete set-up
  bool stopped = false;          // the control loop has ended: a clean stop
  bool stalled = false;          // set by the writer: no pass for too long
  int64_t takenNanoseconds = 0;  // monotonic time of the snapshot
  uint64_t passes = 0;           // passes since the loop started
  unsigned mode = 0;             // eCoolingModeState
  float internalTemperature = 0.0f;
  float externalTemperature = 0.0f;
  float fanSpeedPercent = 0.0f;
  uint8_t airconDecidedOn[2] = {0, 0};   // the controller's decision for unit 1 and 2
  uint8_t airconOn[2] = {0, 0};          // output state confirmed at the server
  uint8_t startHeld[2] = {0, 0};         // a start waits (minimum off time, stagger)
  double restLeftSeconds[2] = {0, 0};    // of the minimum off time
  uint64_t sendFailures[3] = {0, 0, 0};  // refused sends: unit 1, unit 2, fan
  uint8_t noCooling[2] = {0, 0};         // unit 1 and 2 run without cooling
  uint8_t probeLost[2] = {0, 0};         // internal, external
  uint8_t probeImplausible[2] = {0, 0};
  uint8_t firstRoleUnit = 1;           // the unit that cools alone
  uint32_t starts[2] = {0, 0};         // switch-ons since start
  int64_t runNanoseconds[2] = {0, 0};  // run time since start, current run included
  uint64_t modeChanges = 0;
  float fanPercentSent = 0.0f;
  int64_t fanRunNanoseconds = 0;  // time with the fan sent above 0
  uint64_t passOverruns = 0;
  bool serverConnected = false;
  uint64_t serverReconnects = 0;  // connections made again after one was lost
};

// One writer, one reader, no lock: the writer always has a slot of its own
// to fill, and the reader takes the most recently published one.
class SnapshotExchange {
 public:
  void publish(const StatusSnapshot& snapshot);
  // The latest snapshot, if one was published since the last take.
  bool take(StatusSnapshot& out);

 private:
  static constexpr int kFresh = 4;
  StatusSnapshot mSlots[3];
  int mWriterSlot = 0;
  int mReaderSlot = 1;
  std::atomic<int> mMiddle{2};
};

// The folder of the status file: $FRIGEL_RUN when set and not empty,
// otherwise /run/frigel.
std::string statusDirectory();

// Who wrote a status file, and when: a reader compares the time with its
// own clock to tell a daemon that stopped or hangs from one that runs.
struct StatusWriteStamp {
  long pid = 0;
  int64_t unixSeconds = 0;  // wall-clock time of the write (CLOCK_REALTIME)
};

// The stamp of a write made now by this process.
StatusWriteStamp statusWriteStampNow();

// Renders a snapshot as the status file's JSON. `passesPerSecond` < 0 and
// probe ages < 0 are written as null (not measured yet / no event yet). The
// stamp gives "pid", "writtenAt" (UTC, ISO 8601) and "writtenAtUnixSeconds".
std::string renderStatusJson(const StatusSnapshot& snapshot, double passesPerSecond,
                             double internalAgeSeconds, double externalAgeSeconds,
                             const StatusWriteStamp& stamp);

class OperatorStatus {
 public:
  // Starts the writer thread. `metricsPath`: the metrics file, rewritten about every 10 s
  // and at a clean stop; empty: none. `passPeriodNanoseconds`: the length of
  // a pass with exact pacing, 0 for the literal loop; the loop counts as
  // stalled after kStallSeconds or 50 periods without a pass, the longer.
  // When the system refuses the thread, one line says so and no file is
  // written.
  OperatorStatus(cQlog& log, const std::string& directory, const std::string& metricsPath = "",
                 int64_t passPeriodNanoseconds = 0);

  static constexpr int64_t kStallSeconds = 5;
  static constexpr int64_t kStallPeriods = 50;
  // Stops the writer thread after a last write of the latest snapshot.
  ~OperatorStatus();
  OperatorStatus(const OperatorStatus&) = delete;
  OperatorStatus& operator=(const OperatorStatus&) = delete;

  // Main thread, before the first pass: the outputs as found at start-up.
  // A unit found running counts its run from now, but not as a start.
  void found(const AirconStates& outputs);
  // Main thread, once after each controller step, with the outputs as the
  // bridge left them.
  void afterPass(const AirconStates& outputs, const PassContext& context = PassContext());
  // Main thread: the daemon is idle with an incomplete set-up.
  void idle();
  // Main thread, once the control loop has ended on a stop signal: the last
  // write (the destructor's) says "stopped", with the last pass's figures.
  void stopped();

 private:
  // The snapshot with the runs still going counted up to `now`.
  StatusSnapshot withRunsSoFar(StatusSnapshot snapshot, int64_t now) const;
  void writerLoop();
  // The pass rate since the last write, and whether the loop stalled.
  void measureRate(int64_t now);
  void writeOnce(const StatusSnapshot& snapshot);
  void writeMetrics(const StatusSnapshot& snapshot);

  cQlog& mLog;
  AtomicFile mStatusFile;
  std::unique_ptr<AtomicFile> mMetricsFile;  // null: no metrics
  const int64_t mStartNanoseconds;
  const int64_t mStartUnixSeconds;

  // Main thread only.
  StatusSnapshot mCurrent;
  int64_t mRunStart[2] = {0, 0};
  int64_t mFanRunStart = 0;
  bool mEverConnected = false;

  SnapshotExchange mExchange;

  // Writer thread only.
  StatusSnapshot mLatest;
  // The pass rate, measured on the writer's own clock: a loop that makes no
  // passes shows 0, whatever its last snapshot said.
  bool mHaveRate = false;
  int64_t mRateFromNanoseconds = 0;
  uint64_t mRateFromPasses = 0;
  double mPassesPerSecond = -1.0;
  const int64_t mStallNanoseconds;
  bool mStallLogged = false;
  int64_t mLastMetricsNanoseconds = 0;

  std::mutex mStopMutex;  // guards mStopping; never taken by the control loop
  std::condition_variable mStopSignal;
  bool mStopping = false;
  std::thread mWriter;
};

#endif
