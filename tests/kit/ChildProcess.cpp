#include "ChildProcess.h"

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
}

bool ChildProcess::start(const std::vector<std::string>& argv,
                         const std::map<std::string, std::string>& env) {
  if (argv.empty() || mPid > 0) {
    return false;
  }
  int in[2], out[2], err[2];
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0 ||
      ::pipe2(mStopPipe, O_CLOEXEC) != 0) {
    return false;
  }
  // Everything the child needs is built before fork: only async-signal-safe
  // calls happen between fork and exec.
  std::vector<std::string> fullArgv = emulatorPrefix();
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
    return false;
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
  ::close(err[1]);
  mPid = pid;
  mStdin = in[1];
  mOut[kStdout] = out[0];
  mOut[kStderr] = err[0];
  mOpen[kStdout] = mOpen[kStderr] = true;
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
    ::usleep(static_cast<useconds_t>(std::min(remainingMs(deadline), 5)) * 1000);
  }
}

void ChildProcess::stop() {
  if (mPid <= 0 || mExitStatus) {
    return;
  }
  ::kill(mPid, SIGTERM);
  if (!wait(1000)) {
    ::kill(mPid, SIGKILL);
    wait(2000);
  }
}
