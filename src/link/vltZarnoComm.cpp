#include "vltZarnoComm.h"

namespace kalvist {

TvltZarnoComm::TvltZarnoComm(IMainThread& mainThread)
    : TvltZarnoComm(mainThread,
                    std::make_unique<TvltZarnoConnection>(mainThread, CreateSerialPort())) {}

TvltZarnoComm::TvltZarnoComm(IMainThread& mainThread,
                             std::unique_ptr<TvltCustomConnection> connection)
    : TvltControllerOper(mainThread), connection_(std::move(connection)) {
  SetConnection(connection_.get());
}

TvltZarnoComm::~TvltZarnoComm() {
  connection_->OnTransferDone = nullptr;
  connection_->OnOpen = nullptr;
  connection_->OnClose = nullptr;
}

void TvltZarnoComm::OpenConnection() {
  accessNeeded_ = true;
  answered_ = false;
  pending_ = {};
  connection_->OnOpen = OnOpenConnection;
  // A vanished port reports its close code without a CloseConnection call.
  connection_->OnClose = OnCloseConnection;
  connection_->Open(PortPath);
}

void TvltZarnoComm::CloseConnection() {
  connection_->OnClose = OnCloseConnection;
  connection_->Close();
}

bool TvltZarnoComm::AccessValid() const {
  return !accessNeeded_ && MainThread().NowMs() - lastGoodReply_ <= kAccessLifetimeMs;
}

// The size is checked here too: a prelude must not go out ahead of a refused call.
bool TvltZarnoComm::ReadWithAccess(uint16_t objectId, uint8_t* buffer, int32_t& size) {
  RequireSize(size);
  if (AccessValid()) return ReadCommObj(objectId, buffer, size);
  return RunPrelude({TPendingKind::Read, objectId, buffer, nullptr, size, 0});
}

bool TvltZarnoComm::WriteWithAccess(uint16_t objectId, const uint8_t* buffer, int32_t size) {
  RequireSize(size);
  if (AccessValid()) return WriteCommObj(objectId, buffer, size);
  return RunPrelude({TPendingKind::Write, objectId, nullptr, buffer, size, 0});
}

bool TvltZarnoComm::WritePrefixedWithAccess(uint16_t objectId, const uint8_t* buffer,
                                            uint16_t prefix, int32_t size) {
  RequireSize(size);
  if (AccessValid()) return WriteCommObjPrefixed(objectId, buffer, prefix, size);
  return RunPrelude({TPendingKind::WritePrefixed, objectId, nullptr, buffer, size, prefix});
}

// The access-number write is the first step of the operation: its result goes to
// HandlePreludeResult, never to the operator's events.
bool TvltZarnoComm::RunPrelude(const TPending& pending) {
  pending_ = pending;
  accessNeeded_ = true;
  accessValue_[0] = AccessNum;
  accessValue_[1] = 0;
  preludeRunning_ = WriteCommObj(kAccessNumberId, accessValue_, 2);
  return preludeRunning_;
}

void TvltZarnoComm::DoWriteResult(int result) {
  if (!preludeRunning_) return TvltControllerOper::DoWriteResult(result);
  preludeRunning_ = false;
  HandlePreludeResult(result);
}

void TvltZarnoComm::HandlePreludeResult(int result) {
  if (result == orSuccess) accessNeeded_ = false;
  // The operation goes ahead whatever the access write gave; a failed access shows
  // in its own result, and the next operation tries the prelude again.
  if (!StartPending()) FailPending(orUnknownRefusal);
}

void TvltZarnoComm::FailPending(int result) {
  const TPendingKind kind = pending_.Kind;
  pending_.Kind = TPendingKind::None;
  switch (kind) {
    case TPendingKind::Read:
      return DoReadResult(result);
    case TPendingKind::Write:
    case TPendingKind::WritePrefixed:
      return DoWriteResult(result);
    case TPendingKind::SoundSource:
      soundPhase_ = TSoundPhase::Off;
      if (OnStartSound) OnStartSound(*this, result);
      return;
    case TPendingKind::None:
      return;
  }
}

bool TvltZarnoComm::StartPending() {
  switch (pending_.Kind) {
    case TPendingKind::Read:
      return ReadCommObj(pending_.ObjectID, pending_.Buffer, pending_.Size);
    case TPendingKind::Write:
      return WriteCommObj(pending_.ObjectID, pending_.Source, pending_.Size);
    case TPendingKind::SoundSource:
      if (!WriteCommObj(pending_.ObjectID, pending_.Source, pending_.Size)) return false;
      soundPhase_ = TSoundPhase::Starting;
      return true;
    case TPendingKind::WritePrefixed:
      return WriteCommObjPrefixed(pending_.ObjectID, pending_.Source, pending_.Prefix,
                                  pending_.Size);
    case TPendingKind::None:
      return false;
  }
  return false;
}

void TvltZarnoComm::HandleTransfer(TLinkReply* reply) {
  if (reply && (reply->Code == TLinkResult::Ok || reply->Code == TLinkResult::MoreData)) {
    lastGoodReply_ = MainThread().NowMs();
  }
  if (reply && reply->Code != TLinkResult::Timeout && reply->Code != TLinkResult::NotOpen &&
      reply->Code != TLinkResult::BadReply) {
    answered_ = true;
  }
  if (soundPhase_ != TSoundPhase::Off) {
    HandleSoundTransfer(reply);
    return;
  }
  TvltControllerOper::HandleTransfer(reply);
}

// ---- sound ---------------------------------------------------------------------------

bool TvltZarnoComm::StartSound(uint8_t sensor) {
  if (SoundMode() || soundPhase_ != TSoundPhase::Off) return false;
  soundSensor_ = static_cast<uint8_t>(sensor - 1);
  if (!AccessValid()) {
    // The sensor write follows the access number; Starting begins once it is out.
    return RunPrelude({TPendingKind::SoundSource, kSoundSensorId, nullptr, &soundSensor_, 1, 0});
  }
  if (!WriteCommObj(kSoundSensorId, &soundSensor_, 1)) return false;
  soundPhase_ = TSoundPhase::Starting;
  return true;
}

bool TvltZarnoComm::StopSound() {
  if (!SoundMode()) return false;
  stopRequested_ = true;
  return true;
}

void TvltZarnoComm::HandleSoundTransfer(TLinkReply* reply) {
  if (reply) return HandleSoundReply(*reply);
  switch (soundPhase_) {
    case TSoundPhase::StartDue:
      return StartStreaming();
    case TSoundPhase::Streaming:
      return AfterSoundBlock();
    case TSoundPhase::Off:
      // Streaming ended with this block: queued transfers resume.
      return TvltControllerOper::HandleTransfer(nullptr);
    case TSoundPhase::Starting:  // the call after the access write: the sensor write is out
    case TSoundPhase::Stopping:
    case TSoundPhase::Failed:
      return;
  }
}

void TvltZarnoComm::HandleSoundStartReply(const TLinkReply& reply) {
  state_ = TOperState::Idle;  // the sound source write gets no repeats
  if (reply.Code == TLinkResult::Ok) {
    soundPhase_ = TSoundPhase::StartDue;
    return;
  }
  soundPhase_ = TSoundPhase::Off;
  if (OnStartSound) OnStartSound(*this, ResultOfLink(reply));
}

void TvltZarnoComm::StartStreaming() {
  packetCounter_ = 0;
  stopRequested_ = false;
  if (!WriteCommObj(kStartSoundId, nullptr, 0)) {
    // Cannot happen (the link has just handed over and is idle), yet a start must end.
    soundPhase_ = TSoundPhase::Off;
    if (OnStartSound) OnStartSound(*this, orUnknownRefusal);
    return;
  }
  state_ = TOperState::Idle;
  lastKeepAlive_ = MainThread().NowMs();
  soundPhase_ = TSoundPhase::Streaming;
  if (OnStartSound) OnStartSound(*this, orSuccess);
}

void TvltZarnoComm::HandleSoundReply(const TLinkReply& reply) {
  if (soundPhase_ == TSoundPhase::Starting) return HandleSoundStartReply(reply);
  // From here on the replies are stream blocks: their type is in byte 2.
  const bool ok = reply.Code == TLinkResult::Ok;
  const auto type = ok ? static_cast<TSoundBlockType>(reply.Data[2]) : TSoundBlockType::Data;
  switch (soundPhase_) {
    case TSoundPhase::Off:
    case TSoundPhase::Starting:
    case TSoundPhase::StartDue:
      return;
    case TSoundPhase::Streaming:
      if (ok && type == TSoundBlockType::Data) {
        if (reply.Data[3] != packetCounter_) return FailSound(orSoundPacketLost, true);
        ++packetCounter_;
        return FireSamples(reply);
      }
      if (ok && type == TSoundBlockType::Error) {
        EndSound();
        return FireSoundData(MapClass8Error(reply.Data[3]), nullptr, 0);
      }
      if (ok) return FailSound(orInvalidAnswer, true);
      if (reply.Code == TLinkResult::NotOpen || reply.Code == TLinkResult::Timeout) {
        EndSound();
        return FireSoundData(reply.Code == TLinkResult::NotOpen ? orNotConnected : orNoAnswer,
                             nullptr, 0);
      }
      return FailSound(reply.Code == TLinkResult::BadReply ? orInvalidAnswer : orUnknownRefusal,
                       false);
    case TSoundPhase::Stopping:
      if (ok && type == TSoundBlockType::Data) return;  // still in flight
      if (ok && type == TSoundBlockType::StopAck) {
        EndSound();
        return FireStopSound(orSuccess);
      }
      if (ok && type == TSoundBlockType::Error) {
        EndSound();
        return FireStopSound(MapClass8Error(reply.Data[3]));
      }
      if (reply.Code == TLinkResult::Timeout) {
        EndSound();
        return FireStopSound(orNoAnswer);
      }
      return FailSound(reply.Code == TLinkResult::BadReply ? orInvalidAnswer : orUnknownRefusal,
                       false);
    case TSoundPhase::Failed:
      EndSound();
      if (phaseBeforeFailure_ == TSoundPhase::Streaming)
        return FireSoundData(failureCode_, nullptr, 0);
      return FireStopSound(failureCode_);
  }
}

void TvltZarnoComm::AfterSoundBlock() {
  if (stopRequested_) {
    stopRequested_ = false;
    soundPhase_ = TSoundPhase::Stopping;
    ForceSend(kStopSoundId);
  } else if (MainThread().NowMs() - lastKeepAlive_ >= kKeepAliveMs) {
    lastKeepAlive_ = MainThread().NowMs();
    ForceSend(kStartSoundId);
  }
}

// A block that is well formed but wrong (`resync`) leaves the stream reader where the
// next block should begin: it has to hunt for the stop acknowledgement instead.
void TvltZarnoComm::FailSound(int code, bool resync) {
  failureCode_ = code;
  phaseBeforeFailure_ = soundPhase_;
  soundPhase_ = TSoundPhase::Failed;
  if (phaseBeforeFailure_ == TSoundPhase::Streaming) ForceSend(kStopSoundId);
  if (resync) Connection()->RequestResynchronisation();
}

void TvltZarnoComm::ForceSend(uint16_t objectId) {
  // Nothing answers these writes but the stream itself; the stream's own end reports
  // a write that could not go out.
  TLinkRequest request;
  request.Op = TLinkOp::Write;
  request.ObjectID = objectId;
  request.Address = Address;
  request.ReplyTimeout = CommTimeout();
  (void)Connection()->SendWithoutReply(request);
}

void TvltZarnoComm::EndSound() {
  Connection()->LeaveSoundMode();
  soundPhase_ = TSoundPhase::Off;
  state_ = TOperState::Idle;
}

void TvltZarnoComm::FireSoundData(int result, const uint16_t* samples, int count) {
  if (OnSoundData) OnSoundData(*this, result, samples, count);
}

void TvltZarnoComm::FireSamples(const TLinkReply& block) {
  // The samples are little-endian words behind the four header bytes; the block's last
  // two bytes are its check.
  const int count = (block.Length - 6) / 2;
  const uint8_t* bytes = block.Data + 4;
  for (int i = 0; i < count; ++i) {
    samples_[static_cast<size_t>(i)] =
        static_cast<uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }
  FireSoundData(orSuccess, samples_.data(), count);
}

void TvltZarnoComm::FireStopSound(int result) {
  if (OnStopSound) OnStopSound(*this, result);
}

int TvltZarnoComm::ResultOfLink(const TLinkReply& reply) {
  switch (reply.Code) {
    case TLinkResult::Ok:
      return orSuccess;
    case TLinkResult::NotOpen:
      return orNotConnected;
    case TLinkResult::DeviceError:
      return MapDeviceError(std::span<const uint8_t, 4>(reply.Data, 4));
    case TLinkResult::Timeout:
      return orNoAnswer;
    case TLinkResult::BadReply:
    case TLinkResult::SegmentMismatch:
      return orInvalidAnswer;
    default:
      return orUnknownRefusal;
  }
}

}  // namespace kalvist
