// A file that readers poll (the status file, the metrics file), rewritten
// whole each time: the text goes to a temporary file in the same folder,
// which then replaces the file in one rename, so a reader sees the old text
// or the new one, never half of one. A failure is logged once, and so is
// the first success after it.
#ifndef FRIGEL_ATOMICFILE_H
#define FRIGEL_ATOMICFILE_H

#include <sys/types.h>

#include <string>

#include <cQlog.h>

class AtomicFile {
 public:
  // `what` names the file in the log ("status file"); `retrying` says when
  // the next try comes ("every second"). The file gets `mode` whatever the
  // process's umask: the metrics file must be readable by its collector.
  AtomicFile(cQlog& log, std::string path, const char* what, const char* retrying, mode_t mode);

  // False when the file could not be written; the old one is then left.
  bool write(const std::string& text);

  const std::string& path() const { return mPath; }

 private:
  cQlog& mLog;
  const std::string mPath;
  const std::string mTemporaryPath;
  const char* const mWhat;
  const char* const mRetrying;
  const mode_t mMode;
  bool mFailing = false;
};

#endif
