// The controller operator: turns one read or write of an object into frame exchanges
// with repeats and segmenting, and reports exactly one result per operation.
//
// Main thread only. Replies arrive through the connection's hand-over; no locks.
#pragma once

#include <cstdint>
#include <functional>

#include "vltCustomConnection.h"

namespace kalvist {

class TvltControllerOper;
using TCommObjResult = std::function<void(TvltControllerOper& sender, int result)>;
using TNotifyOper = std::function<void(TvltControllerOper& sender)>;

class TvltControllerOper {
 public:
  explicit TvltControllerOper(IMainThread& mainThread);
  virtual ~TvltControllerOper() = default;
  TvltControllerOper(const TvltControllerOper&) = delete;
  TvltControllerOper& operator=(const TvltControllerOper&) = delete;

  uint8_t Address = 0;
  TNotifyOper OnIdle;
  TCommObjResult OnReadCommObjResult;
  TCommObjResult OnWriteCommObjResult;

  // The connection is not owned here; replies reach HandleTransfer through it.
  void SetConnection(TvltCustomConnection* connection);
  TvltCustomConnection* Connection() const { return connection_; }

  // Each returns false, and nothing happens, while the connection is busy; a negative
  // size throws TKalvistError.
  // ReadCommObj: `size` holds the buffer's capacity and, after result 0, the bytes read;
  // buffer and size must stay valid until the result. WriteCommObj copies the value
  // frame by frame, so `buffer` must stay valid until the result too.
  bool ReadCommObj(uint16_t objectId, uint8_t* buffer, int32_t& size);
  bool WriteCommObj(uint16_t objectId, const uint8_t* buffer, int32_t size);
  bool WriteCommObjPrefixed(uint16_t objectId, const uint8_t* buffer, uint16_t prefix,
                            int32_t size);

  uint32_t CommTimeout() const { return commTimeout_; }
  void SetCommTimeout(uint32_t ms);  // ignored while busy
  uint16_t CommMaxRepeat() const { return commMaxRepeat_; }
  void SetCommMaxRepeat(uint16_t repeats);  // ignored while busy
  TThreadPriority Priority() const { return priority_; }
  virtual void SetPriority(TThreadPriority priority);

  virtual bool Busy() const;

 protected:
  // Throws TKalvistError for a negative size.
  static void RequireSize(int32_t size);

  enum class TOperState : uint8_t { Idle, Reading, ReadToSend, Writing, WriteToSend };

  virtual void DoReadResult(int result);
  virtual void DoWriteResult(int result);
  // With a reply, then at once without one (nullptr): so repeats and the next segment
  // go out only after the result handlers of the previous frame have returned.
  virtual void HandleTransfer(TLinkReply* reply);

  IMainThread& MainThread() const { return mainThread_; }
  TOperState state_ = TOperState::Idle;

 private:
  void HandleReadReply(const TLinkReply& reply);
  void HandleWriteReply(const TLinkReply& reply);
  void StartFrame(TLinkOp op);
  bool SendRequest();
  // The first frame of an operation; false, with the operator idle again, when refused.
  bool SendFirstFrame();
  // Any later frame; a refusal ends the operation with its result.
  void SendNextFrame();
  void FinishRead(int result);
  void FinishWrite(int result);
  // Counts a failed try; true when the operation has run out of tries.
  bool TriesExhausted();
  void PrepareNextSegment();
  void AppendReadData(const TLinkReply& reply, bool last);

  IMainThread& mainThread_;
  TvltCustomConnection* connection_ = nullptr;
  uint32_t commTimeout_ = 1000;
  uint16_t commMaxRepeat_ = 3;
  TThreadPriority priority_ = TThreadPriority::tpNormal;

  TLinkRequest request_;
  uint8_t* readTarget_ = nullptr;
  uint8_t* readStart_ = nullptr;
  int32_t* readSize_ = nullptr;
  int32_t receivedCount_ = 0;
  uint32_t triesLeft_ = 0;
  int32_t writeRemaining_ = 0;
  const uint8_t* writeSource_ = nullptr;
  uint32_t segmentCounter_ = 0;
};

}  // namespace kalvist
