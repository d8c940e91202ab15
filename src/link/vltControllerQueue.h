// The queue of pending object transfers: communication objects marked for reading or
// writing, started one at a time on an operator, each ending in one event.
//
// Main thread only, like the operator whose events drive it. A queued object in shared
// ownership is kept alive by its entry; any other must outlive its entry. A transfer runs on buffers of the queue's own: a
// write sends the value its object had when queued, and a read stores its bytes into the
// object when it ends, unless a write of the same object is still queued behind it (the
// read then brings the controller's value from before that write).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "vltCommObject.h"
#include "vltControllerOper.h"

namespace kalvist {

struct TQueueObject {
  // The object's size when queued; for a read the buffer capacity, replaced by the number
  // of bytes read when the read succeeds.
  int32_t Size = 0;
  bool IsWrite = false;
  TCustomCommObject* CommObj = nullptr;
  std::shared_ptr<TCustomCommObject> KeepAlive;  // empty for an object not shared-owned
  // A write sends the value the object had when it was queued: a read of the same
  // object queued earlier must not replace it on the way.
  std::vector<uint8_t> Value;
};

class TCustomCommObjectQueue;
using TQueueNotify = std::function<void(TCustomCommObjectQueue& sender)>;
using TQueueEvent =
    std::function<void(TCustomCommObjectQueue& sender, TCustomCommObject& commObj, int result)>;

class TCustomCommObjectQueue {
 public:
  TCustomCommObjectQueue() = default;
  virtual ~TCustomCommObjectQueue() = default;
  TCustomCommObjectQueue(const TCustomCommObjectQueue&) = delete;
  TCustomCommObjectQueue& operator=(const TCustomCommObjectQueue&) = delete;

  TQueueNotify OnQueueEmpty;
  TQueueEvent OnCommObjRead;
  TQueueEvent OnCommObjWritten;

  int Count() const { return static_cast<int>(entries_.size()); }

  // Removes every entry. A transfer already under way still ends, but its result belongs
  // to no entry any more and is dropped: it must not be taken for a later entry's.
  virtual void Clear();
  // Removes every entry whose transfer has not started; one under way ends as usual.
  void ClearPending();
  // Each appends an entry and returns true when it was queued (a derived queue may drop
  // transfers); onto an empty queue with an idle operator the transfer starts at once.
  virtual bool EnqueueRead(TCustomCommObject& commObj) = 0;
  virtual bool EnqueueWrite(TCustomCommObject& commObj) = 0;

  // The operator is idle: start the head, or report that the queue has run empty.
  void Next();
  // A transfer of the head has ended.
  void HandleResult(int result);

 protected:
  virtual void DoQueueEmpty();
  virtual void DoCommObjRead(TCustomCommObject& commObj, int result);
  virtual void DoCommObjWritten(TCustomCommObject& commObj, int result);
  // Starts the head entry's transfer; throws when that is impossible.
  virtual void StartHead() = 0;

  TQueueObject& Head() { return entries_.front(); }
  bool Empty() const { return entries_.empty(); }
  void Append(TCustomCommObject& commObj, bool isWrite);
  // A started transfer: the head's result is the next one the operator reports.
  void MarkStarted(bool started) { inFlight_ = started; }

  // The operator's size variable of a read: the queue's own, so that a Clear during the
  // read leaves the operator nothing freed to write into.
  int32_t transferSize_ = 0;
  // The bytes of the transfer in flight: the queue's own, for the same reason.
  std::vector<uint8_t> writeBuffer_;
  std::vector<uint8_t> readBuffer_;

 private:
  // The ended read of the head: whether its bytes may replace the object's value.
  bool ReadMayStore(const TQueueObject& head) const;

  std::deque<TQueueObject> entries_;
  bool inFlight_ = false;
  bool dropNextResult_ = false;
  // Counts Clear calls, so that a result handler's Clear is seen afterwards.
  uint64_t clears_ = 0;
};

class TvltControllerQueue : public TCustomCommObjectQueue {
 public:
  TvltControllerQueue() = default;
  // Leaves the operator's events unassigned, so that it never calls a freed queue.
  ~TvltControllerQueue() override;

  // The prefix of password-protected writes; 65535 means no password.
  uint16_t PasswordWord = 65535;

  TvltControllerOper* SiteComm() const { return siteComm_; }
  // Takes over the operator's result and idle events (a previous operator's are released).
  void SetSiteComm(TvltControllerOper* comm);

  bool EnqueueRead(TCustomCommObject& commObj) override;
  bool EnqueueWrite(TCustomCommObject& commObj) override;

 protected:
  void StartHead() override;
  // Starts the head's transfer through the Start... calls below; an operator that is
  // missing or busy, or an empty queue, is an assertion failure at the caller's line.
  void StartHeadAsserted(const char* unit, int line);
  virtual bool StartRead(uint16_t objectId, uint8_t* buffer, int32_t& size);
  virtual bool StartWrite(uint16_t objectId, const uint8_t* buffer, int32_t size);
  virtual bool StartWritePrefixed(uint16_t objectId, const uint8_t* buffer, uint16_t prefix,
                                  int32_t size);

  // Throws the assertion of a missing operator, with the caller's unit and line.
  void RequireSiteComm(const char* unit, int line) const;
  // Appends and, onto an empty queue with an idle operator, starts at once.
  bool Queue(TCustomCommObject& commObj, bool isWrite);

 private:
  void Release();

  TvltControllerOper* siteComm_ = nullptr;
};

}  // namespace kalvist
