// A file that readers poll (the status file, the metrics file), rewritten
// whole each time: the text goes to a temporary file in the same folder,
// which then replaces the file in one rename, so a reader sees the old text
// or the new one, never half of one. A failure is logged once, and so is
// the first success after it.
//
// The temporary file gets a fresh name (".<name>.XXXXXX") and is created
// only if nothing is there, without following a symbolic link: a link
// planted in the folder never leads the write elsewhere. It is removed on
// any failure, so a failed write leaves the folder as it was.
#ifndef FRIGEL_ATOMICFILE_H
#define FRIGEL_ATOMICFILE_H

#include <sys/types.h>

#include <functional>
#include <string>

#include <cQlog.h>

class AtomicFile {
 public:
  // Whether the text is forced to the disk (fsync) before the rename, and
  // the rename after it. Without it, a power cut can leave an empty or
  // partial file; it suits a file on tmpfs, or one written where a pass
  // must not wait for the disk.
  enum class Sync { kToDisk, kNone };

  // `what` names the file in the log ("status file"); `retrying` says when
  // the next try comes ("every second"). The file gets `mode` whatever the
  // process's umask: the metrics file must be readable by its collector.
  AtomicFile(cQlog& log, std::string path, const char* what, const char* retrying, mode_t mode,
             Sync sync = Sync::kToDisk);

  // False when the file could not be written; the old one is then left.
  bool write(const std::string& text);

  const std::string& path() const { return mPath; }

  // How many names a write tries for its temporary file before it gives up
  // (each one taken by something else already).
  static constexpr int kTemporaryNameAttempts = 16;
  // Where the six characters after ".<name>." come from; by default, random
  // letters and digits. Tests give names they have planted something at.
  void setTemporarySuffixes(std::function<std::string()> next) { mNextSuffix = std::move(next); }

 private:
  // Creates the temporary file; its descriptor, or -1 with errno set.
  int createTemporary(std::string& temporaryPath) const;
  // Writes `text` to `fd` and closes it; 0, or the errno of the failure.
  int fill(int fd, const std::string& text) const;
  void logOutcome(bool written, int error);

  cQlog& mLog;
  const std::string mPath;
  const std::string mFolder;         // where the temporary files go
  const std::string mTemporaryStem;  // mFolder + "/." + the file's name + "."
  const char* const mWhat;
  const char* const mRetrying;
  const mode_t mMode;
  const Sync mSync;
  std::function<std::string()> mNextSuffix;
  bool mFailing = false;
};

#endif
