#include "EventLoop.h"

#include "Clock.h"

#include <chrono>
#include <limits>

namespace kalvist {

namespace {
constexpr uint64_t kNever = std::numeric_limits<uint64_t>::max();
}  // namespace

class TEventLoop::TLoopChannel final : public TChannel {
 public:
  TLoopChannel(TEventLoop& loop, std::function<void()> handler)
      : loop_(loop), handler_(std::move(handler)) {}
  ~TLoopChannel() override {
    std::lock_guard lock(loop_.mutex_);
    std::erase(loop_.signalled_, this);
  }
  void Signal() override {
    {
      std::lock_guard lock(loop_.mutex_);
      if (signalled_) return;
      signalled_ = true;
      loop_.signalled_.push_back(this);
    }
    loop_.wake_.notify_one();
  }

 private:
  friend class TEventLoop;
  TEventLoop& loop_;
  std::function<void()> handler_;
  bool signalled_ = false;  // under the loop's mutex
};

TEventLoop::TEventLoop(TClock clock) : clock_(clock) {
  signalled_.reserve(64);
}

std::unique_ptr<TChannel> TEventLoop::CreateChannel(std::function<void()> handler) {
  return std::make_unique<TLoopChannel>(*this, std::move(handler));
}

bool TEventLoop::RunOneSignalled() {
  TLoopChannel* channel;
  {
    std::lock_guard lock(mutex_);
    if (signalled_.empty()) return false;
    channel = signalled_.front();
    signalled_.erase(signalled_.begin());
    channel->signalled_ = false;
  }
  // The handler may destroy its own channel: nothing touches it afterwards.
  channel->handler_();
  return true;
}

uint64_t TEventLoop::NowMs() const {
  return clock_ == TClock::Fake ? fakeNow_ : SteadyMs();
}

void TEventLoop::Post(std::function<void()> fn) {
  {
    std::lock_guard lock(mutex_);
    posted_.push_back(std::move(fn));
  }
  wake_.notify_one();
}

TTimerId TEventLoop::StartTimer(uint32_t intervalMs, std::function<void()> fn) {
  const TTimerId id = nextTimerId_++;
  timers_[id] = TTimer{intervalMs, NowMs() + intervalMs, std::move(fn)};
  return id;
}

void TEventLoop::StopTimer(TTimerId id) {
  timers_.erase(id);
}

bool TEventLoop::RunOnePosted() {
  if (RunOneSignalled()) return true;
  std::function<void()> fn;
  {
    std::lock_guard lock(mutex_);
    if (posted_.empty()) return false;
    fn = std::move(posted_.front());
    posted_.pop_front();
  }
  fn();
  return true;
}

uint64_t TEventLoop::NextDue() const {
  uint64_t due = kNever;
  for (const auto& [id, timer] : timers_) due = std::min(due, timer.due);
  return due;
}

bool TEventLoop::RunOneDueTimer() {
  const uint64_t now = NowMs();
  for (auto& [id, timer] : timers_) {
    if (timer.due > now) continue;
    // Re-arm from now rather than from the missed slot: a late loop does not
    // fire a burst of catch-up ticks.
    timer.due = now + timer.interval;
    auto fn = timer.fn;  // the handler may stop or restart its own timer
    fn();
    return true;
  }
  return false;
}

void TEventLoop::ProcessPending() {
  while (RunOnePosted() || RunOneDueTimer()) {
  }
}

bool TEventLoop::RunUntil(const std::function<bool()>& pred, uint64_t timeoutMs) {
  const uint64_t deadline = NowMs() + timeoutMs;
  {
    std::lock_guard lock(mutex_);
    quit_ = false;
  }
  for (;;) {
    if (RunOnePosted() || RunOneDueTimer()) {
      if (pred && pred()) return true;
      continue;
    }
    if (pred && pred()) return true;
    const uint64_t now = NowMs();
    if (now >= deadline) return false;
    const uint64_t until = std::min(deadline, NextDue());
    std::unique_lock lock(mutex_);
    if (quit_) return false;
    if (!posted_.empty() || !signalled_.empty()) continue;
    if (clock_ == TClock::Fake) {
      // Nothing runs until fake time reaches the next timer: jump there.
      lock.unlock();
      fakeNow_ = until;
      continue;
    }
    wake_.wait_for(lock, std::chrono::milliseconds(until - now),
                   [&] { return quit_ || !posted_.empty() || !signalled_.empty(); });
    if (quit_) return false;
  }
}

void TEventLoop::Run() {
  RunUntil(nullptr, kNever / 2);
}

void TEventLoop::Quit() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_one();
}

void TEventLoop::AdvanceTime(uint64_t ms) {
  const uint64_t target = fakeNow_ + ms;
  for (;;) {
    ProcessPending();
    const uint64_t due = NextDue();
    if (due > target) break;
    fakeNow_ = std::max(fakeNow_, due);
  }
  fakeNow_ = target;
  ProcessPending();
}

}  // namespace kalvist
