// The core's own main-thread loop for the CLI and the tests. Posted functions and
// timers run on the thread that calls Run/RunUntil/ProcessPending.
//
// With fake time (tests of the operator and the queue) the clock stands still until
// AdvanceTime moves it, firing every timer that falls due on the way.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "MainThread.h"

namespace kalvist {

class TEventLoop : public IMainThread {
 public:
  enum class TClock { Real, Fake };
  explicit TEventLoop(TClock clock = TClock::Real);

  void Post(std::function<void()> fn) override;
  std::unique_ptr<TChannel> CreateChannel(std::function<void()> handler) override;
  TTimerId StartTimer(uint32_t intervalMs, std::function<void()> fn) override;
  void StopTimer(TTimerId id) override;
  uint64_t NowMs() const override;

  // Runs posted functions and due timers until Quit, or until `pred` holds after a
  // step, or until `timeoutMs` of this loop's clock have passed. Returns whether `pred`
  // held (always false when stopped by Quit or the time-out).
  bool RunUntil(const std::function<bool()>& pred, uint64_t timeoutMs);
  void Run();
  void Quit();

  // Runs whatever is posted or due now, without waiting.
  void ProcessPending();

  // Fake time only: moves the clock forward, firing due timers in order.
  void AdvanceTime(uint64_t ms);

 private:
  struct TTimer {
    uint32_t interval;
    uint64_t due;
    std::function<void()> fn;
  };

  class TLoopChannel;
  friend class TLoopChannel;

  bool RunOnePosted();
  bool RunOneSignalled();
  bool RunOneDueTimer();
  uint64_t NextDue() const;  // main thread

  const TClock clock_;
  uint64_t fakeNow_ = 0;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> posted_;
  std::vector<TLoopChannel*> signalled_;  // reserved ahead: signalling never allocates
  bool quit_ = false;
  std::map<TTimerId, TTimer> timers_;  // main thread only
  TTimerId nextTimerId_ = 1;
};

}  // namespace kalvist
