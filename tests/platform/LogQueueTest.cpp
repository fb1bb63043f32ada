// The logger's queue: a caller never waits for a sink, a full queue drops
// and counts and says so once, lines keep their order, and a drain or an
// exit loses nothing.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <log4cpp/AppenderSkeleton.hh>
#include <log4cpp/Category.hh>
#include <log4cpp/LoggingEvent.hh>
#include <log4cpp/Priority.hh>

#include "ChildProcess.h"
#include "TempDir.h"
#include "cQlog.h"
#include "logQueue.h"

namespace {

using qlog::LogQueue;
using qlog::LogQueueBounds;

constexpr std::chrono::seconds kWait{10};

// A sink that records what reaches it. While held, a line that arrives
// waits inside it, as behind a full pipe, until release().
class HeldSink : public log4cpp::AppenderSkeleton {
 public:
  explicit HeldSink(const std::string& name) : log4cpp::AppenderSkeleton(name) {}
  void close() override {}
  bool requiresLayout() const override { return false; }
  void setLayout(log4cpp::Layout* layout) override { delete layout; }

  void hold() {
    std::lock_guard<std::mutex> lock(mMutex);
    mHeld = true;
  }
  void release() {
    {
      std::lock_guard<std::mutex> lock(mMutex);
      mHeld = false;
    }
    mChanged.notify_all();
  }
  // Waits until a line is inside the sink.
  bool waitForArrival() {
    std::unique_lock<std::mutex> lock(mMutex);
    return mChanged.wait_for(lock, kWait, [this] { return mArrived > 0; });
  }
  std::vector<std::string> messages() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mMessages;
  }
  std::vector<int> priorities() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mPriorities;
  }

 protected:
  void _append(const log4cpp::LoggingEvent& event) override {
    std::unique_lock<std::mutex> lock(mMutex);
    ++mArrived;
    mChanged.notify_all();
    mChanged.wait(lock, [this] { return !mHeld; });
    mMessages.push_back(event.message);
    mPriorities.push_back(event.priority);
  }

 private:
  mutable std::mutex mMutex;
  std::condition_variable mChanged;
  bool mHeld = false;
  int mArrived = 0;
  std::vector<std::string> mMessages;
  std::vector<int> mPriorities;
};

// A category whose lines go through `queue` to `sink` alone, for the life
// of the object.
class QueuedCategory {
 public:
  QueuedCategory(const std::string& name, const std::shared_ptr<LogQueue>& queue,
                 const std::shared_ptr<HeldSink>& sink)
      : mCategory(log4cpp::Category::getInstance(name)) {
    mCategory.setAdditivity(false);
    mCategory.setPriority(log4cpp::Priority::DEBUG);
    mCategory.addAppender(new qlog::QueueingAppender(
        "queue for " + name, queue, std::make_shared<qlog::LogSinks>(qlog::LogSinks{sink})));
  }
  ~QueuedCategory() {
    mCategory.removeAllAppenders();
    mCategory.setAdditivity(true);
    mCategory.setPriority(log4cpp::Priority::NOTSET);
  }

 private:
  log4cpp::Category& mCategory;
};

std::shared_ptr<LogQueue> startedQueue(LogQueueBounds bounds) {
  auto queue = std::make_shared<LogQueue>(bounds);
  std::string whyNot;
  EXPECT_TRUE(queue->start(whyNot)) << whyNot;
  return queue;
}

// The sink holds the first line; ten lines are logged meanwhile. Four fit
// (the one inside the sink counts), by either bound; the caller returns
// at once all the same, and once the sink lets go the four come out in
// order, then one line counts the six dropped. Later lines pass without a
// second count.
TEST(LogQueue, ABlockedSinkNeverHoldsTheCallerAndAFullQueueDropsAndCountsOnce) {
  const std::string category = "LogQueueHeld";
  const std::size_t lineBytes =
      LogQueue::bytesOf(log4cpp::LoggingEvent(category, "line 0", "", log4cpp::Priority::INFO));
  const struct {
    const char* bound;
    LogQueueBounds bounds;
  } kCases[] = {
      {"lines", {4, 1024 * 1024}},
      {"bytes", {1000, 4 * lineBytes + lineBytes / 2}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string("bound of ") + c.bound);
    auto queue = startedQueue(c.bounds);
    auto sink = std::make_shared<HeldSink>("LogQueueHeldSink");
    QueuedCategory queued(category, queue, sink);
    cQlog log(category.c_str());

    sink->hold();
    log.info("line 0");
    ASSERT_TRUE(sink->waitForArrival());
    std::promise<void> returned;
    std::thread caller([&] {
      for (int i = 1; i < 10; ++i) {
        log.info("line %d", i);
      }
      returned.set_value();
    });
    const bool callerReturned = returned.get_future().wait_for(kWait) == std::future_status::ready;
    sink->release();
    caller.join();
    EXPECT_TRUE(callerReturned) << "the caller waited for the sink";
    ASSERT_TRUE(queue->drain(kWait));
    log.info("line 10");
    ASSERT_TRUE(queue->drain(kWait));

    EXPECT_EQ(sink->messages(),
              (std::vector<std::string>{"line 0", "line 1", "line 2", "line 3",
                                        "log queue full: 6 lines dropped", "line 10"}));
    EXPECT_EQ(sink->priorities().at(4), log4cpp::Priority::WARN);
    EXPECT_EQ(queue->droppedLines(), 6u);
  }
}

// Two threads log through the queue at full speed while the sink takes its
// time: nothing is dropped within the bounds, each thread's lines arrive
// in order, and close() returns once all are written; lines logged after
// it are written at once, on the caller's thread.
TEST(LogQueue, LinesKeepTheirOrderAndACloseWritesThemAll) {
  constexpr int kLinesPerThread = 500;
  auto queue = startedQueue({4096, 4 * 1024 * 1024});
  auto sink = std::make_shared<HeldSink>("LogQueueOrderSink");
  QueuedCategory queued("LogQueueOrder", queue, sink);
  cQlog log("LogQueueOrder");
  sink->hold();
  auto writer = [&log](char thread) {
    for (int i = 0; i < kLinesPerThread; ++i) {
      log.debug("%c %d", thread, i);
    }
  };
  std::thread a(writer, 'a');
  std::thread b(writer, 'b');
  a.join();
  b.join();
  sink->release();
  ASSERT_TRUE(queue->close(kWait));
  log.info("after close");

  std::map<char, int> next;
  const std::vector<std::string> messages = sink->messages();
  ASSERT_EQ(messages.size(), 2u * kLinesPerThread + 1);
  for (std::size_t i = 0; i + 1 < messages.size(); ++i) {
    const char thread = messages[i][0];
    ASSERT_EQ(messages[i], std::string(1, thread) + " " + std::to_string(next[thread]++));
  }
  EXPECT_EQ(messages.back(), "after close");
  EXPECT_EQ(queue->droppedLines(), 0u);
}

// A program that configures logging to its standard output, logs, and
// exits with status 3: whether its output is read or not, it ends with its
// own status; when read, with every line written.
TEST(LogQueue, AtExitTheQueueIsWrittenOutOrGivenUpAfterABoundedWait) {
  constexpr int kLines = 500;
  TempDir dir;
  const std::string conf = dir.write("log.conf",
                                     "log4cpp.rootCategory=DEBUG, console\n"
                                     "log4cpp.appender.console=ConsoleAppender\n"
                                     "log4cpp.appender.console.layout=PatternLayout\n"
                                     "log4cpp.appender.console.layout.ConversionPattern=%m%n\n");
  for (const bool read : {true, false}) {
    SCOPED_TRACE(read ? "output read" : "output unread");
    ChildProcess program;
    if (!read) {
      program.leaveStdoutUnread();
    }
    ASSERT_TRUE(program.start({QLOG_EXIT_PROGRAM, conf, std::to_string(kLines), "3"}));
    EXPECT_EQ(program.wait(static_cast<int>(std::chrono::milliseconds(kWait).count())),
              std::optional<int>(3));
    if (read) {
      const std::vector<std::string> lines = program.history();
      ASSERT_EQ(lines.size(), static_cast<std::size_t>(kLines));
      EXPECT_EQ(lines.back(), "line " + std::to_string(kLines - 1));
    }
  }
}

}  // namespace
