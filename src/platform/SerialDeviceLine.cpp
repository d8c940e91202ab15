#include <algorithm>

#include "Clock.h"
#include "DeviceLine.h"
#include "KalvistError.h"
#include "LoopbackPort.h"
#include "SerialPort.h"

namespace kalvist {

namespace {

// How often a device on a port that has gone looks whether it is back; a serial line
// gives no event for that.
constexpr int kPresenceProbeMs = 100;

// The device's end of a real serial line: a null-modem cable to the client's port. A
// cable says nothing about the far end, so a client counts as present while the port
// itself is.
class TSerialDeviceLine final : public IDeviceLine {
 public:
  void Open(const std::string& where) override {
    Close();
    const TOpenOutcome outcome = port_->Open(where);
    if (outcome.Code != opOpened) {
      throw TKalvistError("Cannot open " + where + ": " + outcome.Reason);
    }
    path_ = where;
  }
  void Close() override { port_->Close(); }
  bool IsOpen() const override { return port_->IsOpen(); }
  std::string ClientPath() const override { return path_; }
  bool Paced() const override { return false; }

  TLineEvent Wait(int timeoutMs) override {
    switch (port_->Wait(true, timeoutMs)) {
      case TWaitResult::Readable:
        return TLineEvent::Readable;
      case TWaitResult::Woken:
        return TLineEvent::Woken;
      case TWaitResult::TimedOut:
      case TWaitResult::Writable:
        return TLineEvent::TimedOut;
      case TWaitResult::Failed:
        break;
    }
    return TLineEvent::PeerClosed;
  }

  TLineEvent WaitForPeer(int timeoutMs) override {
    const uint64_t end = SteadyMs() + static_cast<uint64_t>(std::max(timeoutMs, 0));
    while (!port_->CheckPresent()) {
      const uint64_t now = SteadyMs();
      if (timeoutMs >= 0 && now >= end) return TLineEvent::TimedOut;
      const int slice =
          timeoutMs < 0 ? kPresenceProbeMs
                        : static_cast<int>(std::min<uint64_t>(kPresenceProbeMs, end - now));
      if (port_->Wait(false, slice) == TWaitResult::Woken) return TLineEvent::Woken;
    }
    return TLineEvent::PeerOpened;
  }

  long Read(std::span<uint8_t> buffer) override { return port_->Read(buffer); }

  bool Write(std::span<const uint8_t> bytes, int timeoutMs) override {
    return WriteAll(*port_, bytes, static_cast<uint32_t>(std::max(timeoutMs, 0)));
  }

  void Wake() override { port_->Wake(); }

 private:
  const std::unique_ptr<ISerialPort> port_ = CreateSerialPort();
  std::string path_;
};

}  // namespace

std::unique_ptr<IDeviceLine> CreateDeviceLine(TDeviceLineKind kind, bool paced) {
  switch (kind) {
    case TDeviceLineKind::PseudoTerminal:
      return CreatePseudoTerminalLine();
    case TDeviceLineKind::Loopback:
      return CreateLoopbackDevice(paced);
    case TDeviceLineKind::SerialPort:
      break;
  }
  return std::make_unique<TSerialDeviceLine>();
}

}  // namespace kalvist
