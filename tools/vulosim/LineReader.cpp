#include "LineReader.h"

#include <cstring>

void LineReader::feed(const char* data, std::size_t size, const LineHandler& handler) {
  while (size > 0) {
    const char* newline = static_cast<const char*>(std::memchr(data, '\n', size));
    std::size_t chunk = newline ? static_cast<std::size_t>(newline - data) : size;
    if (!mSkipping) {
      if (mPartial.size() + chunk > mMaxLineBytes) {
        mPartial.clear();
        mSkipping = true;
        handler("", true);
      } else {
        mPartial.append(data, chunk);
      }
    }
    if (!newline) {
      return;
    }
    if (!mSkipping) {
      std::string line;
      line.swap(mPartial);
      handler(line, false);
    }
    mSkipping = false;
    data += chunk + 1;
    size -= chunk + 1;
  }
}

void LineReader::finish(const LineHandler& handler) {
  if (!mSkipping && !mPartial.empty()) {
    std::string line;
    line.swap(mPartial);
    handler(line, false);
  }
  mPartial.clear();
  mSkipping = false;
}
