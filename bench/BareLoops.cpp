#include "BareLoops.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>

#include <cObject.h>
#include <vulowire.h>

#include "ChildProcess.h"
#include "SiteConfig.h"
#include "monotonicClock.h"
#include "Loopback.h"

namespace {

constexpr int kInnerIterationsPerPass = 100;
// Longer than any loop of the benchmark runs (a few minutes at most).
constexpr int kLongestLoopMs = 30 * 60 * 1000;
constexpr useconds_t kInnerSleepMicroseconds = 10;

// Stands for the translator's change flag: looked at, never raised.
std::atomic<bool> changeFlag{false};

const char* shapeName(BareShape shape) {
  switch (shape) {
    case BareShape::Literal:
      return "literal";
    case BareShape::Deadline:
      return "deadline";
    case BareShape::DeadlineAndSet:
      return "deadline-set";
    case BareShape::DeadlineAndHandedSet:
      return "deadline-handed-set";
  }
  return "?";
}

std::optional<BareShape> shapeFromName(const std::string& name) {
  for (BareShape shape : {BareShape::Literal, BareShape::Deadline, BareShape::DeadlineAndSet,
                          BareShape::DeadlineAndHandedSet}) {
    if (name == shapeName(shape)) {
      return shape;
    }
  }
  return std::nullopt;
}

int connectToServer(int port) {
  const int fd = connectLoopback(port);
  if (fd < 0) {
    return -1;
  }
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return fd;
}

// The set the daemon sends at the end of every pass: the site's fan output.
std::vector<uint8_t> encodedFanSet() {
  vulowire::Frame frame;
  frame.kind = vulowire::FrameKind::SetRequest;
  for (std::unique_ptr<cObjectPort>& port : daemonSitePorts()) {
    if (std::strcmp(port->getPortLabel(), "fan") == 0) {
      static_cast<cObjectAOutput&>(*port).setOutputValue(0.0f);
      frame.objects.emplace_back(std::move(port));
    }
  }
  std::vector<uint8_t> bytes;
  vulowire::encodeFrame(frame, bytes);
  return bytes;
}

// Every context switch of this process so far (its sender thread, when it
// has one, included).
long contextSwitchesSoFar() {
  rusage usage = {};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_nvcsw + usage.ru_nivcsw;
}

int64_t processCpuNs() {
  timespec used = {};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
  return nanosecondsOf(used);
}

// Writes sets on a thread of its own, woken for each one, as the client
// library's transmit thread does.
class HandOffSender {
 public:
  HandOffSender(int fd, const std::vector<uint8_t>& bytes)
      : mFd(fd), mBytes(bytes), mThread([this] { run(); }) {}
  ~HandOffSender() {
    {
      std::lock_guard<std::mutex> lock(mMutex);
      mStopping = true;
    }
    mWake.notify_all();
    mThread.join();
  }
  HandOffSender(const HandOffSender&) = delete;
  HandOffSender& operator=(const HandOffSender&) = delete;

  void send() {
    std::lock_guard<std::mutex> lock(mMutex);
    ++mPending;
    mWake.notify_all();
  }

 private:
  void run() {
    std::unique_lock<std::mutex> lock(mMutex);
    for (;;) {
      mWake.wait(lock, [this] { return mStopping || mPending > 0; });
      if (mPending == 0) {
        return;
      }
      --mPending;
      lock.unlock();
      (void)!::send(mFd, mBytes.data(), mBytes.size(), MSG_NOSIGNAL);
      lock.lock();
    }
  }

  const int mFd;
  const std::vector<uint8_t>& mBytes;
  std::mutex mMutex;
  std::condition_variable mWake;
  int mPending = 0;
  bool mStopping = false;
  std::thread mThread;
};

}  // namespace

std::optional<BareLoopResult> runBareLoop(const BareLoopOptions& options) {
  if (options.timerSlackNs >= 0) {
    prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(options.timerSlackNs), 0, 0, 0);
  }
  int fd = -1;
  const std::vector<uint8_t> fanSet = encodedFanSet();
  std::unique_ptr<HandOffSender> handOff;
  if (options.shape == BareShape::DeadlineAndSet ||
      options.shape == BareShape::DeadlineAndHandedSet) {
    fd = connectToServer(options.serverPort);
    if (fd < 0) {
      return std::nullopt;
    }
    if (options.shape == BareShape::DeadlineAndHandedSet) {
      handOff = std::make_unique<HandOffSender>(fd, fanSet);
    }
  }
  BareLoopResult result;
  result.passNs.reserve(static_cast<std::size_t>(options.passes));
  result.latenessNs.reserve(static_cast<std::size_t>(options.passes));

  int64_t deadline = monotonicNanoseconds();
  if (options.shape != BareShape::Literal && options.phaseAnchorNs > 0 && options.periodNs > 0) {
    // Waits (unmeasured) for the first point of the anchor's grid.
    const int64_t periods = (deadline - options.phaseAnchorNs) / options.periodNs + 1;
    deadline = options.phaseAnchorNs + periods * options.periodNs;
    const timespec wake = timespecOf(deadline);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr) == EINTR) {
    }
  }
  const int64_t cpuStart = processCpuNs();
  const long switchesStart = contextSwitchesSoFar();
  const int64_t wallStart = monotonicNanoseconds();
  int64_t passStart = wallStart;
  for (int pass = 0; pass < options.passes; ++pass) {
    if (options.shape == BareShape::Literal) {
      for (int i = 0; i < kInnerIterationsPerPass; ++i) {
        if (changeFlag.load(std::memory_order_acquire)) {
          changeFlag.store(false);
        }
        usleep(kInnerSleepMicroseconds);
      }
    } else {
      deadline += options.periodNs;
      const timespec wake = timespecOf(deadline);
      while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr) == EINTR) {
      }
    }
    const int64_t now = monotonicNanoseconds();
    if (options.shape != BareShape::Literal) {
      result.latenessNs.push_back(now - deadline);
    }
    if (handOff) {
      handOff->send();
    } else if (fd >= 0) {
      (void)!::send(fd, fanSet.data(), fanSet.size(), MSG_NOSIGNAL);
    }
    result.passNs.push_back(now - passStart);
    passStart = now;
  }
  result.cpuNs = processCpuNs() - cpuStart;
  result.contextSwitches = contextSwitchesSoFar() - switchesStart;
  result.wallNs = monotonicNanoseconds() - wallStart;
  handOff.reset();
  if (fd >= 0) {
    ::close(fd);
  }
  return result;
}

int bareLoopChildMain(int argc, char** argv) {
  if (argc != 8 || std::strcmp(argv[1], "--bare") != 0) {
    std::fprintf(stderr, "usage: %s --bare SHAPE PASSES PERIOD_NS SLACK_NS PORT ANCHOR_NS\n",
                 argv[0]);
    return 2;
  }
  std::optional<BareShape> shape = shapeFromName(argv[2]);
  if (!shape) {
    std::fprintf(stderr, "unknown loop shape %s\n", argv[2]);
    return 2;
  }
  BareLoopOptions options;
  options.shape = *shape;
  options.passes = std::atoi(argv[3]);
  options.periodNs = std::atoll(argv[4]);
  options.timerSlackNs = std::atol(argv[5]);
  options.serverPort = std::atoi(argv[6]);
  options.phaseAnchorNs = std::atoll(argv[7]);
  std::optional<BareLoopResult> result = runBareLoop(options);
  if (!result) {
    std::fprintf(stderr, "the bare loop could not reach the server on port %d\n",
                 options.serverPort);
    return 1;
  }
  std::printf("%lld %lld %ld %zu\n", static_cast<long long>(result->cpuNs),
              static_cast<long long>(result->wallNs), result->contextSwitches,
              result->passNs.size());
  for (std::size_t i = 0; i < result->passNs.size(); ++i) {
    long long lateness = i < result->latenessNs.size() ? result->latenessNs[i] : 0;
    std::printf("%lld %lld\n", static_cast<long long>(result->passNs[i]), lateness);
  }
  return 0;
}

struct BareLoopChild::Impl {
  ChildProcess child;
  BareShape shape = BareShape::Literal;
};

BareLoopChild::BareLoopChild() : mImpl(new Impl) {}

BareLoopChild::~BareLoopChild() = default;

bool BareLoopChild::start(const std::string& selfPath, const BareLoopOptions& options) {
  mImpl->shape = options.shape;
  return mImpl->child.start(
      {selfPath, "--bare", shapeName(options.shape), std::to_string(options.passes),
       std::to_string(options.periodNs), std::to_string(options.timerSlackNs),
       std::to_string(options.serverPort), std::to_string(options.phaseAnchorNs)});
}

std::optional<BareLoopResult> BareLoopChild::finish() {
  if (mImpl->child.wait(kLongestLoopMs) != std::optional<int>(0)) {
    mImpl->child.stop();
    return std::nullopt;
  }
  std::string text;
  for (const std::string& line : mImpl->child.history()) {
    text += line + "\n";
  }
  std::istringstream output(text);
  BareLoopResult result;
  std::size_t passes = 0;
  long long cpu = 0;
  long long wall = 0;
  if (!(output >> cpu >> wall >> result.contextSwitches >> passes)) {
    return std::nullopt;
  }
  result.cpuNs = cpu;
  result.wallNs = wall;
  const bool deadlineShape = mImpl->shape != BareShape::Literal;
  for (std::size_t i = 0; i < passes; ++i) {
    long long pass = 0;
    long long lateness = 0;
    if (!(output >> pass >> lateness)) {
      return std::nullopt;
    }
    result.passNs.push_back(pass);
    if (deadlineShape) {
      result.latenessNs.push_back(lateness);
    }
  }
  return result;
}

std::optional<BareLoopResult> runBareLoopInChild(const std::string& selfPath,
                                                 const BareLoopOptions& options) {
  BareLoopChild child;
  if (!child.start(selfPath, options)) {
    return std::nullopt;
  }
  return child.finish();
}

void appendBareLoop(std::optional<BareLoopResult>& total,
                    const std::optional<BareLoopResult>& more) {
  if (!more) {
    return;
  }
  if (!total) {
    total = more;
    return;
  }
  total->passNs.insert(total->passNs.end(), more->passNs.begin(), more->passNs.end());
  total->latenessNs.insert(total->latenessNs.end(), more->latenessNs.begin(),
                           more->latenessNs.end());
  total->cpuNs += more->cpuNs;
  total->contextSwitches += more->contextSwitches;
  total->wallNs += more->wallNs;
}
