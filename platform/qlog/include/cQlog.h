// Logging library: one log4cpp category per class that logs.
#ifndef QLOG_CQLOG_H
#define QLOG_CQLOG_H

#include <cstddef>

namespace log4cpp {
class Category;
}

class cQlog {
 public:
  // Opens (or creates) the log4cpp category named `category`.
  explicit cQlog(const char* category);
  virtual ~cQlog();

  // Configures logging for the whole process from a log4cpp property file
  // (other keys in the file, such as the daemon's own settings, are
  // ignored). Never throws: a missing or invalid file, or one that gives the
  // root category no appender, leaves a plain stderr appender at INFO, and
  // one line on stderr says why. Returns true when the file was applied.
  // Calling it again first returns every category to its defaults, so the
  // new configuration replaces the old one. Call it before other threads log.
  //
  // The appenders it configures are written by a thread of its own, from a
  // bounded queue: a caller never waits for a slow or blocked sink (a pipe
  // nobody reads). When the queue is full, lines are dropped and counted,
  // and a WARN line ("log queue full: N lines dropped") says so once the
  // writer catches up. At exit the queue is written out, waiting up to a
  // second for its sinks.
  static bool init(const char* path);

  // printf-style messages at DEBUG (700), INFO (600) and WARN (400). A message longer
  // than the formatting buffer is cut, never overflowed. Each message is one
  // line: trailing '\n' and '\r' characters are removed ("Fan set to: %f\n"
  // logs "Fan set to: 12.000000"). The category's priority is checked before
  // formatting, so a disabled message costs almost nothing.
  void debug(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
  void info(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
  void warn(const char* fmt, ...) __attribute__((format(printf, 2, 3)));

  const char* getCategoryName() const { return mCatName; }

  // Size of the formatting buffer of one message, line end included.
  static constexpr std::size_t kLogBufferSize = 1024;
  static constexpr std::size_t kCatNameSize = 64;

 protected:
  // The category name, cut to kCatNameSize - 1 characters.
  char mCatName[kCatNameSize];
  // Messages are formatted into a buffer of kLogBufferSize bytes on the
  // calling thread's stack, not into a member: one logger (the translator)
  // logs from the main thread and from the client's delivery thread at once.

 private:
  void log(int priority, const char* fmt, __builtin_va_list args);
  log4cpp::Category* mCategory;
};

#endif
