#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>

#include "Clock.h"

namespace kalvist {

void ApplyCurrentThreadPriority(int level) {
  constexpr std::array<int, 7> kNice{19, 10, 5, 0, -5, -10, -20};
  if (level < 0 || level >= static_cast<int>(kNice.size())) return;
  const auto tid = static_cast<id_t>(syscall(SYS_gettid));
  (void)setpriority(PRIO_PROCESS, tid, kNice[level]);
}

}  // namespace kalvist
