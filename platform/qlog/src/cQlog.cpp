#include "cQlog.h"

#include <stdlib.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <log4cpp/Appender.hh>
#include <log4cpp/Category.hh>
#include <log4cpp/OstreamAppender.hh>
#include <log4cpp/PatternLayout.hh>
#include <log4cpp/Priority.hh>
#include <log4cpp/PropertyConfigurator.hh>

#include "logQueue.h"

namespace {

// Bounded waits for the writer: before a new configuration replaces the
// sinks, and at exit.
constexpr std::chrono::milliseconds kReconfigureDrain{1000};
constexpr std::chrono::milliseconds kExitDrain{1000};

// Serialises init() calls; configuring log4cpp is not thread-safe.
std::mutex& configMutex() {
  static std::mutex mutex;
  return mutex;
}

// Never deleted: categories may log until the process ends, and their
// appenders hold the queue anyway.
std::shared_ptr<qlog::LogQueue>& processQueue() {
  static auto* queue = new std::shared_ptr<qlog::LogQueue>();
  return *queue;
}

// At exit, once everything else that logs is done: the lines still queued
// are written, so a clean stop loses nothing. When a sink still holds the
// writer after the bounded wait, the process ends right here with its exit
// status: the rest of the exit (the flush of the standard streams, under
// the lock the writer holds while the console blocks it) would wait for the
// sink too. The system call itself, not _exit(): a sanitizer's _exit
// flushes the standard streams first.
void drainAtExit(int status, void* /*unused*/) {
  if (!processQueue()->close(kExitDrain)) {
    ::syscall(SYS_exit_group, status);
  }
}

// The process's queue, made and started on first use; `whyNot` says why
// its writer could not start, that once.
const std::shared_ptr<qlog::LogQueue>& startedQueue(std::string& whyNot) {
  std::shared_ptr<qlog::LogQueue>& queue = processQueue();
  if (!queue) {
    queue = std::make_shared<qlog::LogQueue>();
    // Made now, after log4cpp's own registry: the exit handler runs before
    // log4cpp is torn down.
    log4cpp::Category::getRoot();
    if (queue->start(whyNot)) {
      ::on_exit(drainAtExit, nullptr);
    }
  }
  return queue;
}

// Puts the queue between each category and the appenders the configuration
// gave it: the category gets one queueing appender for all of them. The
// categories hold those appenders by reference (the configurator keeps no
// owner but log4cpp's registry, which a later appender of the same name
// displaces); from here on, the categories that use an appender and the
// lines queued for it own it together. An appender a category owns stays
// where it is.
void queueConfiguredAppenders(const std::shared_ptr<qlog::LogQueue>& queue) {
  std::map<log4cpp::Appender*, std::shared_ptr<log4cpp::Appender>> owners;
  std::vector<log4cpp::Category*>* all = log4cpp::Category::getCurrentCategories();
  for (log4cpp::Category* category : *all) {
    auto sinks = std::make_shared<qlog::LogSinks>();
    for (log4cpp::Appender* appender : category->getAllAppenders()) {
      if (category->ownsAppender(appender)) {
        continue;
      }
      std::shared_ptr<log4cpp::Appender>& owner = owners[appender];
      if (!owner) {
        owner.reset(appender);
      }
      sinks->push_back(owner);
      category->removeAppender(appender);  // not owned: only detached
    }
    if (!sinks->empty()) {
      category->addAppender(new qlog::QueueingAppender("queue for " + category->getName(), queue,
                                                       std::move(sinks)));  // owned
    }
  }
  delete all;
}

// Returns every category to its pristine state (no appenders, priority
// inherited, additive), so a new configuration does not inherit leftovers of
// the previous one. The appenders of the previous configuration are deleted
// once no queued line needs them.
void resetAllCategories() {
  std::vector<log4cpp::Category*>* all = log4cpp::Category::getCurrentCategories();
  log4cpp::Category* root = &log4cpp::Category::getRoot();
  for (log4cpp::Category* category : *all) {
    category->removeAllAppenders();
    category->setAdditivity(true);
    // The root category must have a priority; the others inherit it.
    category->setPriority(category == root ? log4cpp::Priority::INFO : log4cpp::Priority::NOTSET);
  }
  delete all;
}

// Logging that always works: everything at INFO and above to stderr.
void useStderrFallback(const char* path, const std::string& reason,
                       const std::shared_ptr<qlog::LogQueue>& queue) {
  resetAllCategories();
  log4cpp::Category& root = log4cpp::Category::getRoot();
  auto* appender = new log4cpp::OstreamAppender("stderr", &std::cerr);
  auto* layout = new log4cpp::PatternLayout();
  layout->setConversionPattern("%d{%Y-%m-%d %H:%M:%S.%l} %p %c: %m%n");
  appender->setLayout(layout);
  root.addAppender(*appender);  // by reference, as the configurator does
  queueConfiguredAppenders(queue);
  root.setPriority(log4cpp::Priority::INFO);
  std::fprintf(stderr, "cQlog: logging configuration %s not used (%s); logging to stderr at INFO\n",
               path != nullptr ? path : "(null)", reason.c_str());
}

bool fileIsReadable(const char* path) {
  std::FILE* file = std::fopen(path, "r");
  if (file == nullptr) {
    return false;
  }
  std::fclose(file);
  return true;
}

// Applies the file; returns why it was not used, or "" when it was.
// log4cpp reports a bad file by throwing, which init() turns into a reason.
std::string applyConfiguration(const char* path, const std::shared_ptr<qlog::LogQueue>& queue) {
  if (path == nullptr) {
    return "no path given";
  }
  if (!fileIsReadable(path)) {
    return std::strerror(errno);
  }
  resetAllCategories();
  try {
    log4cpp::PropertyConfigurator::configure(path);
  } catch (...) {
    queueConfiguredAppenders(queue);  // a half-applied file may have attached some
    throw;
  }
  queueConfiguredAppenders(queue);
  // A file without logging keys (only the daemon's own settings) configures
  // no appender for the root category: nothing would ever be written.
  if (log4cpp::Category::getRoot().getAllAppenders().empty()) {
    return "no appender configured for the root category";
  }
  return "";
}

}  // namespace

std::shared_ptr<qlog::LogQueue> qlog::processLogQueue() {
  std::lock_guard<std::mutex> lock(configMutex());
  return processQueue();
}

cQlog::cQlog(const char* category) : mCatName{} {
  std::snprintf(mCatName, sizeof mCatName, "%s", category != nullptr ? category : "");
  mCategory = &log4cpp::Category::getInstance(mCatName);
}

cQlog::~cQlog() = default;

bool cQlog::init(const char* path) {
  std::lock_guard<std::mutex> lock(configMutex());
  std::string writerWhyNot;
  const std::shared_ptr<qlog::LogQueue>& queue = startedQueue(writerWhyNot);
  // The lines logged so far go to the sinks they were logged for.
  queue->drain(kReconfigureDrain);
  std::string whyNot;
  try {
    whyNot = applyConfiguration(path, queue);
  } catch (const std::exception& e) {
    whyNot = std::string("invalid: ") + e.what();
  } catch (...) {
    whyNot = "invalid";
  }
  if (!whyNot.empty()) {
    try {
      useStderrFallback(path, whyNot, queue);
    } catch (...) {
      // Nothing better is left; logging stays as it is.
    }
  }
  if (!writerWhyNot.empty()) {
    log4cpp::Category::getInstance(qlog::kQueueCategory)
        .warn("cannot start the log writer: %s; lines are written as they are logged",
              writerWhyNot.c_str());
  }
  return whyNot.empty();
}

void cQlog::debug(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  log(log4cpp::Priority::DEBUG, fmt, args);
  va_end(args);
}

void cQlog::info(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  log(log4cpp::Priority::INFO, fmt, args);
  va_end(args);
}

void cQlog::warn(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  log(log4cpp::Priority::WARN, fmt, args);
  va_end(args);
}

void cQlog::log(int priority, const char* fmt, __builtin_va_list args) {
  // Checked first: the control loop logs a debug line every pass, and a
  // disabled line should cost no formatting.
  if (fmt == nullptr || !mCategory->isPriorityEnabled(priority)) {
    return;
  }
  char buffer[kLogBufferSize];
  int written = std::vsnprintf(buffer, sizeof buffer, fmt, args);
  if (written < 0) {
    mCategory->log(priority, std::string("(unformattable log message: ") + fmt + ")");
    return;
  }
  // vsnprintf cuts a long message and always terminates it.
  std::size_t length = static_cast<std::size_t>(written) < sizeof buffer
                           ? static_cast<std::size_t>(written)
                           : sizeof buffer - 1;
  while (length > 0 && (buffer[length - 1] == '\n' || buffer[length - 1] == '\r')) {
    --length;
  }
  mCategory->log(priority, std::string(buffer, length));
}
