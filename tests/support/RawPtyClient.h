// The client end of a pseudo-terminal for tests that speak the wire protocol by hand:
// opens the slave raw and reads with deadlines.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace kalvist::test {

class TRawPtyClient {
 public:
  explicit TRawPtyClient(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd_ < 0) throw std::runtime_error("cannot open " + path);
    termios tio{};
    tcgetattr(fd_, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd_, TCSANOW, &tio);
  }
  ~TRawPtyClient() { ::close(fd_); }
  TRawPtyClient(const TRawPtyClient&) = delete;
  TRawPtyClient& operator=(const TRawPtyClient&) = delete;

  void Write(std::span<const uint8_t> bytes) {
    if (::write(fd_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
      throw std::runtime_error("short write");
    }
  }

  // Reads until `count` bytes have come or `timeoutMs` have passed; returns what came.
  std::vector<uint8_t> Read(size_t count, int timeoutMs) {
    std::vector<uint8_t> bytes;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (bytes.size() < count) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          end - std::chrono::steady_clock::now());
      pollfd p{fd_, POLLIN, 0};
      if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
      uint8_t buffer[256];
      const ssize_t n = ::read(fd_, buffer, std::min(sizeof buffer, count - bytes.size()));
      if (n <= 0) break;
      bytes.insert(bytes.end(), buffer, buffer + n);
    }
    return bytes;
  }

  // One reply as the link delimits it: the length byte, then N + 6 bytes unless the
  // length byte is 128 or more.
  std::vector<uint8_t> ReadReply(int timeoutMs = 2000) {
    std::vector<uint8_t> reply = Read(1, timeoutMs);
    if (reply.empty() || reply[0] >= 128) return reply;
    const std::vector<uint8_t> rest = Read(reply[0] + 6u, timeoutMs);
    reply.insert(reply.end(), rest.begin(), rest.end());
    return reply;
  }

  // The other end has gone: POLLHUP, reads give nothing more (end of file) and
  // writes fail with EIO. The kernel finishes a hang-up after POLLHUP is raised, so
  // for a moment a write may still go through: wait for it to fail, within the time.
  bool HungUp(int timeoutMs = 2000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0 || (p.revents & POLLHUP) == 0) return false;
    uint8_t byte = 0;
    if (::read(fd_, &byte, 1) > 0) return false;
    while (::write(fd_, &byte, 1) >= 0) {
      if (std::chrono::steady_clock::now() >= deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return errno == EIO;
  }

 private:
  int fd_ = -1;
};

}  // namespace kalvist::test
