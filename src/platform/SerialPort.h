// A serial port as the link needs it: 19200 baud 8N1 raw, no flow control, exclusive,
// non-blocking reads and writes that a waiter drives. One implementation per platform
// (posix/ and win32/), plus the in-process loopback line (LoopbackPort.h).
//
// Thread safety: none of its own. The connection serialises all calls (see
// vltDirectConnection.h for which thread makes them).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace kalvist {

// Open codes as the connection reports them.
enum TOpenResult : int {
  opOpened = 0,
  opAlreadyOpen = 1,
  opBadPortName = 3,
  opCannotOpen = 4,
  opCannotSetUp = 5,
};

struct TOpenOutcome {
  int Code = opOpened;
  std::string Reason;  // the operating system's reason, e.g. "Permission denied"
};

enum class TWaitResult { Woken, Readable, Writable, TimedOut, Failed };

class ISerialPort {
 public:
  virtual ~ISerialPort() = default;

  // Opens `path` exclusively and configures it; on failure the port stays closed.
  virtual TOpenOutcome Open(const std::string& path) = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;

  // Discards whatever either direction holds.
  virtual void Purge() = 0;
  // Non-blocking; return the byte count, 0 when nothing could be moved, -1 on error.
  virtual long Read(std::span<uint8_t> buffer) = 0;
  virtual long Write(std::span<const uint8_t> bytes) = 0;
  // Waits until written bytes have left the port.
  virtual void Drain() = 0;
  // False once the device has gone (adapter pulled, the other end of a pty closed).
  virtual bool CheckPresent() = 0;

  // Waits until the port has bytes to read (when `forRead`), Wake is called, or
  // `timeoutMs` pass (-1 waits without limit).
  virtual TWaitResult Wait(bool forRead, int timeoutMs) = 0;
  // Waits until the port takes bytes again, Wake is called, or `timeoutMs` pass. A
  // Wake is left pending for the next Wait, which is the one it is meant for.
  virtual TWaitResult WaitWritable(int timeoutMs) = 0;
  // Any thread: ends the current or the next Wait with Woken.
  virtual void Wake() = 0;
};

// A port that opens a loopback line by its name and any other name as the system's
// port.
std::unique_ptr<ISerialPort> CreateSerialPort();

// Writes all of `bytes`, waiting for room whenever the port takes only part of them.
// False when the port fails, a Wake interrupts, or `timeoutMs` pass first.
bool WriteAll(ISerialPort& port, std::span<const uint8_t> bytes, uint32_t timeoutMs);

// Whether a port of that name is there now (an adapter plugged in, a link that leads
// somewhere, a loopback line whose device end is open).
bool PortExists(const std::string& path);

// The system's own ports only, one implementation per platform.
std::unique_ptr<ISerialPort> CreateSystemSerialPort();
bool SystemPortExists(const std::string& path);

}  // namespace kalvist
