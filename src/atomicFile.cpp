#include "atomicFile.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <utility>

#include "wholeWrite.h"

AtomicFile::AtomicFile(cQlog& log, std::string path, const char* what, const char* retrying,
                       mode_t mode)
    : mLog(log),
      mPath(std::move(path)),
      mTemporaryPath(mPath + ".tmp"),
      mWhat(what),
      mRetrying(retrying),
      mMode(mode) {}

bool AtomicFile::write(const std::string& text) {
  int error = 0;
  const int fd = ::open(mTemporaryPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mMode);
  if (fd < 0) {
    error = errno;
  } else {
    if (::fchmod(fd, mMode) != 0 ||
        !writeWhole(text.data(), text.size(),
                    [fd](const char* data, std::size_t size) { return ::write(fd, data, size); })) {
      error = errno != 0 ? errno : EIO;
    }
    if (::close(fd) != 0 && error == 0) {
      error = errno;
    }
  }
  if (error == 0 && ::rename(mTemporaryPath.c_str(), mPath.c_str()) != 0) {
    error = errno;
  }
  const bool written = error == 0;
  if (!written && !mFailing) {
    mLog.info("cannot write the %s %s: %s; retrying %s", mWhat, mPath.c_str(), std::strerror(error),
              mRetrying);
  } else if (written && mFailing) {
    mLog.info("%s %s written again", mWhat, mPath.c_str());
  }
  mFailing = !written;
  return written;
}
