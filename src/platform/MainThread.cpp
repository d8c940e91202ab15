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
  std::unique_lock lock(mutex_);
  if (done_.wait(lock, stop, [this] { return !pending_; })) return true;
  pending_ = false;  // abandoned: a later Run finds nothing to do
  return false;
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
