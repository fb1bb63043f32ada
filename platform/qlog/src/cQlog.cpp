#include "cQlog.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <mutex>
#include <string>
#include <vector>

#include <log4cpp/Appender.hh>
#include <log4cpp/Category.hh>
#include <log4cpp/OstreamAppender.hh>
#include <log4cpp/PatternLayout.hh>
#include <log4cpp/Priority.hh>
#include <log4cpp/PropertyConfigurator.hh>

namespace {

// Serialises init() calls; configuring log4cpp is not thread-safe.
std::mutex& configMutex() {
  static std::mutex mutex;
  return mutex;
}

// Appenders made by the property configurator. The categories hold them by
// reference (the configurator keeps no owner but log4cpp's registry, which a
// later appender of the same name displaces), so they are deleted here when
// the configuration is replaced.
std::vector<log4cpp::Appender*>& configuredAppenders() {
  static std::vector<log4cpp::Appender*> appenders;
  return appenders;
}

void rememberConfiguredAppenders() {
  std::vector<log4cpp::Category*>* all = log4cpp::Category::getCurrentCategories();
  std::vector<log4cpp::Appender*>& remembered = configuredAppenders();
  for (log4cpp::Category* category : *all) {
    for (log4cpp::Appender* appender : category->getAllAppenders()) {
      if (!category->ownsAppender(appender) &&
          std::find(remembered.begin(), remembered.end(), appender) == remembered.end()) {
        remembered.push_back(appender);
      }
    }
  }
  delete all;
}

// Returns every category to its pristine state (no appenders, priority
// inherited, additive), so a new configuration does not inherit leftovers of
// the previous one. Appenders the categories own, and those the previous
// configuration made, are deleted.
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
  for (log4cpp::Appender* appender : configuredAppenders()) {
    delete appender;  // detached above
  }
  configuredAppenders().clear();
}

// Logging that always works: everything at INFO and above to stderr.
void useStderrFallback(const char* path, const std::string& reason) {
  resetAllCategories();
  log4cpp::Category& root = log4cpp::Category::getRoot();
  auto* appender = new log4cpp::OstreamAppender("stderr", &std::cerr);
  auto* layout = new log4cpp::PatternLayout();
  layout->setConversionPattern("%d{%Y-%m-%d %H:%M:%S.%l} %p %c: %m%n");
  appender->setLayout(layout);
  root.addAppender(appender);  // the category owns it
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
std::string applyConfiguration(const char* path) {
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
    rememberConfiguredAppenders();  // a half-applied file may have attached some
    throw;
  }
  rememberConfiguredAppenders();
  // A file without logging keys (only the daemon's own settings) configures
  // no appender for the root category: nothing would ever be written.
  if (log4cpp::Category::getRoot().getAllAppenders().empty()) {
    return "no appender configured for the root category";
  }
  return "";
}

}  // namespace

cQlog::cQlog(const char* category) : mCatName{} {
  std::snprintf(mCatName, sizeof mCatName, "%s", category != nullptr ? category : "");
  mCategory = &log4cpp::Category::getInstance(mCatName);
}

cQlog::~cQlog() = default;

bool cQlog::init(const char* path) {
  std::lock_guard<std::mutex> lock(configMutex());
  std::string whyNot;
  try {
    whyNot = applyConfiguration(path);
    if (whyNot.empty()) {
      return true;
    }
  } catch (const std::exception& e) {
    whyNot = std::string("invalid: ") + e.what();
  } catch (...) {
    whyNot = "invalid";
  }
  try {
    useStderrFallback(path, whyNot);
  } catch (...) {
    // Nothing better is left; logging stays as it is.
  }
  return false;
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
