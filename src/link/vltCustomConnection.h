// The abstract connection: state, busy flag, the one reply record, the events, and
// the hand-over of finished exchanges to the main thread.
//
// Threads: every public call and every event is on the main thread. Derived classes
// may call HandOverTransfer from their own I/O thread; it blocks until the main thread
// has handled the exchange.
#pragma once

#include <functional>
#include <memory>
#include <span>
#include <stop_token>
#include <string>

#include "MainThread.h"
#include "vltLinkFrame.h"

namespace kalvist {

enum class TThreadPriority {
  tpIdle,
  tpLowest,
  tpLower,
  tpNormal,
  tpHigher,
  tpHighest,
  tpTimeCritical
};

enum class TTraceDirection : uint8_t { Sent, Received, Flood };
// Called on the I/O thread with every frame written, every reply (or the part that
// came) and each recovery flood, stamped in microseconds of the steady clock. Keep it
// quick; it must not call into the connection.
using TTraceEvent =
    std::function<void(TTraceDirection direction, std::span<const uint8_t> bytes, uint64_t atUs)>;

class TvltCustomConnection;
using TConnResult = std::function<void(TvltCustomConnection& sender, int result)>;
using TTransferDone = std::function<void(TvltCustomConnection& sender, TLinkReply& reply)>;

class TvltCustomConnection {
 public:
  explicit TvltCustomConnection(IMainThread& mainThread);
  virtual ~TvltCustomConnection();
  TvltCustomConnection(const TvltCustomConnection&) = delete;
  TvltCustomConnection& operator=(const TvltCustomConnection&) = delete;

  TTransferDone OnTransferDone;
  TConnResult OnOpen;
  TConnResult OnClose;
  TTraceEvent OnTrace;  // set before Open

  // `portName` is the device path on this platform. Result through OnOpen.
  virtual void Open(const std::string& portName) = 0;
  // Result through OnClose; deferred until the exchange in progress has ended (which a
  // serial connection ends at once, as a time-out: its reply is no longer wanted).
  virtual void Close() = 0;
  // False when busy; otherwise the result follows through OnTransferDone.
  virtual bool Send(const TLinkRequest& request) = 0;
  virtual int MaxFrameData() const = 0;
  virtual int SegmentData() const = 0;
  // False once the open port has gone: an adapter can be pulled at any time. A connection
  // without a port of its own cannot lose one.
  virtual bool PortPresent() { return true; }

  bool Busy() const { return busy_; }
  // Sound streaming keeps the connection busy for its whole length.
  virtual bool SoundMode() const { return false; }
  virtual void LeaveSoundMode() {}
  // While streaming: writes `request` (keep-alive, stop) without purging and without
  // awaiting a reply, busy or not. False, with nothing sent, outside sound mode.
  virtual bool SendWithoutReply(const TLinkRequest& request) = 0;
  // While streaming, from the handler of a delivered block: the stream reader drops what
  // it was reading and hunts for the stop acknowledgement.
  virtual void RequestResynchronisation() = 0;
  int State() const { return state_; }
  TThreadPriority Priority() const { return priority_; }
  virtual void SetPriority(TThreadPriority priority) { priority_ = priority; }
  // The operating system's reason of the last failed open, for the user.
  const std::string& LastOpenError() const { return lastOpenError_; }

 protected:
  // Messages of the hand-over, with fixed numbers.
  enum TConnMessage : int {
    cmTransferDone = 2024,
    cmOpenResult = 2025,
    cmCloseResult = 2026,
    cmState = 2027,
  };

  void WndProc(int message, int param);
  // Main thread: handle `message` after the caller has returned to the loop.
  void PostMessage(int message, int param = 0);
  // I/O thread: hand the finished exchange to the main thread (cmTransferDone) and
  // wait until it has been handled. False when `stop` ended the wait first.
  bool HandOverTransfer(std::stop_token stop) { return handOver_.Send(stop); }

  virtual void ParseReply() {}
  virtual uint32_t TimerInterval() const { return 0; }
  virtual void OnTimer() {}
  // Derived constructors call this once their TimerInterval is in place.
  void StartTimer();

  IMainThread& MainThread() { return mainThread_; }

  bool busy_ = false;
  int state_ = 0;
  TLinkReply reply_;
  std::string lastOpenError_;

 private:
  IMainThread& mainThread_;
  TThreadPriority priority_ = TThreadPriority::tpNormal;
  TTimerId timer_ = 0;
  // Posted messages must not reach a destroyed connection.
  std::shared_ptr<TvltCustomConnection*> self_;
  TBlockingHandOver handOver_;
};

}  // namespace kalvist
