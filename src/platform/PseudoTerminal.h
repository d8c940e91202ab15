// The master side of a pseudo-terminal, for programs that play a serial device: the
// slave path is what a client opens as its port. Closing the master is a hang-up: the
// client's reads then fail with EIO/POLLHUP, as when a USB adapter is pulled.
//
// Whether a client holds the slave open is seen only on the master: POLLHUP (and EIO
// on reads) while nobody has it open. Open() leaves the slave closed and raw, so that
// state holds from the start.
//
// Thread safety: one thread owns the terminal and makes every call, except Wake, which
// any thread may call while the terminal exists.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "DeviceLine.h"

namespace kalvist {

class TPseudoTerminal final : public IDeviceLine {
 public:
  TPseudoTerminal();
  ~TPseudoTerminal() override;
  TPseudoTerminal(const TPseudoTerminal&) = delete;
  TPseudoTerminal& operator=(const TPseudoTerminal&) = delete;

  // Creates a new pair and, when `linkPath` is not empty, a symbolic link there to the
  // slave (replacing an earlier symbolic link, never another kind of file). Throws
  // TKalvistError with the system's reason; the terminal then stays closed.
  void Open(const std::string& linkPath = {}) override;
  // Hang-up; also removes the link. Harmless when closed.
  void Close() override;
  bool IsOpen() const override { return master_ >= 0; }
  const std::string& SlavePath() const { return slavePath_; }
  std::string ClientPath() const override { return slavePath_; }
  bool Paced() const override { return false; }

  // Waits for bytes, a missing peer, Wake, or `timeoutMs` (-1: no limit). Returns
  // PeerClosed at once while nobody holds the slave and nothing is left to read.
  TLineEvent Wait(int timeoutMs) override;
  // While PeerClosed: waits until a client opens the slave, Wake, or `timeoutMs`.
  TLineEvent WaitForPeer(int timeoutMs) override;

  // Non-blocking. Returns the byte count, 0 when nothing waits, -1 when the peer has
  // gone (or on any other failure).
  long Read(std::span<uint8_t> buffer) override;
  // Writes all bytes, waiting up to `timeoutMs` for room each time the slave's input
  // is full. False when the peer has gone or the bytes could not be placed in time.
  bool Write(std::span<const uint8_t> bytes, int timeoutMs) override;

  // Any thread: ends the current or the next Wait / WaitForPeer with Woken.
  void Wake() override;

 private:
  bool PeerPresent() const;
  void MakeSlaveRaw();
  void MakeLink(const std::string& linkPath);
  void DrainWake();

  int master_ = -1;
  int wake_ = -1;  // eventfd, lives as long as the object
  std::string slavePath_;
  std::string linkPath_;
};

}  // namespace kalvist
