#include "LiveLog.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "Clock.h"

namespace kalvist {

namespace {

void AppendPercent(std::string& out, double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 1);
  out.append(text, result.ptr);
}

std::string ChannelName(int channel) {
  return std::string(channel < 10 ? "ch0" : "ch") + std::to_string(channel);
}

}  // namespace

std::string LiveLogHeader() {
  std::string header = "time";
  for (int c = 1; c <= kChannelCount; ++c) header += "," + ChannelName(c);
  return header + ",regulation_output,max,max_channel,min,average,peak,status,bad_sensors";
}

std::string IsoLocalTime(TLogClock::time_point when) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch());
  const TLocalTime local = LocalTime(TLogClock::to_time_t(when));
  char stamp[40];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &local.Fields);
  const int offset = std::abs(local.UtcOffsetMinutes);
  char text[64];
  std::snprintf(text, sizeof text, "%s.%03d%c%02d:%02d", stamp,
                static_cast<int>((ms.count() % 1000 + 1000) % 1000),
                local.UtcOffsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
  return text;
}

unsigned StatusWord(const TZarno& zarno) {
  unsigned word = 0;
  for (int bit = 0; bit < 8; ++bit) {
    if (zarno.StatusBit(bit)) word |= 1u << bit;
  }
  return word;
}

unsigned BadSensorWord(const TZarno& zarno) {
  unsigned word = 0;
  for (int c = 1; c <= kChannelCount; ++c) {
    if (zarno.SensorFault(c)) word |= 1u << (c - 1);
  }
  return word;
}

std::string LiveLogRow(const TZarno& zarno, TLogClock::time_point when) {
  std::string row = IsoLocalTime(when);
  const int cylinders = zarno.CylinderCount();
  for (int c = 1; c <= kChannelCount; ++c) {
    row += ',';
    if (c <= cylinders && zarno.ChannelUsed(c)) AppendPercent(row, zarno.KnockIntensity(c));
  }
  for (const double value : {zarno.RegulationOutput(), zarno.MaxIntensity}) {
    row += ',';
    AppendPercent(row, value);
  }
  row += ',' + std::to_string(zarno.MaxChannel);
  for (const double value : {zarno.MinIntensity, zarno.AverageIntensity, zarno.PeakIntensity}) {
    row += ',';
    AppendPercent(row, value);
  }
  row += ',' + std::to_string(StatusWord(zarno)) + ',' + std::to_string(BadSensorWord(zarno));
  return row;
}

TLiveLog::~TLiveLog() {
  Close();
}

bool TLiveLog::Open(const std::string& path) {
  Close();
  error_.clear();
  rows_ = 0;
  path_ = path;
  file_ = std::fopen(path.c_str(), "w");
  if (file_ == nullptr) {
    error_ = path + ": " + std::strerror(errno);
    return false;
  }
  return WriteLine(LiveLogHeader());
}

bool TLiveLog::WriteRow(const TZarno& zarno, TLogClock::time_point when) {
  if (file_ == nullptr) return false;
  if (!WriteLine(LiveLogRow(zarno, when))) return false;
  ++rows_;
  return true;
}

bool TLiveLog::WriteLine(const std::string& line) {
  errno = 0;
  if (std::fputs(line.c_str(), file_) < 0 || std::fputc('\n', file_) == EOF ||
      std::fflush(file_) != 0) {
    Fail(errno);
    return false;
  }
  return true;
}

void TLiveLog::Fail(int error) {
  error_ = path_ + ": " + (error != 0 ? std::strerror(error) : "write failed");
  std::fclose(file_);
  file_ = nullptr;
}

bool TLiveLog::Close() {
  if (file_ == nullptr) return error_.empty();
  std::FILE* file = file_;
  file_ = nullptr;
  errno = 0;
  if (std::fclose(file) != 0) {
    error_ = path_ + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace kalvist
