// termios + poll implementation of ISerialPort.
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "SerialPort.h"
#include "WakeHandle.h"

namespace kalvist {
namespace {

std::string OsReason(int error) {
  return std::strerror(error);
}

bool ConfigureRaw19200(int fd) {
  termios tio{};
  if (tcgetattr(fd, &tio) != 0) return false;
  cfmakeraw(&tio);
  tio.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS | CSIZE);
  tio.c_cflag |= CS8 | CLOCAL | CREAD;
  tio.c_iflag &= ~(IXON | IXOFF | IXANY);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  if (cfsetispeed(&tio, B19200) != 0 || cfsetospeed(&tio, B19200) != 0) return false;
  return tcsetattr(fd, TCSANOW, &tio) == 0;
}

// USB-serial adapters hold received bytes for their latency timer (16 ms on FTDI);
// asking for low latency brings that to 1 ms. Drivers without it simply refuse.
void RequestLowLatency(int fd) {
  serial_struct serial{};
  if (ioctl(fd, TIOCGSERIAL, &serial) != 0) return;
  serial.flags |= ASYNC_LOW_LATENCY;
  (void)ioctl(fd, TIOCSSERIAL, &serial);
}

class TPosixSerialPort final : public ISerialPort {
 public:
  ~TPosixSerialPort() override { Close(); }

  TOpenOutcome Open(const std::string& path) override {
    if (path.empty() || path.find('\0') != std::string::npos) {
      return {opBadPortName, "no port name"};
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return {opCannotOpen, OsReason(errno)};
    // Exclusive: a second program (or a second copy of this one) must not share the line.
    if (ioctl(fd, TIOCEXCL) != 0 || !ConfigureRaw19200(fd)) {
      const int error = errno;
      ::close(fd);
      return {opCannotSetUp, OsReason(error)};
    }
    RequestLowLatency(fd);
    fd_ = fd;
    Purge();
    return {opOpened, {}};
  }

  void Close() override {
    if (fd_ < 0) return;
    // Exclusivity belongs to the terminal, not to our descriptor: a pseudo-terminal (or
    // a port someone else holds open) would stay locked for every later user.
    (void)ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    fd_ = -1;
  }

  bool IsOpen() const override { return fd_ >= 0; }

  void Purge() override {
    if (fd_ >= 0) tcflush(fd_, TCIOFLUSH);
  }

  long Read(std::span<uint8_t> buffer) override {
    if (fd_ < 0) return -1;
    const ssize_t n = ::read(fd_, buffer.data(), buffer.size());
    if (n > 0) return n;
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
    return -1;  // EOF or an error: the device has gone
  }

  long Write(std::span<const uint8_t> bytes) override {
    if (fd_ < 0) return -1;
    const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n >= 0) return n;
    return (errno == EAGAIN || errno == EINTR) ? 0 : -1;
  }

  void Drain() override {
    if (fd_ >= 0) tcdrain(fd_);
  }

  bool CheckPresent() override {
    if (fd_ < 0) return false;
    termios tio{};
    if (tcgetattr(fd_, &tio) != 0) return false;
    pollfd pfd{fd_, 0, 0};
    if (poll(&pfd, 1, 0) < 0) return false;
    return (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) == 0;
  }

  TWaitResult Wait(bool forRead, int timeoutMs) override {
    // The port is looked at only when reading: an idle wait may overlap a close on
    // the main thread.
    pollfd fds[2] = {{wake_.Native(), POLLIN, 0}, {-1, POLLIN, 0}};
    nfds_t count = 1;
    if (forRead && fd_ >= 0) {
      fds[1].fd = fd_;
      count = 2;
    }
    const int n = poll(fds, count, timeoutMs);
    if (n < 0) return errno == EINTR ? TWaitResult::Woken : TWaitResult::Failed;
    if (fds[0].revents & POLLIN) {
      wake_.Drain();
      return TWaitResult::Woken;
    }
    // A hang-up is reported as readable: the read that follows fails and says so.
    if (count == 2 && fds[1].revents != 0) return TWaitResult::Readable;
    return TWaitResult::TimedOut;
  }

  TWaitResult WaitWritable(int timeoutMs) override {
    if (fd_ < 0) return TWaitResult::Failed;
    pollfd fds[2] = {{wake_.Native(), POLLIN, 0}, {fd_, POLLOUT, 0}};
    const int n = poll(fds, 2, timeoutMs);
    if (n < 0) return errno == EINTR ? TWaitResult::Woken : TWaitResult::Failed;
    if (fds[0].revents & POLLIN) return TWaitResult::Woken;
    if (fds[1].revents & POLLOUT) return TWaitResult::Writable;
    // A hang-up: the write that follows fails and says so.
    if (fds[1].revents != 0) return TWaitResult::Writable;
    return TWaitResult::TimedOut;
  }

  void Wake() override { wake_.Signal(); }

 private:
  int fd_ = -1;
  TWakeHandle wake_;
};

}  // namespace

std::unique_ptr<ISerialPort> CreateSystemSerialPort() {
  return std::make_unique<TPosixSerialPort>();
}

bool SystemPortExists(const std::string& path) {
  return !path.empty() && access(path.c_str(), F_OK) == 0;
}

}  // namespace kalvist
