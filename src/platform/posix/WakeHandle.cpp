#include "WakeHandle.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "KalvistError.h"

namespace kalvist {

TWakeHandle::TWakeHandle() : native_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
  if (native_ < 0)
    throw TKalvistError(std::string("Cannot create a wake-up descriptor: ") + std::strerror(errno));
}

TWakeHandle::~TWakeHandle() {
  close(native_);
}

void TWakeHandle::Signal() {
  const uint64_t one = 1;
  // A full counter (EAGAIN) is already readable, which is all a signal has to achieve.
  [[maybe_unused]] const ssize_t n = write(native_, &one, sizeof one);
}

void TWakeHandle::Drain() {
  uint64_t count;
  [[maybe_unused]] const ssize_t n = read(native_, &count, sizeof count);
}

}  // namespace kalvist
