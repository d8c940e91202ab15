#include "vltDirectConnection.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>

#include "Clock.h"

namespace kalvist {
namespace {
constexpr uint64_t kNoDeadline = std::numeric_limits<uint64_t>::max();
}

TvltDirectConnection::TvltDirectConnection(IMainThread& mainThread,
                                           std::unique_ptr<ISerialPort> port)
    : TvltCustomConnection(mainThread), port_(std::move(port)) {
  StartTimer();
}

TvltDirectConnection::~TvltDirectConnection() {
  StopIoThread();
}

void TvltDirectConnection::StopIoThread() {
  if (ioThread_.joinable()) {
    ioThread_.request_stop();
    port_->Wake();
    ioThread_.join();
  }
  // No OnClose from here: the owner is being torn down and must not be called back.
  std::lock_guard lock(portMutex_);
  port_->Close();
}

void TvltDirectConnection::EnsureIoThread() {
  if (!ioThread_.joinable()) {
    ioThread_ = std::jthread([this](std::stop_token stop) { IoThreadMain(stop); });
  }
}

void TvltDirectConnection::SetPriority(TThreadPriority priority) {
  TvltCustomConnection::SetPriority(priority);
  priorityLevel_ = static_cast<int>(priority);
  port_->Wake();
}

// ---- main thread -------------------------------------------------------------------

bool TvltDirectConnection::OpenPort(const std::string& portName) {
  if (state_ == 1) {
    WndProc(cmOpenResult, opAlreadyOpen);
    return false;
  }
  TOpenOutcome outcome;
  {
    std::lock_guard lock(portMutex_);
    outcome = port_->Open(portName);
  }
  lastOpenError_ = outcome.Reason;
  if (outcome.Code != opOpened) {
    WndProc(cmOpenResult, outcome.Code);
    return false;
  }
  ++generation_;
  EnsureIoThread();
  WndProc(cmState, 1);
  return true;
}

void TvltDirectConnection::Open(const std::string& portName) {
  if (OpenPort(portName)) WndProc(cmOpenResult, opOpened);
}

void TvltDirectConnection::Close() {
  if (busy_) {
    closePending_ = true;
    // A stream goes on delivering its blocks; a reply would only keep the user waiting.
    if (!SoundMode()) {
      cutShort_ = true;
      port_->Wake();
    }
    return;
  }
  ClosePort();
}

void TvltDirectConnection::ClosePort() {
  busy_ = false;
  cutShort_ = false;
  if (port_->IsOpen()) {
    ++generation_;  // the I/O thread drops what it had queued for the old port
    port_->Wake();
    std::lock_guard lock(portMutex_);
    port_->Purge();
    port_->Close();
  }
  if (state_ == 0) {
    WndProc(cmCloseResult, clNotOpen);
    return;
  }
  WndProc(cmState, 0);
  WndProc(cmCloseResult, clClosed);
}

bool TvltDirectConnection::Send(const TLinkRequest& request) {
  if (busy_) return false;
  busy_ = true;  // until the result, even the one a closed port gives at once
  if (state_ != 1) {
    PostMessage(cmTransferDone);
    return true;
  }
  BuildFrame(request);
  ArmWatchdog(request.ReplyTimeout + kWatchdogMargin);
  QueueTransmit({sendBuffer_.data(), sendLength_}, CanPurge(), true, request.ReplyTimeout);
  return true;
}

void TvltDirectConnection::BuildFrame(const TLinkRequest& request) {
  currentRequest_ = request;
  UpdateSegmentCounter(segmentCounters_, request);
  sendLength_ = BuildRequest(request, sendBuffer_);
}

void TvltDirectConnection::QueueTransmit(std::span<const uint8_t> frame, bool purge,
                                         bool startReception, uint32_t replyTimeout) {
  {
    std::lock_guard lock(jobMutex_);
    if (transmitCount_ == kMaxQueuedTransmits) return;  // cannot happen: one exchange at a time
    TTransmit& job = transmits_[transmitCount_++];
    std::copy(frame.begin(), frame.end(), job.frame.begin());
    job.length = frame.size();
    job.purge = purge;
    job.startReception = startReception;
    job.replyTimeout = replyTimeout;
    job.generation = generation_;
  }
  port_->Wake();
}

void TvltDirectConnection::WriteNow(std::span<const uint8_t> frame) {
  std::lock_guard lock(portMutex_);
  (void)port_->Write(frame);
  port_->Drain();
}

void TvltDirectConnection::PurgeNow() {
  std::lock_guard lock(portMutex_);
  port_->Purge();
}

void TvltDirectConnection::ParseReply() {
  if (closePending_) {
    closePending_ = false;
    ClosePort();
  }
  busy_ = false;
  const bool open = state_ == 1 && port_->IsOpen();
  const TReception reception = open ? reception_ : TReception::NotOpen;
  const size_t length = reception == TReception::Complete ? receiveBuffer_[0] + kReplyOverhead : 0;
  const TEvaluation evaluation =
      EvaluateReply(reception, {receiveBuffer_.data(), length}, currentRequest_, segmentCounters_);
  reply_ = evaluation.Reply;
  if (evaluation.Recover) Recover();
}

void TvltDirectConnection::Recover() {
  {
    std::lock_guard lock(jobMutex_);
    recoverPending_ = true;
    recoverPurge_ = CanPurge();
    recoverGeneration_ = generation_;
  }
  port_->Wake();
}

bool TvltDirectConnection::PortPresent() {
  std::lock_guard lock(portMutex_);
  // A port already closed has been reported by whoever closed it.
  return !port_->IsOpen() || port_->CheckPresent();
}

void TvltDirectConnection::OnTimer() {
  if (portCheckCountdown_ == 0) {
    portCheckCountdown_ = kPortCheckTicks;
    if (port_->IsOpen() && !busy_) {
      std::unique_lock lock(portMutex_);
      if (port_->CheckPresent()) return;
      // The adapter was pulled. Drop the handle so that the device can come back;
      // State stays 1 until Close.
      ++generation_;
      port_->Close();
      lock.unlock();
      busy_ = false;
      WndProc(cmCloseResult, clPortVanished);
    }
  } else {
    --portCheckCountdown_;
  }
  const int64_t duration = watchdogDuration_;
  if (duration >= 0 && SteadyMs() - watchdogStart_ >= static_cast<uint64_t>(duration)) {
    DisarmWatchdog();
    watchdogFired_ = true;
    port_->Wake();
  }
}

void TvltDirectConnection::ArmWatchdog(uint32_t durationMs) {
  watchdogStart_ = SteadyMs();
  watchdogDuration_ = durationMs;
}

void TvltDirectConnection::DisarmWatchdog() {
  watchdogDuration_ = -1;
}

// ---- I/O thread --------------------------------------------------------------------

void TvltDirectConnection::IoThreadMain(std::stop_token stop) {
  while (!stop.stop_requested()) {
    if (appliedPriority_ != priorityLevel_) {
      appliedPriority_ = priorityLevel_;
      ApplyCurrentThreadPriority(appliedPriority_);
    }
    RunJobs(stop);
    if (stop.stop_requested()) break;
    if (reading_) {
      ReadStep(stop);
    } else {
      port_->Wait(false, -1);
    }
  }
}

void TvltDirectConnection::RunJobs(std::stop_token stop) {
  for (;;) {
    bool recover = false;
    bool purge = false;
    uint32_t recoverGeneration = 0;
    TTransmit job;
    bool haveJob = false;
    {
      std::lock_guard lock(jobMutex_);
      if (recoverPending_) {
        recover = true;
        purge = recoverPurge_;
        recoverGeneration = recoverGeneration_;
        recoverPending_ = false;
      } else if (transmitCount_ > 0) {
        job = transmits_[0];
        std::move(transmits_.begin() + 1, transmits_.begin() + transmitCount_, transmits_.begin());
        --transmitCount_;
        haveJob = true;
      }
    }
    if (recover) {
      Flood(recoverGeneration, purge, stop);
    } else if (haveJob) {
      if (job.generation == generation_) Transmit(job);
    } else {
      return;
    }
  }
}

void TvltDirectConnection::Flood(uint32_t generation, bool purge, std::stop_token stop) {
  // Paced at the line rate: a real UART's drain takes that long anyway, while a
  // pseudo-terminal's returns at once and the next request's purge would then discard
  // the flood before the other end has read it.
  using namespace std::chrono;
  constexpr auto kByteTime = nanoseconds(1'000'000'000 / 1920);  // 10 bits at 19200 baud
  const auto start = steady_clock::now();
  static constexpr std::array<uint8_t, kRecoveryFloodSize> kFlood = [] {
    std::array<uint8_t, kRecoveryFloodSize> flood{};
    flood.fill(0xFF);
    return flood;
  }();
  int sent = 0;
  for (; sent < kRecoveryFloodSize; ++sent) {
    std::this_thread::sleep_until(start + kByteTime * sent);
    if (stop.stop_requested() || generation != generation_) break;
    if (steady_clock::now() - start >= milliseconds(kRecoveryLimit)) break;
    std::lock_guard lock(portMutex_);
    if (sent == 0 && purge) port_->Purge();
    if (port_->Write({&kFlood[sent], 1}) < 0) break;
    port_->Drain();
  }
  if (OnTrace)
    OnTrace(TTraceDirection::Flood, {kFlood.data(), static_cast<size_t>(sent)}, SteadyUs());
}

void TvltDirectConnection::Transmit(const TTransmit& job) {
  {
    std::lock_guard lock(portMutex_);
    if (job.purge) port_->Purge();
    if (OnTrace) OnTrace(TTraceDirection::Sent, {job.frame.data(), job.length}, SteadyUs());
    WriteFrame({job.frame.data(), job.length}, job.replyTimeout);
  }
  if (job.startReception) BeginReception(job.replyTimeout);
}

void TvltDirectConnection::WriteFrame(std::span<const uint8_t> frame, uint32_t timeoutMs) {
  // A short frame fits the driver's buffer; when it does not, wait for room rather than
  // try again at once. A write that cannot finish in time, or that a Wake interrupts
  // (a close, a stop), shows as a reply time-out.
  size_t written = 0;
  const uint64_t deadline = SteadyMs() + timeoutMs;
  while (written < frame.size()) {
    const long n = port_->Write(frame.subspan(written));
    if (n < 0) return;
    written += static_cast<size_t>(n);
    if (written == frame.size()) return;
    const uint64_t now = SteadyMs();
    if (now >= deadline) return;
    if (port_->WaitWritable(static_cast<int>(deadline - now)) != TWaitResult::Writable) return;
  }
}

void TvltDirectConnection::BeginReception(uint32_t replyTimeout) {
  phase_ = TPhase::LengthByte;
  StartRead(receiveBuffer_.data(), 1, replyTimeout);
}

void TvltDirectConnection::StartRead(uint8_t* destination, size_t count, uint32_t timeoutMs) {
  reading_ = true;
  watchdogFired_ = false;
  readDestination_ = destination;
  readWanted_ = count;
  readGot_ = 0;
  readDeadline_ = SteadyMs() + timeoutMs;
}

void TvltDirectConnection::AwaitWatchdogOnly(uint32_t timeoutMs) {
  reading_ = true;
  readWanted_ = 0;
  readGot_ = 0;
  readDeadline_ = kNoDeadline;
  ArmWatchdog(timeoutMs);
}

int TvltDirectConnection::WaitTimeoutMs() const {
  uint64_t deadline = readDeadline_;
  const int64_t duration = watchdogDuration_;
  if (duration >= 0) deadline = std::min<uint64_t>(deadline, watchdogStart_ + duration);
  if (deadline == kNoDeadline) return -1;
  const uint64_t now = SteadyMs();
  return deadline <= now ? 0 : static_cast<int>(std::min<uint64_t>(deadline - now, 60000));
}

void TvltDirectConnection::ReadStep(std::stop_token stop) {
  const TWaitResult wait = port_->Wait(readWanted_ > 0, WaitTimeoutMs());
  if (stop.stop_requested()) return;
  bool failed = false;
  if (wait == TWaitResult::Readable) {
    long n;
    {
      std::lock_guard lock(portMutex_);
      n = port_->Read({readDestination_ + readGot_, readWanted_ - readGot_});
    }
    if (n < 0) failed = true;
    if (n > 0) readGot_ += static_cast<size_t>(n);
    if (!failed && readGot_ == readWanted_) {
      reading_ = false;
      HandleIoEvent(false);
      return;
    }
  }
  const int64_t duration = watchdogDuration_;
  const bool watchdogExpired =
      cutShort_ || watchdogFired_.exchange(false) ||
      (duration >= 0 && SteadyMs() - watchdogStart_ >= static_cast<uint64_t>(duration));
  // A read that ends with only part of its bytes fails like one that got none.
  if (failed || watchdogExpired || wait == TWaitResult::Failed || SteadyMs() >= readDeadline_) {
    reading_ = false;
    DisarmWatchdog();
    HandleIoEvent(true);
  }
}

void TvltDirectConnection::HandleIoEvent(bool error) {
  if (phase_ == TPhase::LengthByte && !error) {
    const int remainder = ReplyRemainder(receiveBuffer_[0]);
    if (remainder == 0) {
      // Not a reply: wait out the reply time-out, then the exchange ends as a time-out.
      AwaitWatchdogOnly(currentRequest_.ReplyTimeout);
      return;
    }
    phase_ = TPhase::Rest;
    ArmWatchdog(currentRequest_.ReplyTimeout + kWatchdogMargin);
    StartRead(receiveBuffer_.data() + 1, static_cast<size_t>(remainder),
              currentRequest_.ReplyTimeout);
    return;
  }
  // What came: the whole reply, or the part of it that arrived before the time-out.
  const size_t received = phase_ == TPhase::LengthByte ? readGot_ : 1 + readGot_;
  Deliver(error ? TReception::TimedOut : TReception::Complete, {receiveBuffer_.data(), received});
}

void TvltDirectConnection::Deliver(TReception reception, std::span<const uint8_t> received) {
  reception_ = reception;
  if (OnTrace) OnTrace(TTraceDirection::Received, received, SteadyUs());
  DisarmWatchdog();
  HandOverTransfer(ioThread_.get_stop_token());
}

}  // namespace kalvist
