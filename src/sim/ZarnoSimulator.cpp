#include "ZarnoSimulator.h"

#include <array>
#include <chrono>

#include "SimSeed.h"

namespace kalvist::sim {
namespace {

// 19200 baud, 10 bits per byte.
constexpr auto kByteTime = std::chrono::nanoseconds(520833);
// How long a reply may wait for room in the client's input before it is dropped.
constexpr int kWriteTimeoutMs = 1000;
// Live values catch up at most this many steps after a quiet spell.
constexpr uint64_t kMaxCatchUpSteps = 100;
constexpr int kEngineChannels = 20;
constexpr int kTwoSensorChannels = 2;

TSimOptions Validated(TSimOptions options) {
  ValidateOptions(options);
  return options;
}

}  // namespace

TZarnoSimulator::TZarnoSimulator(TSimOptions options)
    : options_(Validated(std::move(options))),
      store_(SeededStore(options_)),
      controller_(options_, store_),
      engine_(options_.Seed, ModeOf(options_) == 1 ? kTwoSensorChannels : kEngineChannels),
      faults_(options_.Seed),
      stream_(options_),
      engineStart_(TSimClock::now()),
      line_(CreateDeviceLine(options_.Line, options_.Pace)) {
  engine_.Step(store_);
}

TZarnoSimulator::~TZarnoSimulator() {
  HangUp();
}

std::string TZarnoSimulator::Start() {
  HangUp();
  line_->Open(options_.Line == TDeviceLineKind::SerialPort ? options_.PortPath
                                                           : options_.LinkPath);
  {
    std::lock_guard lock(mutex_);
    slavePath_ = line_->ClientPath();
    controller_.ResetSession();
    parser_.Reset();
    stream_.Reset();
  }
  running_ = true;
  thread_ = std::jthread([this](std::stop_token stop) { Run(stop); });
  return line_->ClientPath();
}

// The thread is woken by hand rather than by a stop callback: GCC 12's library can lose
// the wake-up that ends a callback's destruction where it has no futex (Windows).
void TZarnoSimulator::HangUp() {
  if (thread_.joinable()) {
    thread_.request_stop();
    line_->Wake();
    {
      std::lock_guard lock(sleepMutex_);
    }
    sleepWake_.notify_all();
    thread_.join();
  }
  line_->Close();
  running_ = false;
}

std::string TZarnoSimulator::SlavePath() const {
  std::lock_guard lock(mutex_);
  return slavePath_;
}

void TZarnoSimulator::Run(std::stop_token stop) {
  std::array<uint8_t, 512> buffer{};
  while (!stop.stop_requested()) {
    if (!clientPresent_) {
      if (line_->WaitForPeer(-1) == TLineEvent::PeerOpened) SessionStarts(true);
      continue;
    }
    const TLineEvent event = line_->Wait(StreamWaitMs());
    const long n = event == TLineEvent::Readable ? line_->Read(buffer) : 0;
    if (n > 0 && !Serve(std::span(buffer.data(), static_cast<size_t>(n)), stop)) break;
    if (event == TLineEvent::PeerClosed || n < 0) {
      SessionStarts(false);
      continue;
    }
    SendStream();
  }
  line_->Close();
  clientPresent_ = false;
  running_ = false;
}

// Opening and closing the port both end the session: the access number is due again.
void TZarnoSimulator::SessionStarts(bool clientPresent) {
  std::lock_guard lock(mutex_);
  controller_.ResetSession();
  parser_.Reset();
  stream_.Reset();
  clientPresent_ = clientPresent;
}

bool TZarnoSimulator::Serve(std::span<const uint8_t> bytes, std::stop_token stop) {
  std::vector<TSimRequest> requests;
  {
    std::lock_guard lock(mutex_);
    parser_.Feed(bytes, requests);
  }
  // Paced, a request takes its line time to arrive, which a pseudo-terminal skips:
  // the reply waits for it, so that an exchange lasts what it lasts on the line. A line
  // that paces itself has already taken that time.
  auto lineFree = TSimClock::now();
  for (const TSimRequest& request : requests) {
    if (options_.Pace && !line_->Paced()) {
      lineFree += kByteTime * static_cast<int64_t>(kRequestOverhead + request.Data.size());
      std::this_thread::sleep_until(lineFree);
    }
    if (!Deliver(Answer(request), stop)) return false;
    lineFree = TSimClock::now();
  }
  return true;
}

TWireReply TZarnoSimulator::Answer(const TSimRequest& request) {
  std::lock_guard lock(mutex_);
  Count(request);
  // Address 0 is this controller; a frame for another one on the bus gets no answer.
  if (request.Address != 0) return {};
  const auto now = TSimClock::now();
  CatchUpEngine(now);
  const bool streamControl =
      request.Code == static_cast<uint8_t>(TRequestCode::Write) &&
      (request.ObjectID == kStartSoundId || request.ObjectID == kStopSoundId);
  if (streamControl) {
    AnswerStreamControl(request, now);
    return {};
  }
  const auto fault = faults_.Take(request.ObjectID, controller_.AnswersWithSegment(request));
  const bool refused = fault && fault->Kind == TFaultKind::ErrorReply;
  std::vector<uint8_t> reply = refused ? TSimController::Refuse(request, fault->ErrorBytes)
                                       : controller_.Handle(request, now);
  TWireReply wire = fault ? ApplyFault(*fault, std::move(reply)) : TWireReply{std::move(reply)};
  if (fault) ++counters_.FaultsInjected;
  if (!wire.Bytes.empty()) ++counters_.Replies;
  return wire;
}

// The stream itself answers these writes: the client awaits no reply frame, and one
// would land among the stream's blocks.
void TZarnoSimulator::AnswerStreamControl(const TSimRequest& request, TSimClock::time_point now) {
  const std::vector<uint8_t> reply = controller_.Handle(request, now);
  if ((reply[1] & 0x07) != static_cast<uint8_t>(TReplyCode::WriteAck)) return;
  if (request.ObjectID == kStopSoundId) {
    stream_.Stop();
  } else {
    stream_.StartOrKeepAlive(static_cast<uint8_t>(store_.Number(kSoundSensorId)), now);
  }
}

int TZarnoSimulator::StreamWaitMs() const {
  std::lock_guard lock(mutex_);
  return stream_.WaitMs(TSimClock::now());
}

void TZarnoSimulator::SendStream() {
  {
    std::lock_guard lock(mutex_);
    if (!stream_.Next(TSimClock::now(), streamOut_)) return;
  }
  // Blocks go out at USB speed, never paced at the line rate. A USB device waits for a
  // slow reader; this one as long as the stream would live without keep-alives.
  if (!line_->Write(streamOut_, TSimSoundStream::kKeepAliveLapseMs)) {
    std::lock_guard lock(mutex_);
    stream_.Reset();  // the client stopped reading: the stream breaks off
  }
}

void TZarnoSimulator::Count(const TSimRequest& request) {
  ++counters_.Requests;
  const auto code = static_cast<TRequestCode>(request.Code);
  const bool lastSegment =
      code == TRequestCode::WriteSegment && !request.Data.empty() && (request.Data[0] & 0x80) != 0;
  if (code == TRequestCode::ReadFirst) ++counters_.Reads[request.ObjectID];
  if (code == TRequestCode::Write || lastSegment) ++counters_.Writes[request.ObjectID];
}

void TZarnoSimulator::CatchUpEngine(TSimClock::time_point now) {
  if (options_.LiveTickMs == 0) return;
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - engineStart_);
  const uint64_t due = static_cast<uint64_t>(elapsed.count()) / options_.LiveTickMs;
  const uint64_t steps = std::min(due - std::min(due, engineSteps_), kMaxCatchUpSteps);
  for (uint64_t i = 0; i < steps; ++i) engine_.Step(store_);
  engineSteps_ = std::max(engineSteps_, due);
}

bool TZarnoSimulator::Deliver(const TWireReply& wire, std::stop_token stop) {
  if (wire.DelayMs > 0 && !SleepFor(wire.DelayMs, stop)) return false;
  if (wire.HangUp) return false;
  Send(wire.Bytes);
  return true;
}

// A send fails when the client has gone (the next wait sees that) or does not read;
// either way the rest of the reply is dropped, as on a line.
void TZarnoSimulator::Send(std::span<const uint8_t> bytes) {
  if (!options_.Pace || line_->Paced()) {
    line_->Write(bytes, kWriteTimeoutMs);
    return;
  }
  const auto start = std::chrono::steady_clock::now();
  for (size_t i = 0; i < bytes.size(); ++i) {
    // Byte i has left the line once i + 1 byte times have passed.
    std::this_thread::sleep_until(start + kByteTime * static_cast<int64_t>(i + 1));
    if (!line_->Write(bytes.subspan(i, 1), kWriteTimeoutMs)) return;
  }
}

bool TZarnoSimulator::SleepFor(uint32_t ms, std::stop_token stop) {
  std::unique_lock lock(sleepMutex_);
  return !sleepWake_.wait_for(lock, std::chrono::milliseconds(ms),
                              [&] { return stop.stop_requested(); });
}

bool TZarnoSimulator::SetObject(uint16_t id, std::span<const uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  return store_.Store(id, bytes);
}

std::optional<std::vector<uint8_t>> TZarnoSimulator::GetObject(uint16_t id) const {
  std::lock_guard lock(mutex_);
  return store_.Get(id);
}

void TZarnoSimulator::AddObject(uint16_t id, int size, bool passwordProtected) {
  std::lock_guard lock(mutex_);
  store_.Add(id, size, passwordProtected);
}

void TZarnoSimulator::InjectFault(const TFault& fault, int count) {
  std::lock_guard lock(mutex_);
  faults_.Script(fault, count);
}

void TZarnoSimulator::SetFaultProbability(const TFault& fault, double probability) {
  std::lock_guard lock(mutex_);
  faults_.SetProbability(fault, probability);
}

void TZarnoSimulator::InjectStreamFault(const TStreamFault& fault) {
  std::lock_guard lock(mutex_);
  stream_.Inject(fault);
}

void TZarnoSimulator::ClearFaults() {
  std::lock_guard lock(mutex_);
  faults_.Clear();
  stream_.ClearFaults();
}

bool TZarnoSimulator::Streaming() const {
  std::lock_guard lock(mutex_);
  return stream_.Running();
}

void TZarnoSimulator::StepEngine(int steps) {
  std::lock_guard lock(mutex_);
  for (int i = 0; i < steps; ++i) engine_.Step(store_);
}

TSimCounters TZarnoSimulator::Counters() const {
  std::lock_guard lock(mutex_);
  TSimCounters counters = counters_;
  counters.FloodsReceived = parser_.Floods();
  counters.BadChecks = parser_.BadChecks();
  counters.SoundBlocks = stream_.DataBlocks();
  counters.StopAcks = stream_.StopAcks();
  return counters;
}

}  // namespace kalvist::sim
