// The record of a run: one CSV row of live values per poll answer set, written by the
// desktop program and by `kalvist-cli monitor --csv`. Every row is flushed, so a crash
// loses at most the row being written; a failed write closes the log with its reason.
//
// Main thread only.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "vltZarno.h"

namespace kalvist {

using TLogClock = std::chrono::system_clock;

// "time,ch01,...,ch20,regulation_output,max,max_channel,min,average,peak,status,
// bad_sensors"
std::string LiveLogHeader();
// One row, without the line end. Intensities and the statistics in percent with one
// decimal and a point whatever the locale; a channel that is not analysed (or beyond the
// cylinder count) is left empty. The time is local ISO-8601 with milliseconds and offset.
std::string LiveLogRow(const TZarno& zarno, TLogClock::time_point when);
std::string IsoLocalTime(TLogClock::time_point when);
// The status lamps' bits (10328) and the bad-sensor bits (10330) as the device reads them.
unsigned StatusWord(const TZarno& zarno);
unsigned BadSensorWord(const TZarno& zarno);

class TLiveLog {
 public:
  TLiveLog() = default;
  ~TLiveLog();
  TLiveLog(const TLiveLog&) = delete;
  TLiveLog& operator=(const TLiveLog&) = delete;

  // Creates (or empties) the file and writes the header. False with Error() set when
  // that fails.
  bool Open(const std::string& path);
  bool IsOpen() const { return file_ != nullptr; }
  const std::string& Path() const { return path_; }
  // Appends and flushes one row. False when the log is not open or the write failed;
  // after a failure the log is closed and Error() tells why.
  bool WriteRow(const TZarno& zarno, TLogClock::time_point when);
  int Rows() const { return rows_; }
  // False when the final flush or the close failed (Error() tells why).
  bool Close();
  const std::string& Error() const { return error_; }

 private:
  bool WriteLine(const std::string& line);
  void Fail(int error);

  std::FILE* file_ = nullptr;
  std::string path_;
  std::string error_;
  int rows_ = 0;
};

}  // namespace kalvist
