#include "CsvRecorder.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

bool CsvRecorder::open(const std::string& path, std::string& error) {
  mPath = path;
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  std::error_code made;
  if (!parent.empty()) {
    std::filesystem::create_directories(parent, made);
  }
  if (made) {
    error = "cannot write CSV " + path + ": cannot create folder " + parent.string() + ": " +
            made.message();
    return false;
  }
  mFile.reset(std::fopen(path.c_str(), "w"));
  if (!mFile) {
    error = "cannot write CSV " + path + ": " + std::strerror(errno);
    return false;
  }
  if (std::fputs("time_s,hour,internal_c,external_c,aircon1,aircon2,fan_percent,load_w\n",
                 mFile.get()) < 0 ||
      std::fflush(mFile.get()) != 0) {
    error = "cannot write CSV " + path + ": " + std::strerror(errno);
    mFile.reset();
    return false;
  }
  return true;
}

void CsvRecorder::write(const CsvRow& row) {
  if (!mFile || mFailed) {
    return;
  }
  // Flushed row by row, so that a run can be watched (or plotted) while it
  // goes on and a killed run leaves every row written so far.
  if (std::fprintf(mFile.get(), "%.15g,%.4f,%.3f,%.3f,%d,%d,%.1f,%.0f\n", row.timeS,
                   row.clockS / 3600.0, row.internalC, row.externalC, row.airconOn[0] ? 1 : 0,
                   row.airconOn[1] ? 1 : 0, row.fanPercent, row.loadW) < 0 ||
      std::fflush(mFile.get()) != 0) {
    mFailed = true;
    mErrno = errno;
    return;
  }
  ++mRows;
}

bool CsvRecorder::close(std::string& error) {
  if (!mFile) {
    return !mFailed;
  }
  if (std::fflush(mFile.get()) != 0 && !mFailed) {
    mFailed = true;
    mErrno = errno;
  }
  if (std::fclose(mFile.release()) != 0 && !mFailed) {
    mFailed = true;
    mErrno = errno;
  }
  if (mFailed) {
    error = "cannot write CSV " + mPath + ": " + std::strerror(mErrno);
    return false;
  }
  return true;
}
