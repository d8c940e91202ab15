#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>

#include "Clock.h"

namespace kalvist {

TLocalTime LocalTime(std::time_t when) {
  TLocalTime local;
  localtime_r(&when, &local.Fields);
  local.UtcOffsetMinutes = static_cast<int>(local.Fields.tm_gmtoff / 60);
  return local;
}

void ApplyCurrentThreadPriority(int level) {
  constexpr std::array<int, 7> kNice{19, 10, 5, 0, -5, -10, -20};
  if (level < 0 || level >= static_cast<int>(kNice.size())) return;
  const auto tid = static_cast<id_t>(syscall(SYS_gettid));
  (void)setpriority(PRIO_PROCESS, tid, kNice[level]);
}

}  // namespace kalvist
