// Log lines on their way to the sinks (a file, the console) that the
// logging configuration made. A caller puts its line in a bounded queue and
// goes on; one writer thread hands the lines to the sinks, in order. A sink
// that blocks (a pipe nobody reads, a stalled disk) then holds up only the
// writer. While the queue is full, lines are dropped and counted, and one
// line says how many once the writer catches up.
#ifndef QLOG_LOGQUEUE_H
#define QLOG_LOGQUEUE_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <log4cpp/AppenderSkeleton.hh>
#include <log4cpp/LoggingEvent.hh>

namespace qlog {

// The appenders that one category's lines go to. Every category that uses
// an appender, and every queued line for it, holds it: it is deleted when
// the last of them lets go, never while the writer is inside it.
using LogSinks = std::vector<std::shared_ptr<log4cpp::Appender>>;

// Hands `event` to each sink, whose own threshold and filter apply; a sink
// that throws is passed over.
void writeToSinks(const LogSinks& sinks, const log4cpp::LoggingEvent& event);

// The text of the line that reports dropped lines, at WARN.
std::string droppedLinesMessage(uint64_t lines);
// The category that line carries.
extern const char* const kQueueCategory;

struct LogQueueBounds {
  std::size_t lines;
  std::size_t bytes;  // the lines' text and the queue's bookkeeping for them
};

class LogQueue {
 public:
  // Ten seconds of a debug line every pass at 100 passes a second, in about
  // a quarter of a megabyte.
  static constexpr LogQueueBounds kDefaultBounds = {1024, 256 * 1024};

  // The writer does not run yet: until start(), lines are written on the
  // callers' threads.
  explicit LogQueue(LogQueueBounds bounds = kDefaultBounds);
  // close() with a bound of a second.
  ~LogQueue();
  LogQueue(const LogQueue&) = delete;
  LogQueue& operator=(const LogQueue&) = delete;

  // Starts the writer thread, with SIGINT and SIGTERM blocked: the stop
  // signals belong to the application's own threads. False, with the reason
  // in `whyNot`, when the system refuses the thread; lines are then written
  // on the callers' threads. Once only.
  bool start(std::string& whyNot);

  // Any thread: queues `event` for `sinks` and returns, never waiting for a
  // sink. A line is dropped (and counted) when the queue holds its bound of
  // lines or would exceed its bound of bytes; a line is always taken into
  // an empty queue. Lines the writer is writing count as queued.
  void push(const std::shared_ptr<const LogSinks>& sinks, const log4cpp::LoggingEvent& event);

  // Waits up to `timeout` until every line queued so far, and the report of
  // any dropped ones, is written. True when it was.
  bool drain(std::chrono::milliseconds timeout);

  // Drains (up to `timeout`), then ends the writer. Later lines are written
  // on the callers' threads. False when a sink still held the writer at the
  // end of the wait: the writer is then left to itself, and later lines are
  // dropped. Idempotent.
  bool close(std::chrono::milliseconds timeout);

  // Lines dropped since the queue was made.
  uint64_t droppedLines() const;

  // What a queued line counts against the bound of bytes.
  static std::size_t bytesOf(const log4cpp::LoggingEvent& event);

  struct Shared;  // the state the writer thread shares, and may outlive the queue with

 private:
  std::shared_ptr<Shared> mShared;
  std::thread mWriter;
};

// The queue between the categories and the appenders that cQlog::init()
// configured; null before the first init().
std::shared_ptr<LogQueue> processLogQueue();

// Replaces all the appenders of a category: what it is given goes to the
// queue, for the category's sinks.
class QueueingAppender : public log4cpp::AppenderSkeleton {
 public:
  QueueingAppender(const std::string& name, std::shared_ptr<LogQueue> queue,
                   std::shared_ptr<const LogSinks> sinks);
  void close() override {}
  bool requiresLayout() const override { return false; }
  void setLayout(log4cpp::Layout* layout) override { delete layout; }

 protected:
  void _append(const log4cpp::LoggingEvent& event) override;

 private:
  const std::shared_ptr<LogQueue> mQueue;
  const std::shared_ptr<const LogSinks> mSinks;
};

}  // namespace qlog

#endif
