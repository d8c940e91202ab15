// Monotonic milliseconds, and the I/O thread's priority.
#pragma once

#include <cstdint>

namespace kalvist {

uint64_t SteadyMs();
uint64_t SteadyUs();

// 0 idle .. 3 normal .. 6 time-critical, applied to the calling thread as far as the
// system lets an ordinary user; refusals are ignored.
void ApplyCurrentThreadPriority(int level);

}  // namespace kalvist
