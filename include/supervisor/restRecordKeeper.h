// Keeps the air conditioners' rest record (restRecord.h) in the runtime
// directory: read once at start, written again whenever a rest or a
// confirmed state changes.
#ifndef FRIGEL_RESTRECORDKEEPER_H
#define FRIGEL_RESTRECORDKEEPER_H

#include <cstdint>
#include <string>

#include <cQlog.h>

#include "CqTranslator.h"
#include "atomicFile.h"
#include "restRecord.h"

// This boot's id (/proc/sys/kernel/random/boot_id); empty when unreadable.
std::string currentBootId();

class RestRecordKeeper {
 public:
  // `path`: the record file, usually in the runtime directory.
  RestRecordKeeper(cQlog& log, const std::string& path);

  // At start, once the outputs were found: reads the record and gives every
  // unit found off the rest it took before the restart. One INFO line says
  // what the record gave, or why nothing.
  void applyAtStart(CqTranslator& translator, int64_t now);
  // Main thread, once a pass: writes the record again when the outputs'
  // rests or confirmed states changed. A tiny write to tmpfs, rare (a switch
  // of a unit), made on the control thread so that a crash right after a
  // stop still leaves the stop on record.
  void afterPass(const AirconOutputs& outputs);

 private:
  cQlog& mLog;
  AtomicFile mFile;
  std::string mBootId;
  bool mWritten = false;
  uint64_t mWrittenChanges = 0;
};

#endif
