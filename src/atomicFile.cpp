#include "atomicFile.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <utility>

#include "monotonicClock.h"
#include "wholeWrite.h"

namespace {

constexpr char kSuffixAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::size_t kSuffixLength = 6;

// Six random letters and digits, as mkstemp makes them.
std::string randomSuffix() {
  uint8_t bytes[kSuffixLength];
  if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
    // Early in boot the kernel's pool may not be ready. Any variation does:
    // a name that is taken is only passed over.
    static std::atomic<uint64_t> calls{0};
    uint64_t mix = static_cast<uint64_t>(monotonicNanoseconds()) ^
                   (static_cast<uint64_t>(::getpid()) << 40) ^
                   (calls.fetch_add(1) * 0x9E3779B97F4A7C15ull);
    for (uint8_t& byte : bytes) {
      mix = mix * 6364136223846793005ull + 1442695040888963407ull;
      byte = static_cast<uint8_t>(mix >> 56);
    }
  }
  std::string suffix;
  for (uint8_t byte : bytes) {
    suffix += kSuffixAlphabet[byte % (sizeof kSuffixAlphabet - 1)];
  }
  return suffix;
}

// The folder part of `path` ("." for a bare name).
std::string folderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    return ".";
  }
  return slash == 0 ? "/" : path.substr(0, slash);
}

// ".<name>." beside `path`'s name, in its folder.
std::string temporaryStemOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  return path.substr(0, nameStart) + "." + path.substr(nameStart) + ".";
}

// Makes a finished rename survive a power cut. A failure here is not the
// write's: the new text is in place either way.
void syncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    (void)::fsync(fd);
    ::close(fd);
  }
}

}  // namespace

AtomicFile::AtomicFile(cQlog& log, std::string path, const char* what, const char* retrying,
                       mode_t mode, Sync sync)
    : mLog(log),
      mPath(std::move(path)),
      mFolder(folderOf(mPath)),
      mTemporaryStem(temporaryStemOf(mPath)),
      mWhat(what),
      mRetrying(retrying),
      mMode(mode),
      mSync(sync),
      mNextSuffix(randomSuffix) {}

bool AtomicFile::write(const std::string& text) {
  std::string temporaryPath;
  int error = 0;
  const int fd = createTemporary(temporaryPath);
  if (fd < 0) {
    error = errno;
  } else {
    error = fill(fd, text);
    if (error == 0 && ::rename(temporaryPath.c_str(), mPath.c_str()) != 0) {
      error = errno;
    }
    if (error != 0) {
      ::unlink(temporaryPath.c_str());  // removes the name only, whatever is there now
    } else if (mSync == Sync::kToDisk) {
      syncFolder(mFolder);
    }
  }
  logOutcome(error == 0, error);
  return error == 0;
}

int AtomicFile::createTemporary(std::string& temporaryPath) const {
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    temporaryPath = mTemporaryStem + mNextSuffix();
    // O_EXCL: a name that exists, a symbolic link included, is never opened.
    const int fd =
        ::open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mMode);
    if (fd >= 0 || errno != EEXIST) {
      return fd;
    }
  }
  errno = EEXIST;
  return -1;
}

int AtomicFile::fill(int fd, const std::string& text) const {
  int error = 0;
  errno = 0;
  if (::fchmod(fd, mMode) != 0 ||
      !writeWhole(text.data(), text.size(),
                  [fd](const char* data, std::size_t size) { return ::write(fd, data, size); })) {
    error = errno != 0 ? errno : EIO;
  } else if (mSync == Sync::kToDisk && ::fsync(fd) != 0) {
    error = errno;
  }
  if (::close(fd) != 0 && error == 0) {
    error = errno;
  }
  return error;
}

void AtomicFile::logOutcome(bool written, int error) {
  if (!written && !mFailing) {
    mLog.info("cannot write the %s %s: %s; retrying %s", mWhat, mPath.c_str(), std::strerror(error),
              mRetrying);
  } else if (written && mFailing) {
    mLog.info("%s %s written again", mWhat, mPath.c_str());
  }
  mFailing = !written;
}
