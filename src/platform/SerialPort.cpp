#include "SerialPort.h"

#include <atomic>

#include "Clock.h"
#include "LoopbackPort.h"

namespace kalvist {
namespace {

// Picks the system's port or a loopback line by the name given to Open. Both stay
// ready, so that a Wake from another thread always reaches the one being waited on; a
// wake that lands on the other one only makes its next wait end early, which every
// waiter takes as a reason to look again.
class TPortSelector final : public ISerialPort {
 public:
  TOpenOutcome Open(const std::string& path) override {
    Close();
    ISerialPort* chosen = IsLoopbackName(path) ? loopback_.get() : system_.get();
    const TOpenOutcome outcome = chosen->Open(path);
    active_ = chosen;
    return outcome;
  }
  void Close() override { active_.load()->Close(); }
  bool IsOpen() const override { return active_.load()->IsOpen(); }
  void Purge() override { active_.load()->Purge(); }
  long Read(std::span<uint8_t> buffer) override { return active_.load()->Read(buffer); }
  long Write(std::span<const uint8_t> bytes) override { return active_.load()->Write(bytes); }
  void Drain() override { active_.load()->Drain(); }
  bool CheckPresent() override { return active_.load()->CheckPresent(); }
  TWaitResult Wait(bool forRead, int timeoutMs) override {
    return active_.load()->Wait(forRead, timeoutMs);
  }
  TWaitResult WaitWritable(int timeoutMs) override {
    return active_.load()->WaitWritable(timeoutMs);
  }
  void Wake() override {
    system_->Wake();
    loopback_->Wake();
  }

 private:
  const std::unique_ptr<ISerialPort> system_ = CreateSystemSerialPort();
  const std::unique_ptr<ISerialPort> loopback_ = CreateLoopbackPort();
  std::atomic<ISerialPort*> active_ = system_.get();
};

}  // namespace

std::unique_ptr<ISerialPort> CreateSerialPort() {
  return std::make_unique<TPortSelector>();
}

bool WriteAll(ISerialPort& port, std::span<const uint8_t> bytes, uint32_t timeoutMs) {
  const uint64_t deadline = SteadyMs() + timeoutMs;
  while (!bytes.empty()) {
    const long n = port.Write(bytes);
    if (n < 0) return false;
    bytes = bytes.subspan(static_cast<size_t>(n));
    if (bytes.empty()) break;
    const uint64_t now = SteadyMs();
    if (now >= deadline) return false;
    if (port.WaitWritable(static_cast<int>(deadline - now)) != TWaitResult::Writable) return false;
  }
  return true;
}

bool PortExists(const std::string& path) {
  return IsLoopbackName(path) ? LoopbackExists(path) : SystemPortExists(path);
}

}  // namespace kalvist
