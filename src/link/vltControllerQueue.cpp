#include "vltControllerQueue.h"

#include <algorithm>

#include "KalvistError.h"

namespace kalvist {

void TCustomCommObjectQueue::Clear() {
  entries_.clear();
  ++clears_;
  if (inFlight_) dropNextResult_ = true;
  inFlight_ = false;
}

void TCustomCommObjectQueue::ClearPending() {
  if (!inFlight_) {
    Clear();
    return;
  }
  entries_.erase(entries_.begin() + 1, entries_.end());
}

void TCustomCommObjectQueue::Append(TCustomCommObject& commObj, bool isWrite) {
  TQueueObject entry{commObj.Size(), isWrite, &commObj, commObj.weak_from_this().lock(), {}};
  if (isWrite) entry.Value.assign(commObj.Data(), commObj.Data() + commObj.Size());
  entries_.push_back(std::move(entry));
}

void TCustomCommObjectQueue::Next() {
  if (entries_.empty()) {
    DoQueueEmpty();
    return;
  }
  StartHead();
}

void TCustomCommObjectQueue::HandleResult(int result) {
  if (dropNextResult_) {
    dropNextResult_ = false;
    return;
  }
  inFlight_ = false;
  if (entries_.empty()) return;
  TQueueObject& head = entries_.front();
  if (!head.IsWrite) head.Size = transferSize_;
  // A copy: a handler's Clear frees the entry while its event is still running.
  const TQueueObject entry = head;
  const uint64_t clears = clears_;
  if (entry.IsWrite) {
    DoCommObjWritten(*entry.CommObj, result);
  } else if (entry.Size > 0) {
    // Only bytes that came from the controller: a failed try's leftovers are no value.
    if ((result == orSuccess || result == orBufferTooSmall) && ReadMayStore(entry)) {
      entry.CommObj->SetSize(entry.Size);
      std::copy_n(readBuffer_.begin(), std::min<size_t>(readBuffer_.size(), entry.Size),
                  entry.CommObj->Data());
    }
    DoCommObjRead(*entry.CommObj, result);
  }
  // After a Clear in a handler the head is gone, and whatever was queued since is not it.
  if (clears == clears_ && !entries_.empty()) entries_.pop_front();
}

bool TCustomCommObjectQueue::ReadMayStore(const TQueueObject& head) const {
  // The read brought the controller's value from before that write: storing it would
  // show the old value until the next read.
  return std::none_of(entries_.begin() + 1, entries_.end(), [&](const TQueueObject& e) {
    return e.IsWrite && e.CommObj == head.CommObj;
  });
}

void TCustomCommObjectQueue::DoQueueEmpty() {
  if (OnQueueEmpty) OnQueueEmpty(*this);
}

void TCustomCommObjectQueue::DoCommObjRead(TCustomCommObject& commObj, int result) {
  if (OnCommObjRead) OnCommObjRead(*this, commObj, result);
}

void TCustomCommObjectQueue::DoCommObjWritten(TCustomCommObject& commObj, int result) {
  if (OnCommObjWritten) OnCommObjWritten(*this, commObj, result);
}

TvltControllerQueue::~TvltControllerQueue() {
  Release();
}

void TvltControllerQueue::Release() {
  if (!siteComm_) return;
  siteComm_->OnReadCommObjResult = nullptr;
  siteComm_->OnWriteCommObjResult = nullptr;
  siteComm_->OnIdle = nullptr;
}

void TvltControllerQueue::SetSiteComm(TvltControllerOper* comm) {
  Release();
  siteComm_ = comm;
  if (!siteComm_) return;
  siteComm_->OnReadCommObjResult = [this](TvltControllerOper&, int result) {
    HandleResult(result);
  };
  siteComm_->OnWriteCommObjResult = [this](TvltControllerOper&, int result) {
    HandleResult(result);
  };
  siteComm_->OnIdle = [this](TvltControllerOper&) { Next(); };
}

void TvltControllerQueue::RequireSiteComm(const char* unit, int line) const {
  if (!siteComm_) {
    throw TKalvistError("Queue property \"Controller/ScopeComm\" must be assigned.", unit, line);
  }
}

bool TvltControllerQueue::Queue(TCustomCommObject& commObj, bool isWrite) {
  const bool wasEmpty = Empty();
  Append(commObj, isWrite);
  if (wasEmpty && !siteComm_->Busy()) StartHead();
  return true;
}

bool TvltControllerQueue::EnqueueRead(TCustomCommObject& commObj) {
  RequireSiteComm("vltControllerQueue", 274);
  return Queue(commObj, false);
}

bool TvltControllerQueue::EnqueueWrite(TCustomCommObject& commObj) {
  RequireSiteComm("vltControllerQueue", 295);
  return Queue(commObj, true);
}

void TvltControllerQueue::StartHead() {
  StartHeadAsserted("vltControllerQueue", 253);
}

void TvltControllerQueue::StartHeadAsserted(const char* unit, int line) {
  if (!siteComm_ || siteComm_->Busy() || Empty()) {
    throw TKalvistError("Assertion failure", unit, line);
  }
  const TQueueObject& head = Head();
  TCustomCommObject& object = *head.CommObj;
  // Never beyond the object's bytes: an earlier read of the same object may have
  // shrunk it since this entry was queued.
  bool started;
  if (!head.IsWrite) {
    transferSize_ = std::min(head.Size, static_cast<int32_t>(object.Size()));
    readBuffer_.assign(static_cast<size_t>(std::max(transferSize_, 0)), 0);
    started = StartRead(object.ObjectID, readBuffer_.data(), transferSize_);
  } else {
    writeBuffer_ = head.Value;
    const auto size = static_cast<int32_t>(writeBuffer_.size());
    const auto* protectedObj = dynamic_cast<const TCommObject*>(&object);
    started = protectedObj && protectedObj->PasswordProtected
                  ? StartWritePrefixed(object.ObjectID, writeBuffer_.data(), PasswordWord, size)
                  : StartWrite(object.ObjectID, writeBuffer_.data(), size);
  }
  MarkStarted(started);
}

bool TvltControllerQueue::StartRead(uint16_t objectId, uint8_t* buffer, int32_t& size) {
  return siteComm_->ReadCommObj(objectId, buffer, size);
}

bool TvltControllerQueue::StartWrite(uint16_t objectId, const uint8_t* buffer, int32_t size) {
  return siteComm_->WriteCommObj(objectId, buffer, size);
}

bool TvltControllerQueue::StartWritePrefixed(uint16_t objectId, const uint8_t* buffer,
                                             uint16_t prefix, int32_t size) {
  return siteComm_->WriteCommObjPrefixed(objectId, buffer, prefix, size);
}

}  // namespace kalvist
