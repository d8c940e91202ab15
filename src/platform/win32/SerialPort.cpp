// Win32 implementation of ISerialPort: a COM port opened for overlapped I/O. Reads
// return at once with what has arrived; a wait for bytes is an overlapped
// WaitCommEvent(EV_RXCHAR), waited on together with the wake event. (An overlapped read
// that waits for its first byte would do as well on Windows, but Wine 8 never completes
// one when the bytes are already queued.)
#include <windows.h>

#include <algorithm>
#include <array>
#include <mutex>
#include <vector>

#include "ComPorts.h"
#include "SerialPort.h"
#include "WakeHandle.h"
#include "WinEvent.h"
#include "WinText.h"

namespace kalvist {
namespace {

constexpr DWORD kDriverBufferSize = 4096;

// An overlapped operation's completion event.
class TEvent {
 public:
  TEvent() : handle_(CreateManualResetEvent()) {}
  ~TEvent() { CloseHandle(handle_); }
  TEvent(const TEvent&) = delete;
  TEvent& operator=(const TEvent&) = delete;
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

// 19200 8N1, binary, no flow control of either kind, DTR and RTS up (adapters that
// power the line from them need that).
bool ConfigureLine(HANDLE port) {
  if (!SetupComm(port, kDriverBufferSize, kDriverBufferSize)) return false;
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(port, &dcb)) return false;
  dcb.BaudRate = CBR_19200;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  dcb.fBinary = TRUE;
  dcb.fParity = FALSE;
  dcb.fOutxCtsFlow = FALSE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDsrSensitivity = FALSE;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fRtsControl = RTS_CONTROL_ENABLE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
  dcb.fErrorChar = FALSE;
  dcb.fNull = FALSE;
  dcb.fAbortOnError = FALSE;
  if (!SetCommState(port, &dcb)) return false;
  // A read returns at once with what has arrived, nothing included.
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  if (!SetCommTimeouts(port, &timeouts) || !SetCommMask(port, EV_RXCHAR)) return false;
  return PurgeComm(port, PURGE_RXCLEAR | PURGE_TXCLEAR) != 0;
}

class TWin32SerialPort final : public ISerialPort {
 public:
  ~TWin32SerialPort() override { Close(); }

  TOpenOutcome Open(const std::string& path) override {
    Close();
    const std::optional<unsigned> number = ComPortNumber(path);
    if (!number)
      return {opBadPortName, "\"" + path + "\" is not a COM port name (COM1, COM2, ...)"};
    const HANDLE port =
        CreateFileW(Widen(ComDevicePath(*number)).c_str(), GENERIC_READ | GENERIC_WRITE,
                    0 /* exclusive */, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) return {opCannotOpen, SystemReason(GetLastError())};
    if (!ConfigureLine(port)) {
      const DWORD error = GetLastError();
      CloseHandle(port);
      return {opCannotSetUp, SystemReason(error)};
    }
    std::lock_guard lock(ioMutex_);
    port_ = port;
    name_ = "COM" + std::to_string(*number);
    failed_ = false;
    return {opOpened, {}};
  }

  void Close() override {
    std::lock_guard lock(ioMutex_);
    if (port_ == INVALID_HANDLE_VALUE) return;
    CancelIoEx(port_, nullptr);
    DWORD ignored = 0;
    if (commPending_) GetOverlappedResult(port_, &commOv_, &ignored, TRUE);
    if (writePending_) GetOverlappedResult(port_, &writeOv_, &ignored, TRUE);
    commPending_ = writePending_ = false;
    CloseHandle(port_);
    port_ = INVALID_HANDLE_VALUE;
    name_.clear();
    // A waiter on the byte event looks again and finds the port closed.
    SetEvent(commEvent_.Get());
  }

  bool IsOpen() const override {
    std::lock_guard lock(ioMutex_);
    return port_ != INVALID_HANDLE_VALUE;
  }

  void Purge() override {
    std::lock_guard lock(ioMutex_);
    if (port_ != INVALID_HANDLE_VALUE) PurgeComm(port_, PURGE_RXCLEAR | PURGE_TXCLEAR);
  }

  long Read(std::span<uint8_t> buffer) override {
    std::lock_guard lock(ioMutex_);
    if (port_ == INVALID_HANDLE_VALUE || failed_) return -1;
    OVERLAPPED ov{};
    ov.hEvent = readEvent_.Get();
    ResetEvent(readEvent_.Get());
    DWORD got = 0;
    const DWORD size = static_cast<DWORD>(std::min<size_t>(buffer.size(), MAXDWORD));
    // With the time-outs set at open the read ends at once, even where it goes pending.
    if (!ReadFile(port_, buffer.data(), size, &got, &ov) &&
        (GetLastError() != ERROR_IO_PENDING || !GetOverlappedResult(port_, &ov, &got, TRUE))) {
      failed_ = true;
      return -1;
    }
    return static_cast<long>(got);
  }

  // The bytes go to the driver whole; while it still writes earlier ones, nothing more
  // is taken.
  long Write(std::span<const uint8_t> bytes) override {
    std::lock_guard lock(ioMutex_);
    if (port_ == INVALID_HANDLE_VALUE || failed_) return -1;
    if (writePending_ && !CollectWrite(false)) return failed_ ? -1 : 0;
    if (bytes.empty()) return 0;
    writeBuffer_.assign(bytes.begin(), bytes.end());
    writeOv_ = OVERLAPPED{};
    writeOv_.hEvent = writeEvent_.Get();
    DWORD written = 0;
    if (WriteFile(port_, writeBuffer_.data(), static_cast<DWORD>(writeBuffer_.size()), &written,
                  &writeOv_)) {
      return static_cast<long>(bytes.size());
    }
    if (GetLastError() != ERROR_IO_PENDING) {
      failed_ = true;
      return -1;
    }
    writePending_ = true;
    return static_cast<long>(bytes.size());
  }

  void Drain() override {
    std::lock_guard lock(ioMutex_);
    if (port_ == INVALID_HANDLE_VALUE) return;
    if (writePending_) CollectWrite(true);
    FlushFileBuffers(port_);
  }

  // The handle's error state, and the port still in the system's list (a USB adapter
  // pulled out leaves a handle that only fails).
  bool CheckPresent() override {
    std::lock_guard lock(ioMutex_);
    if (port_ == INVALID_HANDLE_VALUE || failed_) return false;
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(port_, &errors, &status)) return false;
    return SystemPortExists(name_);
  }

  TWaitResult Wait(bool forRead, int timeoutMs) override {
    bool watchBytes = false;
    if (forRead) {
      std::lock_guard lock(ioMutex_);
      if (port_ != INVALID_HANDLE_VALUE) {
        // The byte event is armed before the queue is looked at, so that a byte arriving
        // in between still ends the wait. A failure is reported as readable: the read
        // that follows says so.
        if (!ArmByteEvent() || BytesQueued() != 0) return TWaitResult::Readable;
        watchBytes = true;
      }
    }
    const HANDLE events[2] = {wake_.Native(), commEvent_.Get()};
    const DWORD r = WaitForMultipleObjects(watchBytes ? 2 : 1, events, FALSE, Timeout(timeoutMs));
    if (r == WAIT_OBJECT_0) {
      wake_.Drain();
      return TWaitResult::Woken;
    }
    if (r == WAIT_OBJECT_0 + 1) return TWaitResult::Readable;
    return r == WAIT_TIMEOUT ? TWaitResult::TimedOut : TWaitResult::Failed;
  }

  TWaitResult WaitWritable(int timeoutMs) override {
    {
      std::lock_guard lock(ioMutex_);
      if (port_ == INVALID_HANDLE_VALUE) return TWaitResult::Failed;
      if (!writePending_ || CollectWrite(false)) {
        return WaitForSingleObject(wake_.Native(), 0) == WAIT_OBJECT_0 ? TWaitResult::Woken
                                                                       : TWaitResult::Writable;
      }
    }
    const HANDLE events[2] = {wake_.Native(), writeEvent_.Get()};
    const DWORD r = WaitForMultipleObjects(2, events, FALSE, Timeout(timeoutMs));
    if (r == WAIT_OBJECT_0) return TWaitResult::Woken;  // left set for the next Wait
    if (r == WAIT_OBJECT_0 + 1) return TWaitResult::Writable;
    return r == WAIT_TIMEOUT ? TWaitResult::TimedOut : TWaitResult::Failed;
  }

  void Wake() override { wake_.Signal(); }

 private:
  static DWORD Timeout(int timeoutMs) {
    return timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
  }

  // Under ioMutex_, port open: a WaitCommEvent(EV_RXCHAR) pending or just ended (its
  // event then set). False when the port refuses.
  bool ArmByteEvent() {
    DWORD ignored = 0;
    if (commPending_) {
      if (!GetOverlappedResult(port_, &commOv_, &ignored, FALSE) &&
          GetLastError() == ERROR_IO_INCOMPLETE) {
        return true;
      }
      commPending_ = false;
    }
    commOv_ = OVERLAPPED{};
    commOv_.hEvent = commEvent_.Get();
    ResetEvent(commEvent_.Get());
    if (WaitCommEvent(port_, &commMask_, &commOv_)) return true;
    if (GetLastError() != ERROR_IO_PENDING) {
      failed_ = true;
      return false;
    }
    commPending_ = true;
    return true;
  }

  // Under ioMutex_, port open: bytes waiting in the driver, or -1 when it cannot say.
  long BytesQueued() {
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(port_, &errors, &status)) {
      failed_ = true;
      return -1;
    }
    return static_cast<long>(status.cbInQue);
  }

  // Under ioMutex_: true once the pending write has finished.
  bool CollectWrite(bool wait) {
    DWORD written = 0;
    if (GetOverlappedResult(port_, &writeOv_, &written, wait ? TRUE : FALSE)) {
      writePending_ = false;
      return true;
    }
    if (GetLastError() == ERROR_IO_INCOMPLETE) return false;
    writePending_ = false;
    failed_ = true;
    return true;
  }

  mutable std::mutex ioMutex_;  // what follows; never held across a wait for the line
  HANDLE port_ = INVALID_HANDLE_VALUE;
  std::string name_;
  bool failed_ = false;  // a read or write failed: the device has gone
  OVERLAPPED commOv_{};
  bool commPending_ = false;
  DWORD commMask_ = 0;  // WaitCommEvent writes it when it ends
  OVERLAPPED writeOv_{};
  bool writePending_ = false;
  std::vector<uint8_t> writeBuffer_;
  TWakeHandle wake_;  // WaitWritable leaves it signalled for the next Wait
  const TEvent readEvent_;
  const TEvent commEvent_;
  const TEvent writeEvent_;
};

}  // namespace

std::unique_ptr<ISerialPort> CreateSystemSerialPort() {
  return std::make_unique<TWin32SerialPort>();
}

// A COM port is there while the system maps its name to a device. Wine does not list a
// port that only a link in its dosdevices folder makes; opening such a port for no
// access at all finds it (a port that another program holds refuses even that).
bool SystemPortExists(const std::string& path) {
  const std::optional<unsigned> number = ComPortNumber(path);
  if (!number) return false;
  std::array<wchar_t, 512> target{};
  const std::wstring name = L"COM" + std::to_wstring(*number);
  if (QueryDosDeviceW(name.c_str(), target.data(), static_cast<DWORD>(target.size())) != 0) {
    return true;
  }
  const HANDLE probe =
      CreateFileW(Widen(ComDevicePath(*number)).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (probe != INVALID_HANDLE_VALUE) {
    CloseHandle(probe);
    return true;
  }
  const DWORD error = GetLastError();
  return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
}

}  // namespace kalvist
