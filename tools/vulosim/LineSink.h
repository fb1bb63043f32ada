// Where the simulator's event and answer lines go: standard output in the
// program, a vector in tests.
#ifndef VULOSIM_LINESINK_H
#define VULOSIM_LINESINK_H

#include <string>

class LineSink {
 public:
  virtual ~LineSink() = default;
  // One line, without its line feed.
  virtual void line(const std::string& text) = 0;
};

// Writes each line to standard output and flushes it at once, so that a
// test reading the pipe sees every event as soon as it happens.
class StdoutLineSink : public LineSink {
 public:
  void line(const std::string& text) override;
};

// "%g" of a value, the one number format of every printed line.
std::string formatNumber(float value);

#endif
