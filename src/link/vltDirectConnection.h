// The serial connection: the port, the I/O thread, frame building, reply reception,
// sound stream reception, the watchdog, the port-presence check and line recovery.
//
// Threads. The main thread decides, the I/O thread does the port I/O: Send queues a
// transmission, the I/O thread purges, writes, receives the reply and hands the
// finished exchange over with a blocking hand-over. While the main thread evaluates
// it (ParseReply, OnTransferDone), the I/O thread waits, so the receive buffer and the
// reply record are never used by both threads at once. Line recovery runs on the I/O
// thread too, before any transmission queued after it, so the main thread never waits
// for the line. The job queue has its own small lock; a port lock keeps the main
// thread's few direct port calls (purge, close, presence check) apart from an I/O burst.
//
// The exchange is one state machine owned by the I/O thread (TExchangePhase, one
// deadline, OnReadEnded as its transition function). The I/O thread calls nothing
// virtual, and the destructor stops it before anything else goes, so no exchange in
// flight can reach a half-destroyed connection.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <span>
#include <thread>

#include "SerialPort.h"
#include "vltCustomConnection.h"
#include "vltSoundReader.h"

namespace kalvist {

class TvltDirectConnection : public TvltCustomConnection {
 public:
  TvltDirectConnection(IMainThread& mainThread, std::unique_ptr<ISerialPort> port);
  ~TvltDirectConnection() override;

  void Open(const std::string& portName) override;
  void Close() override;
  bool Send(const TLinkRequest& request) override;
  bool SendWithoutReply(const TLinkRequest& request) override;
  void RequestResynchronisation() override { resyncRequested_ = true; }
  bool SoundMode() const override { return soundMode_; }
  void LeaveSoundMode() override;
  int MaxFrameData() const override { return kMaxFrameData; }
  int SegmentData() const override { return kSegmentData; }
  bool PortPresent() override;
  void SetPriority(TThreadPriority priority) override;

  static constexpr uint32_t kWatchdogMargin = 2000;  // ms beyond the reply time-out
  static constexpr uint32_t kRecoveryLimit = 1000;   // ms a recovery flood may take
  static constexpr uint32_t kStreamStopRest = 150;   // ms between a stream's stop and the close
  static constexpr int kPortCheckTicks = 10;         // the check runs on every 11th tick

 protected:
  void ParseReply() override;
  uint32_t TimerInterval() const override { return 100; }
  void OnTimer() override;

  // Returns whether the port opened; reports failures through OnOpen itself.
  bool OpenPort(const std::string& portName);
  void ClosePort();

  // Main thread: `request` goes out as usual and, once written, the connection reads
  // the sound stream instead of a reply until LeaveSoundMode or a close.
  void StartStream(const TLinkRequest& request);

  void PurgeNow();
  uint32_t PortGeneration() const { return generation_; }

 private:
  // What the I/O thread is doing between jobs. Transmissions, floods and the closing of
  // a stream run as jobs, each to its end, before the next read step.
  enum class TExchangePhase : uint8_t {
    Idle,        // nothing to read; waits for a job or a stop
    LengthByte,  // a request is out: the reply's first byte
    Rest,        // the rest of the reply
    NotAReply,   // a length byte that begins no reply: the reply time-out runs out
    Streaming,   // sound blocks, as many bytes at a time as the stream reader asks
  };
  enum class TJobKind : uint8_t { Transmit, Flood, CloseStream };
  enum class TAfterWrite : uint8_t { Nothing, Reply, Stream };
  struct TJob {
    TJobKind Kind = TJobKind::Transmit;
    std::array<uint8_t, kMaxRequestSize> Frame{};
    size_t Length = 0;
    bool Purge = false;
    TAfterWrite After = TAfterWrite::Nothing;
    uint32_t ReplyTimeout = 0;
    uint32_t Generation = 0;
  };
  static constexpr size_t kMaxQueuedJobs = 4;

  // Main thread.
  void BuildFrame(const TLinkRequest& request);
  void QueueJob(TJobKind kind, bool purge, TAfterWrite after, uint32_t replyTimeout);
  void Recover();
  void FinishStreamClose();

  // I/O thread.
  void IoThreadMain(std::stop_token stop);
  void RunJobs(std::stop_token stop);
  void Flood(const TJob& job, std::stop_token stop);
  void Transmit(const TJob& job);
  void CloseStream(const TJob& job, std::stop_token stop);
  // Either thread, with the port lock held.
  void WriteFrame(std::span<const uint8_t> frame, uint32_t timeoutMs);
  void StartRead(TExchangePhase phase, uint8_t* destination, size_t count, uint64_t deadline);
  void ReadStep(std::stop_token stop);
  // The transition function: the read of the current phase ended, complete or not.
  void OnReadEnded(bool complete);
  void RunReaderAction(TSoundReader::TAction action);
  void Deliver(TReception reception, std::span<const uint8_t> received);
  int WaitTimeoutMs() const;
  void EnsureIoThread();
  void StopIoThread();

  std::unique_ptr<ISerialPort> port_;
  std::mutex portMutex_;

  // Main thread.
  std::array<uint8_t, kMaxRequestSize> sendBuffer_{};
  size_t sendLength_ = 0;
  TLinkRequest currentRequest_;
  TSegmentCounters segmentCounters_{};
  bool closePending_ = false;
  int portCheckCountdown_ = kPortCheckTicks;

  std::mutex jobMutex_;
  std::condition_variable streamClosed_;  // FinishStreamClose waits on it
  std::array<TJob, kMaxQueuedJobs> jobs_{};
  size_t jobCount_ = 0;
  bool closingStream_ = false;  // a CloseStream job is queued or running

  // I/O thread; the main thread reads the buffer and the reception only in ParseReply,
  // while the I/O thread waits in the hand-over.
  TExchangePhase phase_ = TExchangePhase::Idle;
  std::array<uint8_t, kMaxReplySize> receiveBuffer_{};
  TReception reception_ = TReception::TimedOut;
  uint32_t replyTimeout_ = 0;
  uint32_t streamGeneration_ = 0;  // the port the stream runs on
  TSoundReader reader_;
  uint8_t* readDestination_ = nullptr;
  size_t readWanted_ = 0;  // 0: nothing to read, only the deadline ends the wait
  size_t readGot_ = 0;
  uint64_t deadline_ = 0;  // ms of the steady clock: the phase ends as a time-out then

  std::atomic<bool> soundMode_{false};
  // Set by the main thread during a block's hand-over, read by the I/O thread after it.
  std::atomic<bool> resyncRequested_{false};
  // A close waits for the exchange in flight: its reply is no longer wanted, so the
  // exchange ends at once as a time-out instead of at its deadline.
  std::atomic<bool> cutShort_{false};
  // An Open cannot wait out the rest after a stream's stop: it ends that rest at once.
  std::atomic<bool> hurryStreamClose_{false};
  std::atomic<uint32_t> generation_{0};  // changes at every open and close
  std::atomic<int> priorityLevel_{3};
  int appliedPriority_ = -1;

  std::jthread ioThread_;
};

}  // namespace kalvist
