// The bare reference loops: the two pass shapes of the daemon's control loop
// with nothing else in them, run in a process of their own so that their CPU
// time is measured exactly like the daemon's.
#ifndef FRIGEL_BENCH_BARELOOPS_H
#define FRIGEL_BENCH_BARELOOPS_H

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

enum class BareShape {
  // 100 x (look at a change flag, usleep(10)) per pass.
  Literal,
  // One clock_nanosleep to an absolute CLOCK_MONOTONIC deadline per pass.
  Deadline,
  // Deadline, then one pre-encoded fan set written to the loopback server
  // over loopback TCP from the same thread (no hand-over to another thread).
  DeadlineAndSet,
  // Deadline, then the fan set handed to a second thread that writes it, as
  // the client library's transmit thread does.
  DeadlineAndHandedSet,
};

struct BareLoopOptions {
  BareShape shape = BareShape::Literal;
  int passes = 0;
  int64_t periodNs = 0;    // deadline shapes only
  long timerSlackNs = -1;  // -1: the process default (50 us)
  int serverPort = 0;      // DeadlineAndSet only
  // Deadline shapes: 0, or a CLOCK_MONOTONIC time on whose grid of periods
  // the deadlines fall (to keep clear of another loop's wake-ups).
  int64_t phaseAnchorNs = 0;
};

struct BareLoopResult {
  std::vector<int64_t> passNs;      // the length of each pass
  std::vector<int64_t> latenessNs;  // wake-up minus deadline (deadline shapes)
  int64_t cpuNs = 0;                // CPU time of the process over the loop
  int64_t wallNs = 0;               // monotonic time over the loop
  long contextSwitches = 0;         // voluntary and involuntary, over the loop
};

// Runs the loop in this process. Nothing on failure (no server to send to).
std::optional<BareLoopResult> runBareLoop(const BareLoopOptions& options);

// The child side: parses "--bare SHAPE PASSES PERIOD_NS SLACK_NS PORT ANCHOR_NS",
// runs the loop and writes the result to standard output. Returns the exit
// status.
int bareLoopChildMain(int argc, char** argv);

// The loop in a child process started from `selfPath` (this program).
class BareLoopChild {
 public:
  // Not copyable: it owns the child process.
  BareLoopChild();
  ~BareLoopChild();

  bool start(const std::string& selfPath, const BareLoopOptions& options);
  // Waits for the loop to end; nothing when it failed.
  std::optional<BareLoopResult> finish();

 private:
  struct Impl;
  std::unique_ptr<Impl> mImpl;
};

// Starts the loop in a child process and waits for its result.
std::optional<BareLoopResult> runBareLoopInChild(const std::string& selfPath,
                                                 const BareLoopOptions& options);

// Appends `more` (another run of the same loop) to `total`.
void appendBareLoop(std::optional<BareLoopResult>& total,
                    const std::optional<BareLoopResult>& more);

#endif
