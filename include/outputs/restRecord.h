// The air conditioners' rests, kept across restarts of the daemon: a small
// file in the runtime directory says, per unit, whether its output was
// running or since when it has rested (monotonic clock), with the boot it
// was written in. A restarted daemon that finds a unit off lets it rest
// what is left of its minimum off time; without a valid record (first
// start, another boot, a damaged file) the unit rests the whole minimum off
// time from the start, as a hardware anti-short-cycle relay does at
// power-up. The runtime directory is cleared at every boot, and the
// monotonic clock starts again with it, so the boot id tells a record whose
// times still count.
#ifndef FRIGEL_RESTRECORD_H
#define FRIGEL_RESTRECORD_H

#include <cstdint>
#include <string>

#include "airconOutputs.h"

struct RestRecord {
  struct Unit {
    enum State { Absent, Running, Resting };
    State state = Absent;
    int64_t restingSince = 0;  // monotonic nanoseconds, while Resting
  };
  std::string bootId;
  Unit units[AirconOutputs::kUnits];
};

// The record of `outputs` as it stands, written in the boot `bootId`.
RestRecord restRecordOf(const AirconOutputs& outputs, const std::string& bootId);
std::string formatRestRecord(const RestRecord& record);
// False, with `whyNot` naming the line and the fault, for a text that is
// not a record written by formatRestRecord().
bool parseRestRecord(const std::string& text, RestRecord& record, std::string& whyNot);

// How a record found at start is used, and the one line that says so.
struct RestRecordUse {
  bool valid = false;
  RestRecord record;
  std::string line;  // what the record gave, or why it gave nothing
};
// Judges the text of a record file (`exists` false: there is none) against
// this boot and the clock at `now`: a record of another boot, or with a time
// after `now`, gives nothing.
RestRecordUse judgeRestRecord(bool exists, const std::string& text, const std::string& bootId,
                              int64_t now);

#endif
