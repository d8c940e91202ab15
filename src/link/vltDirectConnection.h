// The serial connection: the port, the I/O thread, frame building, reply reception,
// the watchdog, the port-presence check and line recovery.
//
// Threads. The main thread decides, the I/O thread does the port I/O: Send queues a
// transmission, the I/O thread purges, writes, receives the reply and hands the
// finished exchange over with a blocking hand-over. While the main thread evaluates
// it (ParseReply, OnTransferDone), the I/O thread waits, so the receive buffer and the
// reply record are never used by both threads at once. Line recovery runs on the I/O
// thread too, before any transmission queued after it, so the main thread never waits
// for the line. The watchdog values are atomics; the job queue has its own small lock;
// a port lock keeps the main thread's few direct port calls (close, presence check)
// apart from an I/O burst.
#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <mutex>
#include <span>
#include <thread>

#include "SerialPort.h"
#include "vltCustomConnection.h"

namespace kalvist {

class TvltDirectConnection : public TvltCustomConnection {
 public:
  TvltDirectConnection(IMainThread& mainThread, std::unique_ptr<ISerialPort> port);
  ~TvltDirectConnection() override;

  void Open(const std::string& portName) override;
  void Close() override;
  bool Send(const TLinkRequest& request) override;
  int MaxFrameData() const override { return kMaxFrameData; }
  int SegmentData() const override { return kSegmentData; }
  bool PortPresent() override;
  void SetPriority(TThreadPriority priority) override;

  static constexpr uint32_t kWatchdogMargin = 2000;  // ms beyond the reply time-out
  static constexpr uint32_t kRecoveryLimit = 1000;   // ms a recovery flood may take
  static constexpr int kPortCheckTicks = 10;         // the check runs on every 11th tick

 protected:
  enum class TPhase : uint8_t { LengthByte, Rest };

  void ParseReply() override;
  uint32_t TimerInterval() const override { return 100; }
  void OnTimer() override;

  // I/O thread: a read ended (complete, or `error`: time-out, watchdog, failure).
  virtual void HandleIoEvent(bool error);
  virtual bool CanPurge() const { return true; }
  virtual void Recover();
  // Returns whether the port opened; reports failures through OnOpen itself.
  bool OpenPort(const std::string& portName);
  virtual void ClosePort();

  // I/O thread: the request frame is out, start receiving what answers it.
  virtual void BeginReception(uint32_t replyTimeout);

  // Main thread: ends the I/O thread and closes the port without reporting it. The
  // thread calls the virtual functions below, so every class that overrides them
  // calls this first in its destructor, before any of its own members go.
  void StopIoThread();

  // Main thread: copy the request, advance the segment counter and build the frame
  // into the send buffer.
  void BuildFrame(const TLinkRequest& request);

  // I/O thread helpers for HandleIoEvent and its overrides.
  void StartRead(uint8_t* destination, size_t count, uint32_t timeoutMs);
  void AwaitWatchdogOnly(uint32_t timeoutMs);
  // Hands the exchange over; `received` is what came, for the trace.
  void Deliver(TReception reception, std::span<const uint8_t> received);

  void ArmWatchdog(uint32_t durationMs);
  void DisarmWatchdog();

  // Main thread: queue a frame for the I/O thread. `startReception` begins reading
  // the reply once the frame is out.
  void QueueTransmit(std::span<const uint8_t> frame, bool purge, bool startReception,
                     uint32_t replyTimeout);
  // Main thread, only while the I/O thread waits in a hand-over or is idle: write at once.
  void WriteNow(std::span<const uint8_t> frame);
  void PurgeNow();
  uint32_t PortGeneration() const { return generation_; }

  ISerialPort& Port() { return *port_; }

  std::array<uint8_t, kMaxRequestSize> sendBuffer_{};
  size_t sendLength_ = 0;
  TLinkRequest currentRequest_;
  TSegmentCounters segmentCounters_{};
  bool closePending_ = false;

  // I/O thread between transmissions; the main thread reads them only in ParseReply.
  std::array<uint8_t, kMaxReplySize> receiveBuffer_{};
  TPhase phase_ = TPhase::LengthByte;
  TReception reception_ = TReception::TimedOut;

 private:
  struct TTransmit {
    std::array<uint8_t, kMaxRequestSize> frame{};
    size_t length = 0;
    bool purge = false;
    bool startReception = false;
    uint32_t replyTimeout = 0;
    uint32_t generation = 0;
  };
  static constexpr size_t kMaxQueuedTransmits = 4;

  void IoThreadMain(std::stop_token stop);
  void RunJobs(std::stop_token stop);
  void Flood(uint32_t generation, bool purge, std::stop_token stop);
  void Transmit(const TTransmit& job);
  // Called with the port lock held.
  void WriteFrame(std::span<const uint8_t> frame, uint32_t timeoutMs);
  void ReadStep(std::stop_token stop);
  int WaitTimeoutMs() const;
  void EnsureIoThread();

  std::unique_ptr<ISerialPort> port_;
  std::mutex portMutex_;

  std::mutex jobMutex_;
  std::array<TTransmit, kMaxQueuedTransmits> transmits_{};
  size_t transmitCount_ = 0;
  bool recoverPending_ = false;
  bool recoverPurge_ = true;
  uint32_t recoverGeneration_ = 0;

  // The read in progress (I/O thread).
  bool reading_ = false;
  uint8_t* readDestination_ = nullptr;
  size_t readWanted_ = 0;  // 0: nothing to read, only the watchdog can end the wait
  size_t readGot_ = 0;
  uint64_t readDeadline_ = 0;

  std::atomic<int64_t> watchdogDuration_{-1};
  std::atomic<uint64_t> watchdogStart_{0};
  std::atomic<bool> watchdogFired_{false};
  // A close waits for the exchange in flight: its reply is no longer wanted, so the
  // exchange ends at once as a time-out instead of at its deadline.
  std::atomic<bool> cutShort_{false};
  std::atomic<uint32_t> generation_{0};  // changes at every open and close
  std::atomic<int> priorityLevel_{3};
  int appliedPriority_ = -1;

  int portCheckCountdown_ = kPortCheckTicks;
  std::jthread ioThread_;
};

}  // namespace kalvist
