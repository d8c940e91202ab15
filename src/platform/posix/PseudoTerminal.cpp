#include "PseudoTerminal.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "KalvistError.h"

namespace kalvist {
namespace {

// How often WaitForPeer looks for a client: the master gives no event for an open.
constexpr int kPeerProbeMs = 10;

[[noreturn]] void Fail(const std::string& what) {
  throw TKalvistError(what + ": " + std::strerror(errno));
}

short PollOne(int fd, short events, int timeoutMs) {
  pollfd p{fd, events, 0};
  return poll(&p, 1, timeoutMs) > 0 ? p.revents : 0;
}

}  // namespace

TPseudoTerminal::TPseudoTerminal() {
  wake_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wake_ < 0) Fail("Cannot create a wake-up event");
}

TPseudoTerminal::~TPseudoTerminal() {
  Close();
  ::close(wake_);
}

void TPseudoTerminal::Open(const std::string& linkPath) {
  Close();
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master_ < 0) Fail("Cannot open a pseudo-terminal");
  try {
    if (grantpt(master_) != 0 || unlockpt(master_) != 0) Fail("Cannot unlock the pseudo-terminal");
    char name[128];
    if (ptsname_r(master_, name, sizeof name) != 0) Fail("Cannot name the pseudo-terminal");
    slavePath_ = name;
    MakeSlaveRaw();
    if (!linkPath.empty()) MakeLink(linkPath);
  } catch (...) {
    Close();
    throw;
  }
}

// Opening and closing the slave once puts the master into its "nobody holds the
// slave" state (POLLHUP), which a never-opened slave does not show; the raw settings
// stay for the client's open.
void TPseudoTerminal::MakeSlaveRaw() {
  const int slave = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave < 0) Fail("Cannot open " + slavePath_);
  termios tio{};
  const bool ok =
      tcgetattr(slave, &tio) == 0 && (cfmakeraw(&tio), tcsetattr(slave, TCSANOW, &tio) == 0);
  const int savedErrno = errno;
  ::close(slave);
  errno = savedErrno;
  if (!ok) Fail("Cannot set up " + slavePath_);
}

void TPseudoTerminal::MakeLink(const std::string& linkPath) {
  struct stat st {};
  if (lstat(linkPath.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode)) {
      errno = EEXIST;
      Fail("Cannot link " + linkPath);
    }
    ::unlink(linkPath.c_str());
  }
  if (::symlink(slavePath_.c_str(), linkPath.c_str()) != 0) Fail("Cannot link " + linkPath);
  linkPath_ = linkPath;
}

void TPseudoTerminal::Close() {
  if (!linkPath_.empty()) ::unlink(linkPath_.c_str());
  linkPath_.clear();
  if (master_ >= 0) ::close(master_);
  master_ = -1;
}

bool TPseudoTerminal::PeerPresent() const {
  return (PollOne(master_, POLLIN, 0) & POLLHUP) == 0;
}

TLineEvent TPseudoTerminal::Wait(int timeoutMs) {
  pollfd p[2] = {{master_, POLLIN, 0}, {wake_, POLLIN, 0}};
  if (poll(p, 2, timeoutMs) <= 0) return TLineEvent::TimedOut;
  if (p[1].revents & POLLIN) {
    DrainWake();
    return TLineEvent::Woken;
  }
  if (p[0].revents & POLLIN) return TLineEvent::Readable;
  if (p[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return TLineEvent::PeerClosed;
  return TLineEvent::TimedOut;
}

TLineEvent TPseudoTerminal::WaitForPeer(int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!PeerPresent()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          end - std::chrono::steady_clock::now())
                          .count();
    if (timeoutMs >= 0 && left <= 0) return TLineEvent::TimedOut;
    const int slice = timeoutMs < 0 ? kPeerProbeMs : std::min<int>(kPeerProbeMs, left);
    if (PollOne(wake_, POLLIN, slice) & POLLIN) {
      DrainWake();
      return TLineEvent::Woken;
    }
  }
  return TLineEvent::PeerOpened;
}

long TPseudoTerminal::Read(std::span<uint8_t> buffer) {
  const ssize_t n = ::read(master_, buffer.data(), buffer.size());
  if (n >= 0) return n;
  return (errno == EAGAIN || errno == EINTR) ? 0 : -1;
}

bool TPseudoTerminal::Write(std::span<const uint8_t> bytes, int timeoutMs) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(master_, bytes.data(), bytes.size());
    if (n > 0) {
      bytes = bytes.subspan(static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
    if ((PollOne(master_, POLLOUT, timeoutMs) & POLLOUT) == 0) return false;
  }
  return true;
}

void TPseudoTerminal::Wake() {
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = ::write(wake_, &one, sizeof one);
}

void TPseudoTerminal::DrainWake() {
  uint64_t count = 0;
  [[maybe_unused]] const ssize_t n = ::read(wake_, &count, sizeof count);
}

}  // namespace kalvist

namespace kalvist {

TDeviceLineKind DefaultDeviceLineKind() {
  return TDeviceLineKind::PseudoTerminal;
}

std::unique_ptr<IDeviceLine> CreatePseudoTerminalLine() {
  return std::make_unique<TPseudoTerminal>();
}

}  // namespace kalvist
