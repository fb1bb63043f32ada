#include "LogCapture.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include <log4cpp/AppenderSkeleton.hh>
#include <log4cpp/Category.hh>
#include <log4cpp/LoggingEvent.hh>
#include <log4cpp/Priority.hh>

namespace {

class RecordingAppender : public log4cpp::AppenderSkeleton {
 public:
  RecordingAppender() : log4cpp::AppenderSkeleton("LogCapture") {}
  void close() override {}
  bool requiresLayout() const override { return false; }
  void setLayout(log4cpp::Layout* layout) override { delete layout; }

  std::vector<LogEntry> snapshot() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mEntries;
  }
  std::vector<LogEntry> drain() {
    std::lock_guard<std::mutex> lock(mMutex);
    std::vector<LogEntry> out;
    out.swap(mEntries);
    return out;
  }
  bool waitFor(const std::string& message, bool wholeLine, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(mMutex);
    return mChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
      return std::any_of(mEntries.begin(), mEntries.end(), [&](const LogEntry& e) {
        return wholeLine ? e.message == message : e.message.rfind(message, 0) == 0;
      });
    });
  }

 protected:
  void _append(const log4cpp::LoggingEvent& event) override {
    {
      std::lock_guard<std::mutex> lock(mMutex);
      mEntries.push_back({event.categoryName, event.priority, event.message});
    }
    mChanged.notify_all();
  }

 private:
  mutable std::mutex mMutex;
  mutable std::condition_variable mChanged;
  std::vector<LogEntry> mEntries;
};

log4cpp::Category& categoryNamed(const std::string& name) {
  return name.empty() ? log4cpp::Category::getRoot() : log4cpp::Category::getInstance(name);
}

}  // namespace

struct LogCapture::Impl {
  log4cpp::Category* category = nullptr;
  RecordingAppender appender;
  log4cpp::Priority::Value savedPriority = log4cpp::Priority::NOTSET;
  bool savedAdditivity = true;
};

LogCapture::LogCapture(const std::string& category) : mImpl(new Impl) {
  mImpl->category = &categoryNamed(category);
  mImpl->savedPriority = mImpl->category->getPriority();
  mImpl->savedAdditivity = mImpl->category->getAdditivity();
  mImpl->category->addAppender(mImpl->appender);  // by reference: not owned
  mImpl->category->setAdditivity(false);
  mImpl->category->setPriority(log4cpp::Priority::DEBUG);
}

LogCapture::~LogCapture() {
  mImpl->category->setPriority(mImpl->savedPriority);
  mImpl->category->setAdditivity(mImpl->savedAdditivity);
  mImpl->category->removeAppender(&mImpl->appender);
}

std::vector<LogEntry> LogCapture::entries() const {
  return mImpl->appender.snapshot();
}

std::vector<std::string> LogCapture::messages() const {
  std::vector<std::string> out;
  for (const LogEntry& e : mImpl->appender.snapshot()) {
    out.push_back(e.message);
  }
  return out;
}

std::vector<std::string> LogCapture::take() {
  std::vector<std::string> out;
  for (LogEntry& e : mImpl->appender.drain()) {
    out.push_back(std::move(e.message));
  }
  return out;
}

void LogCapture::clear() {
  mImpl->appender.drain();
}

bool LogCapture::contains(const std::string& message) const {
  return count(message) > 0;
}

std::size_t LogCapture::count(const std::string& message) const {
  std::vector<LogEntry> all = mImpl->appender.snapshot();
  return static_cast<std::size_t>(std::count_if(
      all.begin(), all.end(), [&](const LogEntry& e) { return e.message == message; }));
}

bool LogCapture::waitFor(const std::string& message, int timeoutMs) const {
  return mImpl->appender.waitFor(message, true, timeoutMs);
}

bool LogCapture::waitForStart(const std::string& start, int timeoutMs) const {
  return mImpl->appender.waitFor(start, false, timeoutMs);
}
