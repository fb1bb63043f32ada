// The CSV a model run leaves behind: one row per recording interval with
// the simulated time, the temperatures and the outputs.
//
//   time_s,hour,internal_c,external_c,aircon1,aircon2,fan_percent,load_w
//
// hour is the time of day in hours from midnight of the first day (it goes
// past 24 on later days); aircon1 and aircon2 are 1 while running, 0
// otherwise (always 0 for a unit the model does not have).
#ifndef VULOSIM_CSVRECORDER_H
#define VULOSIM_CSVRECORDER_H

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

struct CsvRow {
  double timeS = 0.0;   // simulated seconds since the start of the run
  double clockS = 0.0;  // seconds since midnight of the first day
  double internalC = 0.0;
  double externalC = 0.0;
  bool airconOn[2] = {false, false};
  double fanPercent = 0.0;
  double loadW = 0.0;
};

class CsvRecorder {
 public:
  // Creates the file's missing parent folders, opens it (replacing an
  // existing file) and writes the header. False with `error` naming the
  // file when it cannot be written.
  bool open(const std::string& path, std::string& error);
  bool isOpen() const { return mFile != nullptr; }
  const std::string& path() const { return mPath; }
  uint64_t rows() const { return mRows; }

  // Writes and flushes one row; a failed write is remembered for close().
  void write(const CsvRow& row);
  // Flushes and closes. False with `error` when any write failed (a full
  // disk, say): the file is then incomplete.
  bool close(std::string& error);

 private:
  // Closed on destruction, whatever state a failed run left it in.
  struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  std::unique_ptr<std::FILE, FileCloser> mFile;
  std::string mPath;
  uint64_t mRows = 0;
  bool mFailed = false;
  int mErrno = 0;
};

#endif
