// Writing a whole buffer through a call that may write only part of it, as
// write(2) and send(2) may on a pipe, a socket or a full disk.
#ifndef FRIGEL_WHOLEWRITE_H
#define FRIGEL_WHOLEWRITE_H

#include <sys/types.h>

#include <cerrno>
#include <cstddef>

// Calls `put(data, left)` (a write or send of at most `left` bytes that
// returns how many it wrote, or -1 with errno set) until every byte is out,
// retrying a call a caught signal interrupted. False when a call fails or
// writes nothing.
template <class Byte, class Put>
bool writeWhole(const Byte* data, std::size_t size, Put put) {
  while (size > 0) {
    const ssize_t written = put(data, size);
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

#endif
