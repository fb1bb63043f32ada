#include "Process.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "Clock.h"

extern char** environ;

namespace {

constexpr int kWaitSliceMs = 10;

std::vector<std::string> environmentWith(
    const std::vector<std::pair<std::string, std::string>>& additions) {
  std::vector<std::string> result;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    std::string text = *entry;
    bool replaced = false;
    for (const auto& [name, value] : additions) {
      if (text.compare(0, name.size() + 1, name + "=") == 0) {
        replaced = true;
      }
    }
    if (!replaced) {
      result.push_back(text);
    }
  }
  for (const auto& [name, value] : additions) {
    result.push_back(name + "=" + value);
  }
  return result;
}

std::vector<char*> pointersTo(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) {
    pointers.push_back(text.data());
  }
  pointers.push_back(nullptr);
  return pointers;
}

int statusOf(int status) {
  if (WIFEXITED(status)) {
    return WEXITSTATUS(status);
  }
  if (WIFSIGNALED(status)) {
    return 128 + WTERMSIG(status);
  }
  return -1;
}

}  // namespace

Spawned::~Spawned() {
  if (mPid > 0) {
    stop(2000);
  }
  if (mStdoutFd >= 0) {
    ::close(mStdoutFd);
  }
}

bool Spawned::start(const SpawnOptions& options) {
  if (options.argv.empty()) {
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  int pipeFds[2] = {-1, -1};
  if (options.outputFile.empty()) {
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
      posix_spawn_file_actions_destroy(&actions);
      return false;
    }
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, options.outputFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  }
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);

  std::vector<std::string> args = options.argv;
  std::vector<std::string> env = environmentWith(options.environment);
  std::vector<char*> argPointers = pointersTo(args);
  std::vector<char*> envPointers = pointersTo(env);
  int error = posix_spawn(&mPid, args[0].c_str(), &actions, nullptr, argPointers.data(),
                          envPointers.data());
  posix_spawn_file_actions_destroy(&actions);
  if (pipeFds[1] >= 0) {
    ::close(pipeFds[1]);
  }
  if (error != 0) {
    mPid = -1;
    if (pipeFds[0] >= 0) {
      ::close(pipeFds[0]);
    }
    return false;
  }
  mStdoutFd = pipeFds[0];
  return true;
}

std::string Spawned::readAllOutput() {
  std::string text;
  if (mStdoutFd < 0) {
    return text;
  }
  char buffer[65536];
  for (;;) {
    ssize_t got = ::read(mStdoutFd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      break;
    }
    text.append(buffer, static_cast<std::size_t>(got));
  }
  return text;
}

bool Spawned::running() {
  if (mPid <= 0) {
    return false;
  }
  int status = 0;
  if (::waitpid(mPid, &status, WNOHANG) == mPid) {
    mPid = -1;
    mEndedStatus = statusOf(status);
    return false;
  }
  return true;
}

int Spawned::stop(int timeoutMs) {
  if (mPid <= 0) {
    return mEndedStatus;
  }
  ::kill(mPid, SIGTERM);
  const int64_t deadline = monotonicNs() + timeoutMs * kNanosecondsPerMillisecond;
  int status = 0;
  for (;;) {
    pid_t done = ::waitpid(mPid, &status, WNOHANG);
    if (done == mPid) {
      mPid = -1;
      return statusOf(status);
    }
    if (done < 0 && errno != EINTR) {
      mPid = -1;
      return -1;
    }
    if (monotonicNs() >= deadline) {
      ::kill(mPid, SIGKILL);
      ::waitpid(mPid, &status, 0);
      mPid = -1;
      return statusOf(status);
    }
    ::usleep(kWaitSliceMs * 1000);
  }
}

int Spawned::wait() {
  if (mPid <= 0) {
    return mEndedStatus;
  }
  int status = 0;
  while (::waitpid(mPid, &status, 0) < 0) {
    if (errno != EINTR) {
      mPid = -1;
      return -1;
    }
  }
  mPid = -1;
  return statusOf(status);
}

int64_t processCpuNs(pid_t pid) {
  clockid_t clock;
  if (clock_getcpuclockid(pid, &clock) != 0) {
    return -1;
  }
  timespec t = {};
  if (clock_gettime(clock, &t) != 0) {
    return -1;
  }
  return toNs(t);
}

std::map<pid_t, int64_t> threadCpuNs(pid_t pid) {
  std::map<pid_t, int64_t> result;
  std::string taskDir = "/proc/" + std::to_string(pid) + "/task";
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
