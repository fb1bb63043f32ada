// The periodic re-poll: every SyncTime seconds both probes are read from the
// server again and every output's cached state is sent again, so that an
// output is re-asserted after the object server restarts or a command is
// lost.
//
// The reads wait for the server's answers (up to a second each), so they run
// on a thread of their own: a slow or silent server never holds up a pass.
// The control loop re-sends the outputs (the client's set never blocks) in
// the pass after the reads, and hands the values read to the controller
// through the change flag.
#ifndef FRIGEL_REPOLL_H
#define FRIGEL_REPOLL_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include <cQlog.h>

#include "CqTranslator.h"

class Repoll {
 public:
  // periodSeconds <= 0 turns the re-poll off (no thread). The first reads
  // come one period after construction. When the system refuses the thread,
  // one line says so and the daemon runs without the re-poll.
  Repoll(CqTranslator& translator, int periodSeconds, cQlog& log);
  // Stops and joins the thread.
  ~Repoll();
  Repoll(const Repoll&) = delete;
  Repoll& operator=(const Repoll&) = delete;

  // Control loop, once a pass. When reads have ended since the last call,
  // re-sends the outputs and raises the change flag, so the pass takes the
  // values read. Otherwise one atomic load: no lock, no system call.
  void resendIfDue();

  // Asks the thread to end without waiting for it. A read in flight still
  // waits for its answer, or until the client stops; no failure is logged
  // after this. The destructor joins the thread.
  void requestStop();

 private:
  void pollLoop();

  CqTranslator& mTranslator;
  const int64_t mPeriodNanoseconds;  // 0: off
  std::atomic<bool> mReadsDone{false};
  std::atomic<bool> mStopRequested{false};
  std::mutex mStopMutex;  // with mStopSignal, wakes the thread's wait; never
                          // taken by the control loop
  std::condition_variable mStopSignal;
  std::thread mThread;
};

#endif
