// Win32 implementation of ISerialPort: a COM port opened for overlapped I/O. A wait for
// bytes is an overlapped read that stays pending until the first byte arrives, waited
// on together with the wake event.
#include <windows.h>

#include <algorithm>
#include <array>
#include <mutex>
#include <vector>

#include "ComPorts.h"
#include "SerialPort.h"
#include "WinText.h"

namespace kalvist {
namespace {

constexpr DWORD kDriverBufferSize = 4096;

class TEvent {
 public:
  explicit TEvent(bool manualReset) : handle_(CreateEventW(nullptr, manualReset, FALSE, nullptr)) {}
  ~TEvent() {
    if (handle_) CloseHandle(handle_);
  }
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
  // A read returns at once with what has arrived; with nothing there it waits for the
  // first byte (for as long as the clock allows), which is what Wait waits on.
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
  timeouts.ReadTotalTimeoutConstant = MAXDWORD - 1;
  if (!SetCommTimeouts(port, &timeouts)) return false;
  return PurgeComm(port, PURGE_RXCLEAR | PURGE_TXCLEAR) != 0;
}

class TWin32SerialPort final : public ISerialPort {
 public:
  ~TWin32SerialPort() override { Close(); }

  TOpenOutcome Open(const std::string& path) override {
    Close();
    const std::optional<unsigned> number = ComPortNumber(path);
    if (!number) return {opBadPortName, "\"" + path + "\" is not a COM port name (COM1, COM2, ...)"};
    const HANDLE port = CreateFileW(Widen(ComDevicePath(*number)).c_str(),
                                    GENERIC_READ | GENERIC_WRITE, 0 /* exclusive */, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
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
    readHave_ = readTaken_ = 0;
    return {opOpened, {}};
  }

  void Close() override {
    std::lock_guard lock(ioMutex_);
    if (port_ == INVALID_HANDLE_VALUE) return;
    CancelIoEx(port_, nullptr);
    DWORD ignored = 0;
    if (readPending_) GetOverlappedResult(port_, &readOv_, &ignored, TRUE);
    if (writePending_) GetOverlappedResult(port_, &writeOv_, &ignored, TRUE);
    readPending_ = writePending_ = false;
    CloseHandle(port_);
    port_ = INVALID_HANDLE_VALUE;
    name_.clear();
    // A waiter on the read event looks again and finds the port closed.
    SetEvent(readEvent_.Get());
  }

  bool IsOpen() const override {
    std::lock_guard lock(ioMutex_);
    return port_ != INVALID_HANDLE_VALUE;
  }

  // What a read has already taken from the driver goes too; a read still waiting for
  // its first byte stays, as the bytes it will get come after the purge.
  void Purge() override {
    std::lock_guard lock(ioMutex_);
    if (port_ == INVALID_HANDLE_VALUE) return;
    CollectRead(false);
    readHave_ = readTaken_ = 0;
    PurgeComm(port_, PURGE_RXCLEAR | PURGE_TXCLEAR);
  }

  long Read(std::span<uint8_t> buffer) override {
    std::lock_guard lock(ioMutex_);
    if (port_ == INVALID_HANDLE_VALUE) return -1;
    CollectRead(false);
    if (readHave_ == readTaken_ && !failed_) StartRead();
    if (readHave_ > readTaken_) {
      const size_t n = std::min(buffer.size(), readHave_ - readTaken_);
      std::copy_n(readBuffer_.begin() + static_cast<std::ptrdiff_t>(readTaken_), n, buffer.begin());
      readTaken_ += n;
      return static_cast<long>(n);
    }
    return failed_ ? -1 : 0;
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
    bool watchRead = false;
    if (forRead) {
      std::lock_guard lock(ioMutex_);
      if (port_ != INVALID_HANDLE_VALUE) {
        CollectRead(false);
        if (readHave_ == readTaken_ && !failed_) StartRead();
        // A failed read is reported as readable: the read that follows says so.
        if (readHave_ > readTaken_ || failed_) return TWaitResult::Readable;
        watchRead = true;
      }
    }
    const HANDLE events[2] = {wake_.Get(), readEvent_.Get()};
    const DWORD r = WaitForMultipleObjects(watchRead ? 2 : 1, events, FALSE, Timeout(timeoutMs));
    if (r == WAIT_OBJECT_0) {
      ResetEvent(wake_.Get());
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
        return WaitForSingleObject(wake_.Get(), 0) == WAIT_OBJECT_0 ? TWaitResult::Woken
                                                                     : TWaitResult::Writable;
      }
    }
    const HANDLE events[2] = {wake_.Get(), writeEvent_.Get()};
    const DWORD r = WaitForMultipleObjects(2, events, FALSE, Timeout(timeoutMs));
    if (r == WAIT_OBJECT_0) return TWaitResult::Woken;  // left set for the next Wait
    if (r == WAIT_OBJECT_0 + 1) return TWaitResult::Writable;
    return r == WAIT_TIMEOUT ? TWaitResult::TimedOut : TWaitResult::Failed;
  }

  void Wake() override { SetEvent(wake_.Get()); }

 private:
  static DWORD Timeout(int timeoutMs) {
    return timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
  }

  // Under ioMutex_, with the port open and nothing left of the last read.
  void StartRead() {
    if (readPending_) return;
    readOv_ = OVERLAPPED{};
    readOv_.hEvent = readEvent_.Get();
    ResetEvent(readEvent_.Get());
    DWORD got = 0;
    if (ReadFile(port_, readBuffer_.data(), static_cast<DWORD>(readBuffer_.size()), &got,
                 &readOv_)) {
      readHave_ = got;
      readTaken_ = 0;
      return;
    }
    if (GetLastError() == ERROR_IO_PENDING) {
      readPending_ = true;
    } else {
      failed_ = true;
    }
  }

  // Under ioMutex_: takes the result of a pending read once it has one.
  void CollectRead(bool wait) {
    if (!readPending_) return;
    DWORD got = 0;
    if (GetOverlappedResult(port_, &readOv_, &got, wait ? TRUE : FALSE)) {
      readPending_ = false;
      readHave_ = got;
      readTaken_ = 0;
      return;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_IO_INCOMPLETE) return;
    readPending_ = false;
    if (error != ERROR_OPERATION_ABORTED) failed_ = true;
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
  OVERLAPPED readOv_{};
  bool readPending_ = false;
  std::array<uint8_t, 512> readBuffer_{};
  size_t readHave_ = 0;
  size_t readTaken_ = 0;
  OVERLAPPED writeOv_{};
  bool writePending_ = false;
  std::vector<uint8_t> writeBuffer_;
  const TEvent wake_{true};  // manual reset: WaitWritable leaves it for the next Wait
  const TEvent readEvent_{true};
  const TEvent writeEvent_{true};
};

}  // namespace

std::unique_ptr<ISerialPort> CreateSystemSerialPort() {
  return std::make_unique<TWin32SerialPort>();
}

// A COM port is there while the system maps its name to a device.
bool SystemPortExists(const std::string& path) {
  const std::optional<unsigned> number = ComPortNumber(path);
  if (!number) return false;
  std::array<wchar_t, 512> target{};
  const std::wstring name = L"COM" + std::to_wstring(*number);
  return QueryDosDeviceW(name.c_str(), target.data(), static_cast<DWORD>(target.size())) != 0;
}

}  // namespace kalvist
