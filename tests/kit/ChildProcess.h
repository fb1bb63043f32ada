// A child process for end-to-end tests and the benchmarks: its standard
// input is a pipe the caller writes lines to; its standard output and error
// are read by a background thread into one line history per stream, so a
// chatty child never blocks on a full pipe whether or not anyone is
// reading (or they go to a file). Below it, what /proc tells about a
// running process.
#ifndef FRIGEL_TESTS_CHILDPROCESS_H
#define FRIGEL_TESTS_CHILDPROCESS_H

#include <sys/types.h>

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class ChildProcess {
 public:
  enum Stream { kStdout = 0, kStderr = 1 };

  ChildProcess() = default;
  // Kills the child if it still runs.
  virtual ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts argv[0] with the given arguments (through FRIGEL_TEST_EMULATOR when
  // that is set, see ChildProcess.cpp); `env` entries are added to (or
  // replace) the caller's own environment, and an empty value removes one.
  // With an `outputFile`, standard output and error go to that file
  // (created or emptied) instead of the histories.
  bool start(const std::vector<std::string>& argv,
             const std::map<std::string, std::string>& env = {},
             const std::string& outputFile = "");
  // The next start() runs a program of the machine the tests run on (a
  // collector from its packages, say), never through the emulator.
  void runOnHost() { mOnHost = true; }
  // The next start() gives the child a standard output that nobody reads: a
  // pipe as small as the system allows, held open, so a child that writes
  // to it soon blocks there (as behind a stalled journal or a stopped
  // reader). Its standard error is read as usual. Not with an outputFile.
  void leaveStdoutUnread() { mLeaveStdoutUnread = true; }
  bool running();
  pid_t pid() const { return mPid; }

  // Writes one line (a line feed is added) to the child's standard input.
  bool writeLine(const std::string& line);
  void closeStdin();

  // Waits until a line of `stream` that contains `text` has arrived after
  // the stream's cursor, and moves the cursor past it. Lines passed over
  // stay in the history.
  std::optional<std::string> waitForLine(const std::string& text, int timeoutMs = 5000,
                                         Stream stream = kStdout);
  // The same for a line that starts with `prefix`.
  std::optional<std::string> waitForPrefix(const std::string& prefix, int timeoutMs = 5000,
                                           Stream stream = kStdout);
  // Waits up to `timeoutMs` for any new line.
  void pump(int timeoutMs);
  // Every line read so far.
  std::vector<std::string> history(Stream stream = kStdout) const;
  std::size_t countLines(const std::string& text, Stream stream = kStdout) const;

  void sendSignal(int sig);
  // Waits for the child to end; its exit status (128 + signal when killed
  // by one), or nullopt on time-out.
  std::optional<int> wait(int timeoutMs = 5000);
  // SIGTERM, then SIGKILL if it does not end within `graceMs`. Its exit
  // status (as wait()), or -1 when it never started.
  int stop(int graceMs = 1000);

 private:
  template <typename Match>
  std::optional<std::string> waitForMatch(Match match, int timeoutMs, Stream stream);
  void readLoop();
  void finishReader();

  bool mOnHost = false;
  bool mLeaveStdoutUnread = false;
  int mUnreadStdout = -1;  // read end of the unread standard output
  pid_t mPid = -1;
  int mStdin = -1;
  int mOut[2] = {-1, -1};
  int mStopPipe[2] = {-1, -1};
  std::thread mReader;
  mutable std::mutex mMutex;
  std::condition_variable mArrived;
  std::string mPartial[2];
  std::vector<std::string> mLines[2];
  std::size_t mCursor[2] = {0, 0};
  bool mOpen[2] = {false, false};
  std::optional<int> mExitStatus;
};

// CPU time of the whole process (every thread), in nanoseconds; -1 when the
// process is gone.
int64_t processCpuNanoseconds(pid_t pid);
// CPU time of each thread of the process by thread id, in nanoseconds (from
// /proc/PID/task/TID/schedstat).
std::map<pid_t, int64_t> threadCpuNanoseconds(pid_t pid);
// Context switches of every thread of the process so far, voluntary (it
// slept) and involuntary (it was preempted); -1 when the process is gone.
long processContextSwitches(pid_t pid);
// Resident memory (VmRSS), and its peak (VmHWM), in KiB; -1 when unknown.
long residentKib(pid_t pid);
long peakResidentKib(pid_t pid);

#endif
