#include "vltZarnoConnection.h"

#include <chrono>
#include <thread>

#include "Clock.h"

namespace kalvist {

TvltZarnoConnection::TvltZarnoConnection(IMainThread& mainThread, std::unique_ptr<ISerialPort> port)
    : TvltDirectConnection(mainThread, std::move(port)) {}

TvltZarnoConnection::~TvltZarnoConnection() {
  StopIoThread();
  if (settleTimer_ != 0) MainThread().StopTimer(settleTimer_);
}

void TvltZarnoConnection::Open(const std::string& portName) {
  soundMode_ = false;
  if (!OpenPort(portName)) return;
  PurgeNow();
  const uint32_t generation = PortGeneration();
  if (settleTimer_ != 0) MainThread().StopTimer(settleTimer_);
  settleTimer_ = MainThread().StartTimer(kSettleMs, [this, generation] {
    MainThread().StopTimer(settleTimer_);
    settleTimer_ = 0;
    if (generation != PortGeneration()) return;  // closed while settling
    PurgeNow();
    WndProc(cmOpenResult, opOpened);
  });
}

bool TvltZarnoConnection::Send(const TLinkRequest& request) {
  if (busy_) return false;
  if (soundMode_) {
    BuildFrame(request);
    busy_ = true;
    // No reply follows; the time-out only bounds the write itself.
    QueueTransmit({sendBuffer_.data(), sendLength_}, false, false, kSoundReadTimeout);
    return true;
  }
  if (request.ObjectID != kStartSoundId || state_ != 1) return TvltDirectConnection::Send(request);
  BuildFrame(request);
  busy_ = true;
  soundMode_ = true;
  QueueTransmit({sendBuffer_.data(), sendLength_}, true, true, kSoundReadTimeout);
  return true;
}

void TvltZarnoConnection::LeaveSoundMode() {
  soundMode_ = false;
  busy_ = false;
}

void TvltZarnoConnection::ParseReply() {
  // The stream reader has filled the reply record itself.
  if (soundMode_ && !closePending_) return;
  TvltDirectConnection::ParseReply();
}

void TvltZarnoConnection::Recover() {
  if (!soundMode_) TvltDirectConnection::Recover();
}

void TvltZarnoConnection::ClosePort() {
  if (soundMode_) {
    // Tell the controller to stop streaming; nothing answers that we would wait for.
    TLinkRequest stop;
    stop.Op = TLinkOp::Write;
    stop.ObjectID = kStopSoundId;
    BuildFrame(stop);
    WriteNow({sendBuffer_.data(), sendLength_});
    std::this_thread::sleep_for(std::chrono::milliseconds(kSettleMs));
    PurgeNow();
  }
  TvltDirectConnection::ClosePort();
}

void TvltZarnoConnection::BeginReception(uint32_t replyTimeout) {
  if (!soundMode_) {
    TvltDirectConnection::BeginReception(replyTimeout);
    return;
  }
  streamGeneration_ = PortGeneration();
  reader_.Start();
  RunReaderAction(TSoundReader::TAction::Read);
}

void TvltZarnoConnection::HandleIoEvent(bool error) {
  if (!soundMode_) {
    TvltDirectConnection::HandleIoEvent(error);
    return;
  }
  RunReaderAction(reader_.Step(error, SteadyMs()));
}

void TvltZarnoConnection::RunReaderAction(TSoundReader::TAction action) {
  using A = TSoundReader::TAction;
  for (;;) {
    switch (action) {
      case A::Read:
        if (streamGeneration_ != PortGeneration()) return;  // closed during a delivery
        ArmWatchdog(kSoundReadTimeout + kWatchdogMargin);
        StartRead(reader_.Target(), reader_.Wanted(), kSoundReadTimeout);
        return;
      case A::DeliverBlock:
      case A::DeliverBad:
        reply_ = action == A::DeliverBlock
                     ? TLinkReply{TLinkResult::Ok, static_cast<uint16_t>(reader_.BlockLength()),
                                  reader_.Block()}
                     : TLinkReply{TLinkResult::BadReply, 0, nullptr};
        Deliver(TReception::Complete, {reply_.Data, reply_.Length});
        action = reader_.AfterDelivery(reply_.Code != TLinkResult::Ok, SteadyMs());
        break;
      case A::DeliverTimeout:
        reply_ = TLinkReply{TLinkResult::Timeout, 0, nullptr};
        Deliver(TReception::TimedOut, {});
        return;
      case A::Stop:
        return;
    }
  }
}

}  // namespace kalvist
