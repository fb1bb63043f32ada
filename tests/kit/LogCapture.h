// Captures what a log4cpp category logs, for tests to read back.
#ifndef FRIGEL_TESTS_LOGCAPTURE_H
#define FRIGEL_TESTS_LOGCAPTURE_H

#include <memory>
#include <string>
#include <vector>

struct LogEntry {
  std::string category;
  int priority;  // log4cpp scale: INFO 600, DEBUG 700
  std::string message;
};

// While alive, every message of `category` (and of its children) at DEBUG
// and above is recorded, and kept off the category's other appenders.
// Thread-safe: messages may come from the client's delivery thread.
class LogCapture {
 public:
  explicit LogCapture(const std::string& category = "CqTranslator");
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::vector<LogEntry> entries() const;
  std::vector<std::string> messages() const;
  // Returns the messages recorded so far and forgets them.
  std::vector<std::string> take();
  void clear();
  bool contains(const std::string& message) const;
  std::size_t count(const std::string& message) const;
  // Waits until `message` has been recorded (for lines logged on another
  // thread). True when it was.
  bool waitFor(const std::string& message, int timeoutMs = 5000) const;
  // The same for a message that starts with `start`.
  bool waitForStart(const std::string& start, int timeoutMs = 5000) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> mImpl;
};

#endif
