#include "ChildProcess.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "monotonicClock.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// FRIGEL_TEST_EMULATOR, split on blanks: a command that every child is
// started through (e.g. "/usr/bin/qemu-arm-static -L /" when the tests run
// on a build host that cannot execute target programs directly). A cross
// build compiles its emulator in as the default; empty for a native build.
std::vector<std::string> emulatorPrefix() {
  std::vector<std::string> words;
  const char* value = std::getenv("FRIGEL_TEST_EMULATOR");
  if (value == nullptr) {
    value = FRIGEL_DEFAULT_TEST_EMULATOR;
  }
  std::string word;
  for (const char* c = value;; ++c) {
    if (*c == '\0' || *c == ' ' || *c == '\t') {
      if (!word.empty()) {
        words.push_back(word);
        word.clear();
      }
      if (*c == '\0') {
        return words;
      }
    } else {
      word += *c;
    }
  }
}

void closeFd(int& fd) {
  if (fd >= 0) {
    ::close(fd);
    fd = -1;
  }
}

}  // namespace

ChildProcess::~ChildProcess() {
  if (mPid > 0 && !mExitStatus) {
    ::kill(mPid, SIGKILL);
    wait(2000);
  }
  finishReader();
  closeFd(mStdin);
  closeFd(mUnreadStdout);  // only now: the child must never see it closed
}

bool ChildProcess::start(const std::vector<std::string>& argv,
                         const std::map<std::string, std::string>& env,
                         const std::string& outputFile) {
  if (argv.empty() || mPid > 0) {
    return false;
  }
  int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1};
  auto fail = [&] {
    if (err[1] == out[1]) {
      err[1] = -1;  // one output file for both
    }
    for (int* fd :
         {&in[0], &in[1], &out[0], &out[1], &err[0], &err[1], &mStopPipe[0], &mStopPipe[1]}) {
      closeFd(*fd);
    }
    return false;
  };
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(mStopPipe, O_CLOEXEC) != 0) {
    return fail();
  }
  if (!outputFile.empty()) {
    out[1] = ::open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    err[1] = out[1];
    if (out[1] < 0) {
      return fail();
    }
  } else if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
    return fail();
  } else if (mLeaveStdoutUnread) {
    // The smallest pipe fills after a few lines; failing to shrink it only
    // makes that take longer.
    (void)::fcntl(out[1], F_SETPIPE_SZ, static_cast<int>(::sysconf(_SC_PAGESIZE)));
    mUnreadStdout = out[0];
    out[0] = -1;
  }
  // Everything the child needs is built before fork: only async-signal-safe
  // calls happen between fork and exec.
  std::vector<std::string> fullArgv = mOnHost ? std::vector<std::string>() : emulatorPrefix();
  fullArgv.insert(fullArgv.end(), argv.begin(), argv.end());
  std::vector<char*> args;
  for (const std::string& a : fullArgv) {
    args.push_back(const_cast<char*>(a.c_str()));
  }
  args.push_back(nullptr);
  std::map<std::string, std::string> merged;
  for (char** e = environ; *e; ++e) {
    if (const char* eq = std::strchr(*e, '=')) {
      merged[std::string(*e, static_cast<std::size_t>(eq - *e))] = eq + 1;
    }
  }
  for (const auto& kv : env) {
    if (kv.second.empty()) {
      merged.erase(kv.first);
    } else {
      merged[kv.first] = kv.second;
    }
  }
  std::vector<std::string> envStrings;
  for (const auto& kv : merged) {
    envStrings.push_back(kv.first + "=" + kv.second);
  }
  std::vector<char*> envp;
  for (std::string& s : envStrings) {
    envp.push_back(const_cast<char*>(s.c_str()));
  }
  envp.push_back(nullptr);

  pid_t pid = ::fork();
  if (pid < 0) {
    return fail();
  }
  if (pid == 0) {
    // The child ends with the test program, even when that one crashes:
    // a simulator never outlives the test that started it.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    ::execve(args[0], args.data(), envp.data());
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  if (err[1] != out[1]) {
    ::close(err[1]);
  }
  mPid = pid;
  mStdin = in[1];
  mOut[kStdout] = out[0];
  mOut[kStderr] = err[0];
  mOpen[kStdout] = out[0] >= 0;
  mOpen[kStderr] = err[0] >= 0;
  mReader = std::thread([this] { readLoop(); });
  return true;
}

void ChildProcess::readLoop() {
  for (;;) {
    pollfd fds[3];
    Stream which[2];
    nfds_t n = 0;
    for (Stream s : {kStdout, kStderr}) {
      if (mOut[s] >= 0) {
        fds[n] = {mOut[s], POLLIN, 0};
        which[n] = s;
        ++n;
      }
    }
    if (n == 0) {
      return;
    }
    fds[n] = {mStopPipe[0], POLLIN, 0};
    if (::poll(fds, n + 1, -1) < 0) {
      continue;
    }
    if (fds[n].revents != 0) {
      return;
    }
    for (nfds_t i = 0; i < n; ++i) {
      if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
        continue;
      }
      Stream s = which[i];
      char buffer[4096];
      ssize_t r = ::read(fds[i].fd, buffer, sizeof buffer);
      std::lock_guard<std::mutex> lock(mMutex);
      if (r > 0) {
        std::string& partial = mPartial[s];
        partial.append(buffer, static_cast<std::size_t>(r));
        std::size_t start = 0;
        for (std::size_t nl = partial.find('\n'); nl != std::string::npos;
             nl = partial.find('\n', start)) {
          mLines[s].push_back(partial.substr(start, nl - start));
          start = nl + 1;
        }
        partial.erase(0, start);
      } else {
        closeFd(mOut[s]);
        mOpen[s] = false;
      }
      mArrived.notify_all();
    }
  }
}

void ChildProcess::finishReader() {
  if (mReader.joinable()) {
    if (mStopPipe[1] >= 0) {
      char stop = 's';
      (void)!::write(mStopPipe[1], &stop, 1);
    }
    mReader.join();
  }
  closeFd(mOut[kStdout]);
  closeFd(mOut[kStderr]);
  closeFd(mStopPipe[0]);
  closeFd(mStopPipe[1]);
}

bool ChildProcess::running() {
  if (mPid <= 0 || mExitStatus) {
    return false;
  }
  return !wait(0).has_value();
}

bool ChildProcess::writeLine(const std::string& line) {
  if (mStdin < 0) {
    return false;
  }
  std::string data = line + "\n";
  const char* p = data.data();
  std::size_t left = data.size();
  while (left > 0) {
    ssize_t n = ::write(mStdin, p, left);
    if (n <= 0) {
      return false;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

void ChildProcess::closeStdin() {
  closeFd(mStdin);
}

template <typename Match>
std::optional<std::string> ChildProcess::waitForMatch(Match match, int timeoutMs, Stream stream) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::unique_lock<std::mutex> lock(mMutex);
  for (;;) {
    std::vector<std::string>& lines = mLines[stream];
    for (std::size_t& cursor = mCursor[stream]; cursor < lines.size(); ++cursor) {
      if (match(lines[cursor])) {
        return lines[cursor++];
      }
    }
    if (!mOpen[stream] || mArrived.wait_until(lock, deadline) == std::cv_status::timeout) {
      // One last look at what arrived with the time-out.
      for (std::size_t& cursor = mCursor[stream]; cursor < lines.size(); ++cursor) {
        if (match(lines[cursor])) {
          return lines[cursor++];
        }
      }
      return std::nullopt;
    }
  }
}

std::optional<std::string> ChildProcess::waitForLine(const std::string& text, int timeoutMs,
                                                     Stream stream) {
  return waitForMatch([&](const std::string& line) { return line.find(text) != std::string::npos; },
                      timeoutMs, stream);
}

std::optional<std::string> ChildProcess::waitForPrefix(const std::string& prefix, int timeoutMs,
                                                       Stream stream) {
  return waitForMatch([&](const std::string& line) { return line.rfind(prefix, 0) == 0; },
                      timeoutMs, stream);
}

void ChildProcess::pump(int timeoutMs) {
  if (timeoutMs <= 0) {
    return;
  }
  std::unique_lock<std::mutex> lock(mMutex);
  mArrived.wait_for(lock, std::chrono::milliseconds(timeoutMs));
}

std::vector<std::string> ChildProcess::history(Stream stream) const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mLines[stream];
}

std::size_t ChildProcess::countLines(const std::string& text, Stream stream) const {
  std::lock_guard<std::mutex> lock(mMutex);
  return static_cast<std::size_t>(
      std::count_if(mLines[stream].begin(), mLines[stream].end(),
                    [&](const std::string& line) { return line.find(text) != std::string::npos; }));
}

void ChildProcess::sendSignal(int sig) {
  if (mPid > 0 && !mExitStatus) {
    ::kill(mPid, sig);
  }
}

std::optional<int> ChildProcess::wait(int timeoutMs) {
  if (mExitStatus || mPid <= 0) {
    return mExitStatus;
  }
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    int status = 0;
    pid_t r = ::waitpid(mPid, &status, WNOHANG);
    if (r == mPid) {
      mExitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      // Let the reader take what the child wrote before it ended.
      std::unique_lock<std::mutex> lock(mMutex);
      mArrived.wait_for(lock, std::chrono::milliseconds(2000),
                        [&] { return !mOpen[kStdout] && !mOpen[kStderr]; });
      return mExitStatus;
    }
    if (r < 0 || remainingMs(deadline) == 0) {
      return std::nullopt;
    }
    // A child's output ends when it does: while it is open, the wait sleeps
    // until it closes (looking again now and then, in case something the
    // child started holds it), so a long run costs no wake-ups.
    std::unique_lock<std::mutex> lock(mMutex);
    if (mOpen[kStdout] || mOpen[kStderr]) {
      mArrived.wait_for(lock, std::chrono::milliseconds(std::min(remainingMs(deadline), 100)),
                        [&] { return !mOpen[kStdout] && !mOpen[kStderr]; });
    } else {
      lock.unlock();
      ::usleep(static_cast<useconds_t>(std::min(remainingMs(deadline), 5)) * 1000);
    }
  }
}

int ChildProcess::stop(int graceMs) {
  if (mPid <= 0) {
    return -1;
  }
  if (!mExitStatus) {
    ::kill(mPid, SIGTERM);
    if (!wait(graceMs)) {
      ::kill(mPid, SIGKILL);
      wait(2000);
    }
  }
  return mExitStatus.value_or(-1);
}

int64_t processCpuNanoseconds(pid_t pid) {
  clockid_t clock;
  timespec used = {};
  if (clock_getcpuclockid(pid, &clock) != 0 || clock_gettime(clock, &used) != 0) {
    return -1;
  }
  return nanosecondsOf(used);
}

long processContextSwitches(pid_t pid) {
  const std::string taskDir = "/proc/" + std::to_string(pid) + "/task";
  DIR* dir = ::opendir(taskDir.c_str());
  if (dir == nullptr) {
    return -1;
  }
  long switches = 0;
  while (dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] < '0' || entry->d_name[0] > '9') {
      continue;
    }
    std::ifstream status(taskDir + "/" + entry->d_name + "/status");
    for (std::string line; std::getline(status, line);) {
      if (line.find("voluntary_ctxt_switches:") != std::string::npos) {
        switches += std::atol(line.c_str() + line.find(':') + 1);
      }
    }
  }
  ::closedir(dir);
  return switches;
}

std::map<pid_t, int64_t> threadCpuNanoseconds(pid_t pid) {
  std::map<pid_t, int64_t> result;
  const std::string taskDir = "/proc/" + std::to_string(pid) + "/task";
  DIR* dir = ::opendir(taskDir.c_str());
  if (dir == nullptr) {
    return result;
  }
  while (dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] < '0' || entry->d_name[0] > '9') {
      continue;
    }
    std::ifstream schedstat(taskDir + "/" + entry->d_name + "/schedstat");
    int64_t onCpuNs = 0;
    if (schedstat >> onCpuNs) {
      result[static_cast<pid_t>(std::atol(entry->d_name))] = onCpuNs;
    }
  }
  ::closedir(dir);
  return result;
}

namespace {

// A memory figure in KiB from /proc/PID/status, by its field name with the
// colon ("VmRSS:"); -1 when unknown.
long statusKib(pid_t pid, const std::string& field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, field.size(), field) == 0) {
      return std::atol(line.c_str() + field.size());
    }
  }
  return -1;
}

}  // namespace

long residentKib(pid_t pid) {
  return statusKib(pid, "VmRSS:");
}

long peakResidentKib(pid_t pid) {
  return statusKib(pid, "VmHWM:");
}
