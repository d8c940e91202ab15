// Monotonic milliseconds, local calendar time, and the I/O thread's priority.
#pragma once

#include <cstdint>
#include <ctime>

namespace kalvist {

uint64_t SteadyMs();
uint64_t SteadyUs();

struct TLocalTime {
  std::tm Fields{};
  int UtcOffsetMinutes = 0;  // east of UTC positive, daylight saving included
};
// `when` in the local time zone (the TZ variable's, where set). Any thread.
TLocalTime LocalTime(std::time_t when);

// 0 idle .. 3 normal .. 6 time-critical, applied to the calling thread as far as the
// system lets an ordinary user; refusals are ignored.
void ApplyCurrentThreadPriority(int level);

}  // namespace kalvist
