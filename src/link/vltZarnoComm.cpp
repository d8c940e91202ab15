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
  pending_ = {};
  connection_->OnOpen = OnOpenConnection;
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
  StartPending();
}

bool TvltZarnoComm::StartPending() {
  switch (pending_.Kind) {
    case TPendingKind::Read: return ReadCommObj(pending_.ObjectID, pending_.Buffer, pending_.Size);
    case TPendingKind::Write:
    case TPendingKind::SoundSource:
      return WriteCommObj(pending_.ObjectID, pending_.Source, pending_.Size);
    case TPendingKind::WritePrefixed:
      return WriteCommObjPrefixed(pending_.ObjectID, pending_.Source, pending_.Prefix,
                                  pending_.Size);
    case TPendingKind::None: return false;
  }
  return false;
}

void TvltZarnoComm::HandleTransfer(TLinkReply* reply) {
  if (reply && (reply->Code == TLinkResult::Ok || reply->Code == TLinkResult::MoreData)) {
    lastGoodReply_ = MainThread().NowMs();
  }
  TvltControllerOper::HandleTransfer(reply);
}

int TvltZarnoComm::ResultOfLink(const TLinkReply& reply) {
  switch (reply.Code) {
    case TLinkResult::Ok: return orSuccess;
    case TLinkResult::NotOpen: return orNotConnected;
    case TLinkResult::DeviceError:
      return MapDeviceError(std::span<const uint8_t, 4>(reply.Data, 4));
    case TLinkResult::Timeout: return orNoAnswer;
    case TLinkResult::BadReply:
    case TLinkResult::SegmentMismatch: return orInvalidAnswer;
    default: return orUnknownRefusal;
  }
}

}  // namespace kalvist
