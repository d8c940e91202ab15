#include "Clock.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <chrono>

namespace kalvist {

uint64_t SteadyMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

uint64_t SteadyUs() {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

void ApplyCurrentThreadPriority(int level) {
  constexpr std::array<int, 7> kNice{19, 10, 5, 0, -5, -10, -20};
  if (level < 0 || level >= static_cast<int>(kNice.size())) return;
  const auto tid = static_cast<id_t>(syscall(SYS_gettid));
  (void)setpriority(PRIO_PROCESS, tid, kNice[level]);
}

}  // namespace kalvist
