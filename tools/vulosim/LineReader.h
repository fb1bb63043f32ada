// Splits a byte stream (standard input) into lines, with a bound on the
// length of one line so that a stream without line feeds cannot grow memory.
#ifndef VULOSIM_LINEREADER_H
#define VULOSIM_LINEREADER_H

#include <cstddef>
#include <functional>
#include <string>

class LineReader {
 public:
  // A complete line (without its line feed), or `tooLong` when a line
  // exceeded maxLineBytes; the rest of such a line is skipped.
  using LineHandler = std::function<void(const std::string& line, bool tooLong)>;

  explicit LineReader(std::size_t maxLineBytes) : mMaxLineBytes(maxLineBytes) {}

  void feed(const char* data, std::size_t size, const LineHandler& handler);
  // End of stream: a last line without a line feed is still a line.
  void finish(const LineHandler& handler);

 private:
  std::size_t mMaxLineBytes;
  std::string mPartial;
  bool mSkipping = false;  // inside a line already reported as too long
};

#endif
