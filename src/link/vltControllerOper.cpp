#include "vltControllerOper.h"

#include <algorithm>
#include <cstring>

#include "KalvistError.h"

namespace kalvist {

// A negative size is the caller's fault, never the controller's: it would otherwise
// reach the frame as a huge length.
void TvltControllerOper::RequireSize(int32_t size) {
  if (size < 0) throw TKalvistError("Negative object size " + std::to_string(size));
}

TvltControllerOper::TvltControllerOper(IMainThread& mainThread) : mainThread_(mainThread) {}

void TvltControllerOper::SetConnection(TvltCustomConnection* connection) {
  connection_ = connection;
  if (!connection_) return;
  connection_->SetPriority(priority_);
  connection_->OnTransferDone = [this](TvltCustomConnection&, TLinkReply& reply) {
    HandleTransfer(&reply);
    HandleTransfer(nullptr);
  };
}

bool TvltControllerOper::Busy() const {
  return connection_ && connection_->Busy();
}

void TvltControllerOper::SetCommTimeout(uint32_t ms) {
  if (!Busy()) commTimeout_ = ms;
}

void TvltControllerOper::SetCommMaxRepeat(uint16_t repeats) {
  if (!Busy()) commMaxRepeat_ = repeats;
}

void TvltControllerOper::SetPriority(TThreadPriority priority) {
  priority_ = priority;
  if (connection_) connection_->SetPriority(priority);
}

void TvltControllerOper::StartFrame(TLinkOp op) {
  request_.Op = op;
  request_.Address = Address;
  request_.ReplyTimeout = commTimeout_;
  triesLeft_ = commMaxRepeat_ + 1u;
}

bool TvltControllerOper::SendRequest() {
  return connection_ && connection_->Send(request_);
}

bool TvltControllerOper::SendFirstFrame() {
  if (SendRequest()) return true;
  state_ = TOperState::Idle;  // refused: the operation never began
  return false;
}

void TvltControllerOper::SendNextFrame() {
  // Only a connection taken over in between refuses; the operation ends then.
  if (SendRequest()) return;
  if (state_ == TOperState::Reading) {
    FinishRead(orUnknownRefusal);
  } else {
    FinishWrite(orUnknownRefusal);
  }
}

bool TvltControllerOper::ReadCommObj(uint16_t objectId, uint8_t* buffer, int32_t& size) {
  RequireSize(size);
  if (Busy() || !connection_) return false;
  state_ = TOperState::Reading;
  readTarget_ = readStart_ = buffer;
  readSize_ = &size;
  receivedCount_ = 0;
  request_.ObjectID = objectId;
  request_.DataLength = 0;
  StartFrame(TLinkOp::ReadFirst);
  return SendFirstFrame();
}

bool TvltControllerOper::WriteCommObj(uint16_t objectId, const uint8_t* buffer, int32_t size) {
  RequireSize(size);
  if (Busy() || !connection_) return false;
  state_ = TOperState::Writing;
  request_.ObjectID = objectId;
  segmentCounter_ = 0;
  if (size <= connection_->MaxFrameData()) {
    StartFrame(TLinkOp::Write);
    request_.DataLength = static_cast<uint16_t>(size);
    writeRemaining_ = 0;
  } else {
    StartFrame(TLinkOp::WriteSegment);
    request_.Segment = 0;
    request_.LastSegment = false;
    request_.DataLength = static_cast<uint16_t>(connection_->SegmentData());
    writeRemaining_ = size - connection_->SegmentData();
    writeSource_ = buffer + connection_->SegmentData();
  }
  if (request_.DataLength > 0) std::memcpy(request_.Data.data(), buffer, request_.DataLength);
  return SendFirstFrame();
}

bool TvltControllerOper::WriteCommObjPrefixed(uint16_t objectId, const uint8_t* buffer,
                                              uint16_t prefix, int32_t size) {
  RequireSize(size);
  if (Busy() || !connection_) return false;
  state_ = TOperState::Writing;
  request_.ObjectID = objectId;
  request_.Data[0] = static_cast<uint8_t>(prefix & 0xFF);
  request_.Data[1] = static_cast<uint8_t>(prefix >> 8);
  segmentCounter_ = 0;
  int32_t first = size;
  if (size + 2 <= connection_->MaxFrameData()) {
    StartFrame(TLinkOp::Write);
    writeRemaining_ = 0;
  } else {
    StartFrame(TLinkOp::WriteSegment);
    request_.Segment = 0;
    request_.LastSegment = false;
    first = connection_->SegmentData() - 2;
    writeRemaining_ = size - first;
    writeSource_ = buffer + first;
  }
  if (first > 0) std::memcpy(request_.Data.data() + 2, buffer, static_cast<size_t>(first));
  request_.DataLength = static_cast<uint16_t>(first + 2);
  return SendFirstFrame();
}

void TvltControllerOper::DoReadResult(int result) {
  if (OnReadCommObjResult) OnReadCommObjResult(*this, result);
}

void TvltControllerOper::DoWriteResult(int result) {
  if (OnWriteCommObjResult) OnWriteCommObjResult(*this, result);
}

void TvltControllerOper::FinishRead(int result) {
  state_ = TOperState::Idle;
  DoReadResult(result);
}

void TvltControllerOper::FinishWrite(int result) {
  state_ = TOperState::Idle;
  DoWriteResult(result);
}

bool TvltControllerOper::TriesExhausted() {
  return --triesLeft_ == 0;
}

void TvltControllerOper::HandleTransfer(TLinkReply* reply) {
  if (reply) {
    if (state_ == TOperState::Reading)
      HandleReadReply(*reply);
    else if (state_ == TOperState::Writing)
      HandleWriteReply(*reply);
    return;
  }
  if (state_ == TOperState::ReadToSend) {
    state_ = TOperState::Reading;
    SendNextFrame();
  } else if (state_ == TOperState::WriteToSend) {
    state_ = TOperState::Writing;
    SendNextFrame();
  } else if (!Busy() && OnIdle) {
    OnIdle(*this);
  }
}

void TvltControllerOper::AppendReadData(const TLinkReply& reply, bool last) {
  const int32_t capacity = *readSize_;
  const int32_t before = receivedCount_;
  receivedCount_ += reply.Length;
  if (receivedCount_ > capacity) {
    // Keep what fits; the size variable keeps the capacity.
    const int32_t fits = std::max(0, capacity - before);
    if (fits > 0) std::memcpy(readTarget_, reply.Data, static_cast<size_t>(fits));
    FinishRead(orBufferTooSmall);
    return;
  }
  if (reply.Length > 0) std::memcpy(readTarget_, reply.Data, reply.Length);
  readTarget_ += reply.Length;
  if (last) {
    *readSize_ = receivedCount_;
    FinishRead(orSuccess);
    return;
  }
  triesLeft_ = commMaxRepeat_ + 1u;
  request_.Op = TLinkOp::ReadNext;
  state_ = TOperState::ReadToSend;
}

void TvltControllerOper::HandleReadReply(const TLinkReply& reply) {
  switch (reply.Code) {
    case TLinkResult::Ok:
      return AppendReadData(reply, true);
    case TLinkResult::MoreData:
      return AppendReadData(reply, false);
    case TLinkResult::DeviceError:
      return FinishRead(MapDeviceError(std::span<const uint8_t, 4>(reply.Data, 4)));
    case TLinkResult::NotOpen:
      return FinishRead(orNotConnected);
    case TLinkResult::Timeout:
    case TLinkResult::BadReply:
    case TLinkResult::SegmentMismatch:
      if (TriesExhausted()) {
        return FinishRead(reply.Code == TLinkResult::Timeout ? orNoAnswer : orInvalidAnswer);
      }
      // Start over: what the failed attempt collected is discarded.
      readTarget_ = readStart_;
      receivedCount_ = 0;
      request_.Op = TLinkOp::ReadFirst;
      state_ = TOperState::ReadToSend;
      return;
  }
}

void TvltControllerOper::PrepareNextSegment() {
  ++segmentCounter_;
  request_.Segment = segmentCounter_;
  const int32_t count = std::min<int32_t>(writeRemaining_, connection_->SegmentData());
  request_.LastSegment = writeRemaining_ <= connection_->SegmentData();
  std::memcpy(request_.Data.data(), writeSource_, static_cast<size_t>(count));
  request_.DataLength = static_cast<uint16_t>(count);
  writeSource_ += count;
  writeRemaining_ -= count;
  triesLeft_ = commMaxRepeat_ + 1u;
  state_ = TOperState::WriteToSend;
}

void TvltControllerOper::HandleWriteReply(const TLinkReply& reply) {
  switch (reply.Code) {
    case TLinkResult::Ok:
      if (writeRemaining_ == 0) return FinishWrite(orSuccess);
      return PrepareNextSegment();
    case TLinkResult::DeviceError:
      return FinishWrite(MapDeviceError(std::span<const uint8_t, 4>(reply.Data, 4)));
    case TLinkResult::NotOpen:
      return FinishWrite(orNotConnected);
    case TLinkResult::Timeout:
    case TLinkResult::BadReply:
    case TLinkResult::MoreData:  // not an answer to a write: as malformed as a bad reply
    case TLinkResult::SegmentMismatch:
      if (TriesExhausted()) {
        return FinishWrite(reply.Code == TLinkResult::Timeout ? orNoAnswer : orInvalidAnswer);
      }
      state_ = TOperState::WriteToSend;  // the same frame again; a write never restarts
      return;
  }
}

}  // namespace kalvist
