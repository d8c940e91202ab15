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

bool TvltZarnoComm::ReadWithAccess(uint16_t objectId, uint8_t* buffer, int32_t& size) {
  if (AccessValid()) return ReadCommObj(objectId, buffer, size);
  return RunPrelude({TPendingKind::Read, objectId, buffer, nullptr, size, 0});
}

bool TvltZarnoComm::WriteWithAccess(uint16_t objectId, const uint8_t* buffer, int32_t size) {
  if (AccessValid()) return WriteCommObj(objectId, buffer, size);
  return RunPrelude({TPendingKind::Write, objectId, nullptr, buffer, size, 0});
}

bool TvltZarnoComm::WritePrefixedWithAccess(uint16_t objectId, const uint8_t* buffer,
                                            uint16_t prefix, int32_t size) {
  if (AccessValid()) return WriteCommObjPrefixed(objectId, buffer, prefix, size);
  return RunPrelude({TPendingKind::WritePrefixed, objectId, nullptr, buffer, size, prefix});
}

bool TvltZarnoComm::RunPrelude(const TPending& pending) {
  pending_ = pending;
  savedWriteResult_ = OnWriteCommObjResult;
  OnWriteCommObjResult = [this](TvltControllerOper&, int result) { HandlePreludeResult(result); };
  accessNeeded_ = true;
  accessValue_[0] = AccessNum;
  accessValue_[1] = 0;
  if (WriteCommObj(kAccessNumberId, accessValue_, 2)) return true;
  OnWriteCommObjResult = savedWriteResult_;
  return false;
}

void TvltZarnoComm::HandlePreludeResult(int result) {
  if (result == orSuccess) accessNeeded_ = false;
  OnWriteCommObjResult = savedWriteResult_;
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
      startPending_ = WriteCommObj(pending_.ObjectID, pending_.Source, pending_.Size);
      if (!startPending_) pending_.Kind = TPendingKind::None;
      return startPending_;
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
  if (Connection()->SoundMode() || startPending_) {
    HandleSoundTransfer(reply);
    return;
  }
  TvltControllerOper::HandleTransfer(reply);
}

// ---- sound ---------------------------------------------------------------------------

bool TvltZarnoComm::StartSound(uint8_t sensor) {
  if (SoundMode()) return false;
  soundSensor_ = static_cast<uint8_t>(sensor - 1);
  if (!AccessValid()) {
    return RunPrelude({TPendingKind::SoundSource, kSoundSensorId, nullptr, &soundSensor_, 1, 0});
  }
  startPending_ = WriteCommObj(kSoundSensorId, &soundSensor_, 1);
  return startPending_;
}

bool TvltZarnoComm::StopSound() {
  if (!SoundMode()) return false;
  stopRequested_ = true;
  return true;
}

void TvltZarnoComm::HandleSoundTransfer(TLinkReply* reply) {
  if (startPending_) {
    if (reply) {
      HandleSoundStartReply(*reply);
    } else if (pending_.Kind == TPendingKind::SoundSource) {
      pending_.Kind = TPendingKind::None;  // the call after the access write: its write is out
    } else {
      AfterSoundSourceWrite();
    }
    return;
  }
  if (reply) {
    HandleSoundReply(*reply);
  } else if (Connection()->SoundMode()) {
    AfterSoundBlock();
  } else {
    TvltControllerOper::HandleTransfer(nullptr);  // streaming ended: queued transfers resume
  }
}

void TvltZarnoComm::HandleSoundStartReply(const TLinkReply& reply) {
  state_ = TOperState::Idle;  // the sound source write gets no repeats
  if (reply.Code == TLinkResult::Ok) return;
  startPending_ = false;
  if (OnStartSound) OnStartSound(*this, ResultOfLink(reply));
}

void TvltZarnoComm::AfterSoundSourceWrite() {
  startPending_ = false;
  packetCounter_ = 0;
  stopRequested_ = false;
  if (!WriteCommObj(kStartSoundId, nullptr, 0)) return;
  state_ = TOperState::Idle;
  lastKeepAlive_ = MainThread().NowMs();
  soundState_ = TSoundState::Streaming;
  if (OnStartSound) OnStartSound(*this, orSuccess);
}

void TvltZarnoComm::HandleSoundReply(TLinkReply& reply) {
  const bool ok = reply.Code == TLinkResult::Ok;
  const auto type = ok ? static_cast<TSoundBlockType>(reply.Data[2]) : TSoundBlockType::Data;
  switch (soundState_) {
    case TSoundState::Streaming:
      if (ok && type == TSoundBlockType::Data) {
        if (reply.Data[3] != packetCounter_) {
          FailSound(5);
          return Connection()->RequestResynchronisation();
        }
        ++packetCounter_;
        return FireSamples(reply);
      }
      if (ok && type == TSoundBlockType::Error) {
        EndSound();
        return FireSoundData(MapClass8Error(reply.Data[3]), nullptr, 0);
      }
      if (ok) {
        FailSound(orInvalidAnswer);
        return Connection()->RequestResynchronisation();
      }
      if (reply.Code == TLinkResult::NotOpen || reply.Code == TLinkResult::Timeout) {
        EndSound();
        return FireSoundData(reply.Code == TLinkResult::NotOpen ? orNotConnected : orNoAnswer,
                             nullptr, 0);
      }
      return FailSound(reply.Code == TLinkResult::BadReply ? orInvalidAnswer : orUnknownRefusal);
    case TSoundState::Stopping:
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
      return FailSound(reply.Code == TLinkResult::BadReply ? orInvalidAnswer : orUnknownRefusal);
    case TSoundState::Failed:
      EndSound();
      if (stateBeforeFailure_ == TSoundState::Streaming)
        return FireSoundData(failureCode_, nullptr, 0);
      return FireStopSound(failureCode_);
  }
}

void TvltZarnoComm::AfterSoundBlock() {
  if (soundState_ != TSoundState::Streaming) return;
  if (stopRequested_) {
    stopRequested_ = false;
    soundState_ = TSoundState::Stopping;
    ForceSend(kStopSoundId);
  } else if (MainThread().NowMs() - lastKeepAlive_ >= kKeepAliveMs) {
    lastKeepAlive_ = MainThread().NowMs();
    ForceSend(kStartSoundId);
  }
}

void TvltZarnoComm::FailSound(int code) {
  failureCode_ = code;
  stateBeforeFailure_ = soundState_;
  soundState_ = TSoundState::Failed;
  if (stateBeforeFailure_ == TSoundState::Streaming) ForceSend(kStopSoundId);
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
