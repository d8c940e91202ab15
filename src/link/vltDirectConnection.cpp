#include "vltDirectConnection.h"

#include <algorithm>
#include <chrono>
#include <limits>

#include "Clock.h"

namespace kalvist {
namespace {
constexpr uint64_t kNoDeadline = std::numeric_limits<uint64_t>::max();

TLinkRequest StopSoundRequest() {
  TLinkRequest stop;
  stop.Op = TLinkOp::Write;
  stop.ObjectID = kStopSoundId;
  return stop;
}
}  // namespace

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
  soundMode_ = false;
  FinishStreamClose();
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

void TvltDirectConnection::FinishStreamClose() {
  std::unique_lock lock(jobMutex_);
  if (!closingStream_) return;
  const auto queued = std::find_if(jobs_.begin(), jobs_.begin() + jobCount_,
                                   [](const TJob& job) { return job.Kind == TJobKind::CloseStream; });
  if (queued == jobs_.begin() + jobCount_) {
    // Under way: the I/O thread ends the rest at once, then only purges and closes.
    hurryStreamClose_ = true;
    port_->Wake();
    streamClosed_.wait(lock, [this] { return !closingStream_; });
    hurryStreamClose_ = false;
    return;
  }
  // Not begun (the I/O thread may be waiting in a hand-over, for this very thread):
  // the stop goes out from here, without the rest.
  const TJob job = *queued;
  std::move(queued + 1, jobs_.begin() + jobCount_, queued);
  --jobCount_;
  closingStream_ = false;
  lock.unlock();
  std::lock_guard portLock(portMutex_);
  WriteFrame({job.Frame.data(), job.Length}, job.ReplyTimeout);
  port_->Drain();
  port_->Purge();
  port_->Close();
}

void TvltDirectConnection::Open(const std::string& portName) {
  if (OpenPort(portName)) WndProc(cmOpenResult, opOpened);
}

void TvltDirectConnection::Close() {
  if (busy_) {
    closePending_ = true;
    // A stream goes on delivering its blocks; a reply would only keep the user waiting.
    if (!soundMode_) {
      cutShort_ = true;
      port_->Wake();
    }
    return;
  }
  ClosePort();
}

void TvltDirectConnection::ClosePort() {
  FinishStreamClose();  // a second close must not find the port half closed
  busy_ = false;
  cutShort_ = false;
  if (port_->IsOpen()) {
    ++generation_;  // the I/O thread drops what it had queued for the old port
    if (soundMode_) {
      // The controller is told to stop streaming, and the line gets a rest before the
      // port goes; the I/O thread does both, so the main thread never waits for them.
      BuildFrame(StopSoundRequest());
      QueueJob(TJobKind::CloseStream, false, TAfterWrite::Nothing, kSoundReadTimeout);
    } else {
      port_->Wake();
      std::lock_guard lock(portMutex_);
      port_->Purge();
      port_->Close();
    }
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
  QueueJob(TJobKind::Transmit, true, TAfterWrite::Reply, request.ReplyTimeout);
  return true;
}

void TvltDirectConnection::StartStream(const TLinkRequest& request) {
  BuildFrame(request);
  busy_ = true;
  soundMode_ = true;
  QueueJob(TJobKind::Transmit, true, TAfterWrite::Stream, kSoundReadTimeout);
}

bool TvltDirectConnection::SendWithoutReply(const TLinkRequest& request) {
  if (!soundMode_ || state_ != 1) return false;
  BuildFrame(request);
  // No reply follows; the time-out only bounds the write itself.
  QueueJob(TJobKind::Transmit, false, TAfterWrite::Nothing, kSoundReadTimeout);
  return true;
}

void TvltDirectConnection::LeaveSoundMode() {
  soundMode_ = false;
  busy_ = false;
}

void TvltDirectConnection::BuildFrame(const TLinkRequest& request) {
  currentRequest_ = request;
  UpdateSegmentCounter(segmentCounters_, request);
  sendLength_ = BuildRequest(request, sendBuffer_);
}

// Queues the frame in the send buffer (a flood needs none) for the I/O thread.
void TvltDirectConnection::QueueJob(TJobKind kind, bool purge, TAfterWrite after,
                                    uint32_t replyTimeout) {
  {
    std::lock_guard lock(jobMutex_);
    if (jobCount_ == kMaxQueuedJobs) return;  // cannot happen: one exchange at a time
    TJob& job = jobs_[jobCount_++];
    job.Kind = kind;
    if (kind != TJobKind::Flood) {
      std::copy_n(sendBuffer_.begin(), sendLength_, job.Frame.begin());
      job.Length = sendLength_;
    }
    job.Purge = purge;
    job.After = after;
    job.ReplyTimeout = replyTimeout;
    job.Generation = generation_;
    if (kind == TJobKind::CloseStream) closingStream_ = true;
  }
  port_->Wake();
}

void TvltDirectConnection::PurgeNow() {
  std::lock_guard lock(portMutex_);
  port_->Purge();
}

void TvltDirectConnection::ParseReply() {
  // A stream's reader has filled the reply record itself.
  if (soundMode_ && !closePending_) return;
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
  if (!soundMode_) QueueJob(TJobKind::Flood, true, TAfterWrite::Nothing, 0);
}

bool TvltDirectConnection::PortPresent() {
  std::lock_guard lock(portMutex_);
  // A port already closed has been reported by whoever closed it.
  return !port_->IsOpen() || port_->CheckPresent();
}

void TvltDirectConnection::OnTimer() {
  if (portCheckCountdown_ != 0) {
    --portCheckCountdown_;
    return;
  }
  portCheckCountdown_ = kPortCheckTicks;
  if (state_ != 1 || busy_ || !port_->IsOpen()) return;
  std::unique_lock lock(portMutex_);
  if (port_->CheckPresent()) return;
  // The adapter was pulled. Drop the handle so that the device can come back; State
  // stays 1 until Close.
  ++generation_;
  port_->Close();
  lock.unlock();
  busy_ = false;
  WndProc(cmCloseResult, clPortVanished);
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
    if (phase_ == TExchangePhase::Idle) {
      port_->Wait(false, -1);
    } else {
      ReadStep(stop);
    }
  }
}

void TvltDirectConnection::RunJobs(std::stop_token stop) {
  for (;;) {
    TJob job;
    {
      std::lock_guard lock(jobMutex_);
      if (jobCount_ == 0) return;
      job = jobs_[0];
      std::move(jobs_.begin() + 1, jobs_.begin() + jobCount_, jobs_.begin());
      --jobCount_;
    }
    switch (job.Kind) {
      case TJobKind::Transmit:
        if (job.Generation == generation_) Transmit(job);
        break;
      case TJobKind::Flood:
        Flood(job, stop);
        break;
      case TJobKind::CloseStream:
        CloseStream(job, stop);
        break;
    }
  }
}

void TvltDirectConnection::Flood(const TJob& job, std::stop_token stop) {
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
    if (stop.stop_requested() || job.Generation != generation_) break;
    if (steady_clock::now() - start >= milliseconds(kRecoveryLimit)) break;
    std::lock_guard lock(portMutex_);
    if (sent == 0 && job.Purge) port_->Purge();
    if (port_->Write({&kFlood[sent], 1}) < 0) break;
    port_->Drain();
  }
  if (OnTrace)
    OnTrace(TTraceDirection::Flood, {kFlood.data(), static_cast<size_t>(sent)}, SteadyUs());
}

void TvltDirectConnection::Transmit(const TJob& job) {
  // The watchdog bounds the whole exchange, the write included; each read phase has its
  // own time-out besides, and the earlier of the two ends the phase.
  const uint64_t watchdog = SteadyMs() + job.ReplyTimeout + kWatchdogMargin;
  {
    std::lock_guard lock(portMutex_);
    if (job.Purge) port_->Purge();
    if (OnTrace) OnTrace(TTraceDirection::Sent, {job.Frame.data(), job.Length}, SteadyUs());
    WriteFrame({job.Frame.data(), job.Length}, job.ReplyTimeout);
  }
  const uint64_t deadline = std::min(SteadyMs() + job.ReplyTimeout, watchdog);
  replyTimeout_ = job.ReplyTimeout;
  switch (job.After) {
    case TAfterWrite::Nothing:
      return;
    case TAfterWrite::Reply:
      return StartRead(TExchangePhase::LengthByte, receiveBuffer_.data(), 1, deadline);
    case TAfterWrite::Stream:
      streamGeneration_ = job.Generation;
      reader_.Start();
      return RunReaderAction(TSoundReader::TAction::Read);
  }
}

void TvltDirectConnection::CloseStream(const TJob& job, std::stop_token stop) {
  std::unique_lock lock(portMutex_);
  if (OnTrace) OnTrace(TTraceDirection::Sent, {job.Frame.data(), job.Length}, SteadyUs());
  WriteFrame({job.Frame.data(), job.Length}, job.ReplyTimeout);
  port_->Drain();
  lock.unlock();
  // The rest lets the controller stop before the purge; a stop request or a new Open
  // ends it early. A Wake meant for something else only resumes the wait.
  const uint64_t end = SteadyMs() + kStreamStopRest;
  for (uint64_t now = SteadyMs(); now < end && !stop.stop_requested() && !hurryStreamClose_;
       now = SteadyMs()) {
    port_->Wait(false, static_cast<int>(end - now));
  }
  lock.lock();
  port_->Purge();
  port_->Close();
  lock.unlock();
  {
    std::lock_guard jobs(jobMutex_);
    closingStream_ = false;
  }
  streamClosed_.notify_all();
}

void TvltDirectConnection::WriteFrame(std::span<const uint8_t> frame, uint32_t timeoutMs) {
  // A write that cannot finish in time, or that a Wake interrupts (a close, a stop),
  // shows as a reply time-out: the outcome needs no handling here.
  (void)WriteAll(*port_, frame, timeoutMs);
}

void TvltDirectConnection::StartRead(TExchangePhase phase, uint8_t* destination, size_t count,
                                     uint64_t deadline) {
  phase_ = phase;
  readDestination_ = destination;
  readWanted_ = count;
  readGot_ = 0;
  deadline_ = deadline;
}

int TvltDirectConnection::WaitTimeoutMs() const {
  if (deadline_ == kNoDeadline) return -1;
  const uint64_t now = SteadyMs();
  return deadline_ <= now ? 0 : static_cast<int>(std::min<uint64_t>(deadline_ - now, 60000));
}

void TvltDirectConnection::ReadStep(std::stop_token stop) {
  // A close may have come before the read began, its wake-up spent on the job's wait.
  if (cutShort_) return OnReadEnded(false);
  const TWaitResult wait = port_->Wait(readWanted_ > 0, WaitTimeoutMs());
  if (stop.stop_requested()) return;
  bool failed = wait == TWaitResult::Failed;
  if (wait == TWaitResult::Readable) {
    long n;
    {
      std::lock_guard lock(portMutex_);
      n = port_->Read({readDestination_ + readGot_, readWanted_ - readGot_});
    }
    if (n < 0) failed = true;
    if (n > 0) readGot_ += static_cast<size_t>(n);
    if (!failed && readGot_ == readWanted_) return OnReadEnded(true);
  }
  // A read that ends with only part of its bytes fails like one that got none.
  if (failed || cutShort_ || SteadyMs() >= deadline_) OnReadEnded(false);
}

void TvltDirectConnection::OnReadEnded(bool complete) {
  switch (phase_) {
    case TExchangePhase::Idle:
      return;
    case TExchangePhase::LengthByte:
      if (!complete) return Deliver(TReception::TimedOut, {receiveBuffer_.data(), readGot_});
      if (const int remainder = ReplyRemainder(receiveBuffer_[0]); remainder > 0) {
        return StartRead(TExchangePhase::Rest, receiveBuffer_.data() + 1,
                         static_cast<size_t>(remainder), SteadyMs() + replyTimeout_);
      }
      // Not a reply: wait out the reply time-out, then the exchange ends as a time-out.
      return StartRead(TExchangePhase::NotAReply, nullptr, 0, SteadyMs() + replyTimeout_);
    case TExchangePhase::NotAReply:
      return Deliver(TReception::TimedOut, {});
    case TExchangePhase::Rest:
      // What came: the whole reply, or the part of it that arrived before the time-out.
      return Deliver(complete ? TReception::Complete : TReception::TimedOut,
                     {receiveBuffer_.data(), 1 + readGot_});
    case TExchangePhase::Streaming:
      return RunReaderAction(reader_.Step(!complete, SteadyMs()));
  }
}

void TvltDirectConnection::RunReaderAction(TSoundReader::TAction action) {
  using A = TSoundReader::TAction;
  for (;;) {
    switch (action) {
      case A::Read:
        // A close during a delivery, or the operator leaving the stream, ends reading.
        if (streamGeneration_ != generation_ || !soundMode_) {
          phase_ = TExchangePhase::Idle;
          return;
        }
        return StartRead(TExchangePhase::Streaming, reader_.Target(), reader_.Wanted(),
                         SteadyMs() + kSoundReadTimeout);
      case A::DeliverBlock:
      case A::DeliverBad:
        reply_ = action == A::DeliverBlock
                     ? TLinkReply{TLinkResult::Ok, static_cast<uint16_t>(reader_.BlockLength()),
                                  reader_.Block()}
                     : TLinkReply{TLinkResult::BadReply, 0, nullptr};
        resyncRequested_ = false;
        Deliver(TReception::Complete, {reply_.Data, reply_.Length});
        action = reader_.AfterDelivery(resyncRequested_, SteadyMs());
        break;
      case A::DeliverTimeout:
        reply_ = TLinkReply{TLinkResult::Timeout, 0, nullptr};
        return Deliver(TReception::TimedOut, {});
      case A::Stop:
        phase_ = TExchangePhase::Idle;
        return;
    }
  }
}

void TvltDirectConnection::Deliver(TReception reception, std::span<const uint8_t> received) {
  phase_ = TExchangePhase::Idle;
  reception_ = reception;
  if (OnTrace) OnTrace(TTraceDirection::Received, received, SteadyUs());
  HandOverTransfer(ioThread_.get_stop_token());
}

}  // namespace kalvist
