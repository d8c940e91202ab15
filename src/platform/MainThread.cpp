#include "MainThread.h"

namespace kalvist {

TBlockingHandOver::TBlockingHandOver(IMainThread& mainThread, std::function<void()> handler)
    : handler_(std::move(handler)), channel_(mainThread.CreateChannel([this] { Run(); })) {}

bool TBlockingHandOver::Send(std::stop_token stop) {
  {
    std::lock_guard lock(mutex_);
    pending_ = true;
  }
  channel_->Signal();
  // The stop is looked at in slices rather than through a stop callback: GCC 12's
  // library can lose the wake-up that ends a callback's destruction where it has no
  // futex (Windows), which would hang the thread that stops this one.
  std::unique_lock lock(mutex_);
  while (!done_.wait_for(lock, kStopCheck, [this] { return !pending_; })) {
    if (stop.stop_requested()) {
      pending_ = false;  // abandoned: a later Run finds nothing to do
      return false;
    }
  }
  return true;
}

void TBlockingHandOver::Run() {
  {
    std::lock_guard lock(mutex_);
    if (!pending_) return;
  }
  handler_();
  std::lock_guard lock(mutex_);
  pending_ = false;
  done_.notify_all();
}

}  // namespace kalvist
