// Child processes of the benchmark (the daemon, the bare reference loops)
// and what /proc tells about a running process.
#ifndef FRIGEL_BENCH_PROCESS_H
#define FRIGEL_BENCH_PROCESS_H

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

struct SpawnOptions {
  std::vector<std::string> argv;  // argv[0] is the program's path
  // Added to (or replacing in) this process's environment.
  std::vector<std::pair<std::string, std::string>> environment;
  // Standard output and error go to this file ("": standard output to a
  // pipe read through stdoutFd(), standard error inherited).
  std::string outputFile;
};

class Spawned {
 public:
  Spawned() = default;
  ~Spawned();
  Spawned(const Spawned&) = delete;
  Spawned& operator=(const Spawned&) = delete;

  bool start(const SpawnOptions& options);
  pid_t pid() const { return mPid; }
  // The read end of the standard output pipe; -1 when it goes to a file.
  int stdoutFd() const { return mStdoutFd; }
  // Reads standard output until the child closes it.
  std::string readAllOutput();
  // SIGTERM, then waits up to `timeoutMs` before SIGKILL. Returns the exit
  // status, 128 + signal for a child killed by a signal, or -1.
  int stop(int timeoutMs);
  // Waits for the child to end on its own; same result as stop().
  int wait();
  // False once the child has ended (its status is then kept for stop()).
  bool running();

 private:
  pid_t mPid = -1;
  int mEndedStatus = -1;  // set when running() found the child ended
  int mStdoutFd = -1;
};

// CPU time of the whole process (every thread), in nanoseconds; -1 when
// the process is gone.
int64_t processCpuNs(pid_t pid);
// CPU time of each thread of the process, by thread id, in nanoseconds
// (from /proc/PID/task/TID/schedstat).
std::map<pid_t, int64_t> threadCpuNs(pid_t pid);
// Resident memory (VmRSS) in KiB; -1 when unknown.
long residentKib(pid_t pid);
// Peak resident memory (VmHWM) in KiB; -1 when unknown.
long peakResidentKib(pid_t pid);

#endif
