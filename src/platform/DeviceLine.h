// The device's end of a serial line, for programs that play a serial device (the
// controller simulator): a pseudo-terminal where the system has them, an in-process
// loopback line, or a real serial port (a null-modem cable to the client's port).
// ClientPath() is what the client opens as its port.
//
// Thread safety: one thread owns the line and makes every call, except Wake, which any
// thread may call while the line exists.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace kalvist {

enum class TLineEvent {
  Readable,    // bytes wait for the device
  PeerClosed,  // no client holds the line open (and nothing is left to read)
  PeerOpened,  // WaitForPeer: a client has opened the line
  TimedOut,
  Woken,  // Wake was called
};

class IDeviceLine {
 public:
  virtual ~IDeviceLine() = default;

  // Opens the line. `where` is, by kind: a symbolic link to make to the pseudo-terminal
  // (may be empty), ignored for a loopback, the port to open for a serial port. Throws
  // TKalvistError with the system's reason; the line then stays closed.
  virtual void Open(const std::string& where) = 0;
  // Hang-up: the client's reads fail and its presence check says the device has gone.
  // Harmless when closed.
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  virtual std::string ClientPath() const = 0;
  // Whether bytes take their 19200-baud line time on this line by themselves.
  virtual bool Paced() const = 0;

  // Waits for bytes, a missing peer, Wake, or `timeoutMs` (-1: no limit). Returns
  // PeerClosed at once while no client holds the line and nothing is left to read.
  virtual TLineEvent Wait(int timeoutMs) = 0;
  // While PeerClosed: waits until a client opens the line, Wake, or `timeoutMs`.
  virtual TLineEvent WaitForPeer(int timeoutMs) = 0;

  // Non-blocking. Returns the byte count, 0 when nothing waits, -1 when the peer has
  // gone (or on any other failure).
  virtual long Read(std::span<uint8_t> buffer) = 0;
  // Writes all bytes, waiting up to `timeoutMs` for room each time the client's input
  // is full. False when the peer has gone or the bytes could not be placed in time.
  virtual bool Write(std::span<const uint8_t> bytes, int timeoutMs) = 0;

  // Any thread: ends the current or the next Wait / WaitForPeer with Woken.
  virtual void Wake() = 0;
};

enum class TDeviceLineKind { PseudoTerminal, Loopback, SerialPort };

// The kind a built-in simulator uses: a pseudo-terminal where the system has them (the
// client then goes through the same port code as with a real adapter), else a loopback.
TDeviceLineKind DefaultDeviceLineKind();

// `paced` applies to a loopback only. Throws TKalvistError for a kind this system lacks.
std::unique_ptr<IDeviceLine> CreateDeviceLine(TDeviceLineKind kind, bool paced = false);

// Per platform: a new pseudo-terminal; throws TKalvistError where the system has none.
std::unique_ptr<IDeviceLine> CreatePseudoTerminalLine();

}  // namespace kalvist
