#include "LoopbackPort.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

namespace kalvist {
namespace {

using TClock = std::chrono::steady_clock;

constexpr std::string_view kNamePrefix = "loopback:";
// Per direction, as much as a USB adapter's driver holds; a sound block fits many times.
constexpr size_t kQueueCapacity = 65536;
constexpr auto kByteTime = std::chrono::nanoseconds(520833);  // 10 bits at 19200 baud

// One lock for every line and both ends: the lines are few and their traffic small,
// and a single lock keeps the waits of the two ends simple.
std::mutex& LineMutex() {
  static std::mutex mutex;
  return mutex;
}

// One direction of a line. On a paced line a byte arrives one byte time after the
// one before it (or after it was written, when the line was idle).
class TDirection {
 public:
  size_t Room() const { return kQueueCapacity - bytes_.size(); }
  bool Empty() const { return bytes_.empty(); }

  void Push(std::span<const uint8_t> bytes, bool paced, TClock::time_point now) {
    for (const uint8_t b : bytes) {
      lastArrival_ = paced ? std::max(now, lastArrival_) + kByteTime : now;
      bytes_.push_back({b, lastArrival_});
    }
  }

  size_t Pop(std::span<uint8_t> buffer, TClock::time_point now) {
    size_t n = 0;
    while (n < buffer.size() && !bytes_.empty() && bytes_.front().At <= now) {
      buffer[n++] = bytes_.front().Value;
      bytes_.pop_front();
    }
    return n;
  }

  bool Arrived(TClock::time_point now) const { return !bytes_.empty() && bytes_.front().At <= now; }
  // When the first byte still under way arrives.
  std::optional<TClock::time_point> NextArrival() const {
    if (bytes_.empty()) return std::nullopt;
    return bytes_.front().At;
  }
  TClock::time_point LastArrival() const { return lastArrival_; }

  void Clear() { bytes_.clear(); }

 private:
  struct TByte {
    uint8_t Value;
    TClock::time_point At;
  };
  std::deque<TByte> bytes_;
  TClock::time_point lastArrival_{};
};

// Under LineMutex(), all of it.
struct TCable {
  std::string Name;
  bool Paced = false;
  TDirection ToHost;
  TDirection ToDevice;
  bool DeviceOpen = true;
  std::condition_variable* Host = nullptr;  // the open host end's, else none
  std::condition_variable* Device = nullptr;

  void NotifyHost() const {
    if (Host) Host->notify_all();
  }
  void NotifyDevice() const {
    if (Device) Device->notify_all();
  }
};

std::map<std::string, std::shared_ptr<TCable>, std::less<>>& Lines() {
  static std::map<std::string, std::shared_ptr<TCable>, std::less<>> lines;
  return lines;
}

// The time to wait until: the deadline, or earlier when a paced byte arrives first.
TClock::time_point WakeAt(TClock::time_point deadline,
                          std::optional<TClock::time_point> arrival) {
  return arrival ? std::min(deadline, *arrival) : deadline;
}

// Without a time limit wait_until would be handed the clock's end, which some
// implementations turn into an immediate time-out.
void WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
               TClock::time_point until) {
  if (until == TClock::time_point::max()) {
    cv.wait(lock);
  } else {
    cv.wait_until(lock, until);
  }
}

// Takes what has arrived in one direction and tells the writer there is room again.
// Nothing there reads as 0 while the writing end is open, as a failure once it is gone.
long TakeArrived(TDirection& from, std::condition_variable* writer, bool writerOpen,
                 std::span<uint8_t> buffer) {
  const size_t n = from.Pop(buffer, TClock::now());
  if (n == 0) return writerOpen ? 0 : -1;
  if (writer) writer->notify_all();
  return static_cast<long>(n);
}

TClock::time_point DeadlineOf(int timeoutMs) {
  return timeoutMs < 0 ? TClock::time_point::max()
                       : TClock::now() + std::chrono::milliseconds(timeoutMs);
}

class TLoopbackPort final : public ISerialPort {
 public:
  ~TLoopbackPort() override { Close(); }

  TOpenOutcome Open(const std::string& path) override {
    Close();
    std::lock_guard lock(LineMutex());
    const auto found = Lines().find(path);
    if (found == Lines().end()) return {opCannotOpen, "no loopback line of that name"};
    TCable& cable = *found->second;
    if (cable.Host) return {opCannotOpen, "the line is in use by another client"};
    cable.ToHost.Clear();
    cable.ToDevice.Clear();
    cable.Host = &changed_;
    cable_ = found->second;
    cable.NotifyDevice();
    return {opOpened, {}};
  }

  void Close() override {
    std::lock_guard lock(LineMutex());
    if (!cable_) return;
    cable_->Host = nullptr;
    cable_->NotifyDevice();
    cable_.reset();
  }

  bool IsOpen() const override {
    std::lock_guard lock(LineMutex());
    return cable_ != nullptr;
  }

  void Purge() override {
    std::lock_guard lock(LineMutex());
    if (!cable_) return;
    cable_->ToHost.Clear();
    cable_->ToDevice.Clear();
    cable_->NotifyDevice();
  }

  long Read(std::span<uint8_t> buffer) override {
    std::lock_guard lock(LineMutex());
    if (!cable_) return -1;
    return TakeArrived(cable_->ToHost, cable_->Device, cable_->DeviceOpen, buffer);
  }

  long Write(std::span<const uint8_t> bytes) override {
    std::lock_guard lock(LineMutex());
    if (!cable_ || !cable_->DeviceOpen) return -1;
    const size_t n = std::min(bytes.size(), cable_->ToDevice.Room());
    cable_->ToDevice.Push(bytes.first(n), cable_->Paced, TClock::now());
    if (n > 0) cable_->NotifyDevice();
    return static_cast<long>(n);
  }

  void Drain() override {
    TClock::time_point sent;
    {
      std::lock_guard lock(LineMutex());
      if (!cable_) return;
      sent = cable_->ToDevice.LastArrival();
    }
    // Some systems' sleeps end a little early; the last byte must have arrived.
    while (TClock::now() < sent) std::this_thread::sleep_until(sent);
  }

  bool CheckPresent() override {
    std::lock_guard lock(LineMutex());
    return cable_ && cable_->DeviceOpen;
  }

  TWaitResult Wait(bool forRead, int timeoutMs) override {
    const auto deadline = DeadlineOf(timeoutMs);
    std::unique_lock lock(LineMutex());
    for (;;) {
      if (wake_) {
        wake_ = false;
        return TWaitResult::Woken;
      }
      const bool watch = forRead && cable_;
      // A device gone is reported as readable: the read that follows fails and says so.
      if (watch && (cable_->ToHost.Arrived(TClock::now()) || !cable_->DeviceOpen)) {
        return TWaitResult::Readable;
      }
      if (TClock::now() >= deadline) return TWaitResult::TimedOut;
      WaitUntil(changed_, lock,
                WakeAt(deadline, watch ? cable_->ToHost.NextArrival() : std::nullopt));
    }
  }

  TWaitResult WaitWritable(int timeoutMs) override {
    const auto deadline = DeadlineOf(timeoutMs);
    std::unique_lock lock(LineMutex());
    for (;;) {
      if (!cable_) return TWaitResult::Failed;
      if (wake_) return TWaitResult::Woken;  // left for the next Wait
      if (cable_->ToDevice.Room() > 0 || !cable_->DeviceOpen) return TWaitResult::Writable;
      if (TClock::now() >= deadline) return TWaitResult::TimedOut;
      WaitUntil(changed_, lock, deadline);
    }
  }

  void Wake() override {
    std::lock_guard lock(LineMutex());
    wake_ = true;
    changed_.notify_all();
  }

 private:
  std::shared_ptr<TCable> cable_;  // under LineMutex()
  bool wake_ = false;              // under LineMutex()
  std::condition_variable changed_;
};

class TLoopbackDevice final : public IDeviceLine {
 public:
  explicit TLoopbackDevice(bool paced) : paced_(paced) {}
  ~TLoopbackDevice() override { Close(); }

  void Open(const std::string&) override {
    Close();
    static unsigned lastNumber = 0;
    std::lock_guard lock(LineMutex());
    auto cable = std::make_shared<TCable>();
    cable->Name = std::string(kNamePrefix) + std::to_string(++lastNumber);
    cable->Paced = paced_;
    cable->Device = &changed_;
    Lines()[cable->Name] = cable;
    cable_ = std::move(cable);
  }

  void Close() override {
    std::lock_guard lock(LineMutex());
    if (!cable_) return;
    cable_->DeviceOpen = false;
    cable_->Device = nullptr;
    Lines().erase(cable_->Name);
    cable_->NotifyHost();
    cable_.reset();
  }

  bool IsOpen() const override {
    std::lock_guard lock(LineMutex());
    return cable_ != nullptr;
  }

  std::string ClientPath() const override {
    std::lock_guard lock(LineMutex());
    return cable_ ? cable_->Name : std::string();
  }

  bool Paced() const override { return paced_; }

  TLineEvent Wait(int timeoutMs) override {
    const auto deadline = DeadlineOf(timeoutMs);
    std::unique_lock lock(LineMutex());
    for (;;) {
      if (TakeWake()) return TLineEvent::Woken;
      if (!cable_) return TLineEvent::PeerClosed;
      if (cable_->ToDevice.Arrived(TClock::now())) return TLineEvent::Readable;
      if (!cable_->Host && cable_->ToDevice.Empty()) return TLineEvent::PeerClosed;
      if (TClock::now() >= deadline) return TLineEvent::TimedOut;
      WaitUntil(changed_, lock, WakeAt(deadline, cable_->ToDevice.NextArrival()));
    }
  }

  TLineEvent WaitForPeer(int timeoutMs) override {
    const auto deadline = DeadlineOf(timeoutMs);
    std::unique_lock lock(LineMutex());
    for (;;) {
      if (TakeWake()) return TLineEvent::Woken;
      if (cable_ && cable_->Host) return TLineEvent::PeerOpened;
      if (TClock::now() >= deadline) return TLineEvent::TimedOut;
      WaitUntil(changed_, lock, deadline);
    }
  }

  long Read(std::span<uint8_t> buffer) override {
    std::lock_guard lock(LineMutex());
    if (!cable_) return -1;
    return TakeArrived(cable_->ToDevice, cable_->Host, cable_->Host != nullptr, buffer);
  }

  bool Write(std::span<const uint8_t> bytes, int timeoutMs) override {
    const auto deadline = DeadlineOf(timeoutMs);
    std::unique_lock lock(LineMutex());
    while (!bytes.empty()) {
      if (!cable_ || !cable_->Host) return false;
      const size_t n = std::min(bytes.size(), cable_->ToHost.Room());
      cable_->ToHost.Push(bytes.first(n), cable_->Paced, TClock::now());
      if (n > 0) cable_->NotifyHost();
      bytes = bytes.subspan(n);
      if (bytes.empty()) break;
      if (TClock::now() >= deadline) return false;
      WaitUntil(changed_, lock, deadline);
    }
    return true;
  }

  void Wake() override {
    std::lock_guard lock(LineMutex());
    wake_ = true;
    changed_.notify_all();
  }

 private:
  bool TakeWake() {
    const bool woken = wake_;
    wake_ = false;
    return woken;
  }

  const bool paced_;
  std::shared_ptr<TCable> cable_;  // under LineMutex()
  bool wake_ = false;              // under LineMutex()
  std::condition_variable changed_;
};

}  // namespace

bool IsLoopbackName(const std::string& path) {
  return path.starts_with(kNamePrefix);
}

bool LoopbackExists(const std::string& path) {
  std::lock_guard lock(LineMutex());
  return Lines().contains(path);
}

std::unique_ptr<ISerialPort> CreateLoopbackPort() {
  return std::make_unique<TLoopbackPort>();
}

std::unique_ptr<IDeviceLine> CreateLoopbackDevice(bool paced) {
  return std::make_unique<TLoopbackDevice>(paced);
}

}  // namespace kalvist
