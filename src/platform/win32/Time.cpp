#include <windows.h>

#include <array>

#include "Clock.h"

namespace kalvist {

TLocalTime LocalTime(std::time_t when) {
  TLocalTime local;
  localtime_s(&local.Fields, &when);
  // The local fields read as if they were UTC are ahead of `when` by the offset.
  std::tm asUtc = local.Fields;
  local.UtcOffsetMinutes = static_cast<int>((_mkgmtime(&asUtc) - when) / 60);
  return local;
}

void ApplyCurrentThreadPriority(int level) {
  constexpr std::array<int, 7> kPriority{
      THREAD_PRIORITY_IDLE,         THREAD_PRIORITY_LOWEST,       THREAD_PRIORITY_BELOW_NORMAL,
      THREAD_PRIORITY_NORMAL,       THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST,
      THREAD_PRIORITY_TIME_CRITICAL};
  if (level < 0 || level >= static_cast<int>(kPriority.size())) return;
  (void)SetThreadPriority(GetCurrentThread(), kPriority[level]);
}

}  // namespace kalvist
