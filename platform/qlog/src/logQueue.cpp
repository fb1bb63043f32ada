#include "logQueue.h"

#include <pthread.h>
#include <signal.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <utility>

#include <log4cpp/Priority.hh>

namespace qlog {

const char* const kQueueCategory = "qlog";

void writeToSinks(const LogSinks& sinks, const log4cpp::LoggingEvent& event) {
  for (const std::shared_ptr<log4cpp::Appender>& sink : sinks) {
    try {
      sink->doAppend(event);
    } catch (...) {
      // A sink that fails must not cost the others their line.
    }
  }
}

std::string droppedLinesMessage(uint64_t lines) {
  return "log queue full: " + std::to_string(lines) + (lines == 1 ? " line" : " lines") +
         " dropped";
}

namespace {

struct QueuedLine {
  std::shared_ptr<const LogSinks> sinks;
  std::unique_ptr<log4cpp::LoggingEvent> event;
  std::size_t bytes;
};

// Lines dropped for one list of sinks since the last report to it.
struct Drops {
  std::shared_ptr<const LogSinks> sinks;
  uint64_t lines;
};

enum class WriterState {
  kNotStarted,  // lines are written on the callers' threads
  kRunning,     // lines are queued for the writer
  kStopped,     // closed after a drain: lines are written on the callers' threads again
  kAbandoned,   // closed while a sink held the writer: lines are dropped
};

}  // namespace

struct LogQueue::Shared {
  explicit Shared(LogQueueBounds queueBounds) : bounds(queueBounds) {}

  // The writer thread's loop, until the queue is closed.
  void run();
  // Counts a line for `lineSinks` that did not fit. Caller holds `mutex`.
  void noteDrop(const std::shared_ptr<const LogSinks>& lineSinks);
  // Everything queued, and the report of what was dropped, is written.
  bool idle() const { return lines.empty() && !writing && unreported.empty(); }
  // The report of dropped lines is due once the queue is empty, and at the
  // latest after a queue's worth of lines: a sink that never quite catches
  // up still learns of the loss.
  bool reportDue() const {
    return !unreported.empty() && (lines.empty() || writtenSinceDrop >= bounds.lines);
  }
  bool closed() const { return state == WriterState::kStopped || state == WriterState::kAbandoned; }

  const LogQueueBounds bounds;
  std::mutex mutex;
  std::condition_variable work;     // the writer waits on it for lines
  std::condition_variable drained;  // drain() waits on it for idle()
  WriterState state = WriterState::kNotStarted;
  std::deque<QueuedLine> lines;
  std::size_t queuedLines = 0;  // in `lines`, and the one being written
  std::size_t queuedBytes = 0;
  bool writing = false;  // the writer is inside a sink
  std::vector<Drops> unreported;
  std::size_t writtenSinceDrop = 0;
  uint64_t droppedTotal = 0;
};

void LogQueue::Shared::noteDrop(const std::shared_ptr<const LogSinks>& lineSinks) {
  ++droppedTotal;
  for (Drops& drops : unreported) {
    if (drops.sinks == lineSinks) {
      ++drops.lines;
      return;
    }
  }
  unreported.push_back({lineSinks, 1});
}

void LogQueue::Shared::run() {
  std::unique_lock<std::mutex> lock(mutex);
  for (;;) {
    work.wait(lock, [this] {
      return closed() || (state == WriterState::kRunning && (!lines.empty() || reportDue()));
    });
    if (closed()) {
      return;
    }
    writing = true;
    if (!lines.empty()) {
      std::size_t bytes = 0;
      {
        QueuedLine line = std::move(lines.front());
        lines.pop_front();
        lock.unlock();
        writeToSinks(*line.sinks, *line.event);
        bytes = line.bytes;
      }  // the line lets go of its sinks outside the lock
      lock.lock();
      --queuedLines;
      queuedBytes -= bytes;
      writtenSinceDrop += unreported.empty() ? 0 : 1;
    }
    if (state == WriterState::kRunning && reportDue()) {
      std::vector<Drops> reports;
      reports.swap(unreported);
      writtenSinceDrop = 0;
      lock.unlock();
      for (const Drops& drops : reports) {
        writeToSinks(*drops.sinks,
                     log4cpp::LoggingEvent(kQueueCategory, droppedLinesMessage(drops.lines), "",
                                           log4cpp::Priority::WARN));
      }
      reports.clear();
      lock.lock();
    }
    writing = false;
    if (idle()) {
      drained.notify_all();
    }
  }
}

LogQueue::LogQueue(LogQueueBounds bounds) : mShared(std::make_shared<Shared>(bounds)) {}

LogQueue::~LogQueue() {
  close(std::chrono::seconds(1));
}

bool LogQueue::start(std::string& whyNot) {
  {
    std::lock_guard<std::mutex> lock(mShared->mutex);
    if (mShared->state != WriterState::kNotStarted || mWriter.joinable()) {
      whyNot = "started before";
      return false;
    }
  }
  sigset_t stopSignals;
  sigset_t previous;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, &previous);
  try {
    // The thread holds the shared state: a writer left inside a sink by
    // close() may outlive this object.
    mWriter = std::thread([shared = mShared] { shared->run(); });
  } catch (const std::system_error& e) {
    whyNot = e.what();
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  if (!mWriter.joinable()) {
    return false;
  }
  std::lock_guard<std::mutex> lock(mShared->mutex);
  mShared->state = WriterState::kRunning;
  return true;
}

void LogQueue::push(const std::shared_ptr<const LogSinks>& sinks,
                    const log4cpp::LoggingEvent& event) {
  // Copied before the lock is taken, so the writer never waits for a
  // caller's allocation; released after it (declared first).
  auto copy = std::make_unique<log4cpp::LoggingEvent>(event);
  const std::size_t bytes = bytesOf(event);
  Shared& shared = *mShared;
  std::unique_lock<std::mutex> lock(shared.mutex);
  if (shared.state == WriterState::kAbandoned) {
    shared.noteDrop(sinks);  // never reported: the writer will not write again
    return;
  }
  if (shared.state != WriterState::kRunning) {
    lock.unlock();
    writeToSinks(*sinks, event);
    return;
  }
  const bool fits = shared.queuedLines == 0 || (shared.queuedLines < shared.bounds.lines &&
                                                shared.queuedBytes + bytes <= shared.bounds.bytes);
  if (!fits) {
    shared.noteDrop(sinks);
    return;
  }
  ++shared.queuedLines;
  shared.queuedBytes += bytes;
  shared.lines.push_back({sinks, std::move(copy), bytes});
  lock.unlock();
  shared.work.notify_one();
}

bool LogQueue::drain(std::chrono::milliseconds timeout) {
  Shared& shared = *mShared;
  std::unique_lock<std::mutex> lock(shared.mutex);
  return shared.drained.wait_for(lock, timeout, [&shared] {
    return shared.state == WriterState::kNotStarted || shared.state == WriterState::kStopped ||
           shared.idle();
  });
}

bool LogQueue::close(std::chrono::milliseconds timeout) {
  Shared& shared = *mShared;
  std::unique_lock<std::mutex> lock(shared.mutex);
  if (shared.state != WriterState::kRunning) {
    const bool abandoned = shared.state == WriterState::kAbandoned;
    if (!abandoned) {
      shared.state = WriterState::kStopped;
    }
    return !abandoned;
  }
  const bool drainedInTime = shared.drained.wait_for(
      lock, timeout, [&shared] { return shared.state != WriterState::kRunning || shared.idle(); });
  if (shared.state != WriterState::kRunning) {
    return shared.state == WriterState::kStopped;  // another close() came first
  }
  // Decided under the lock that drain() checked: no line slips in between.
  shared.state = drainedInTime ? WriterState::kStopped : WriterState::kAbandoned;
  lock.unlock();
  shared.work.notify_all();
  if (drainedInTime) {
    mWriter.join();
  } else {
    mWriter.detach();
  }
  return drainedInTime;
}

std::size_t LogQueue::bytesOf(const log4cpp::LoggingEvent& event) {
  return sizeof(QueuedLine) + sizeof(log4cpp::LoggingEvent) + event.categoryName.size() +
         event.message.size() + event.ndc.size() + event.threadName.size();
}

uint64_t LogQueue::droppedLines() const {
  std::lock_guard<std::mutex> lock(mShared->mutex);
  return mShared->droppedTotal;
}

QueueingAppender::QueueingAppender(const std::string& name, std::shared_ptr<LogQueue> queue,
                                   std::shared_ptr<const LogSinks> sinks)
    : log4cpp::AppenderSkeleton(name), mQueue(std::move(queue)), mSinks(std::move(sinks)) {}

void QueueingAppender::_append(const log4cpp::LoggingEvent& event) {
  mQueue->push(mSinks, event);
}

}  // namespace qlog
