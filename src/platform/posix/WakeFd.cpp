#include "WakeFd.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "KalvistError.h"

namespace kalvist {

TWakeFd::TWakeFd() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
  if (fd_ < 0)
    throw TKalvistError(std::string("Cannot create a wake-up descriptor: ") + std::strerror(errno));
}

TWakeFd::~TWakeFd() {
  close(fd_);
}

void TWakeFd::Signal() {
  const uint64_t one = 1;
  // A full counter (EAGAIN) is already readable, which is all a signal has to achieve.
  [[maybe_unused]] const ssize_t n = write(fd_, &one, sizeof one);
}

void TWakeFd::Drain() {
  uint64_t count;
  [[maybe_unused]] const ssize_t n = read(fd_, &count, sizeof count);
}

}  // namespace kalvist
