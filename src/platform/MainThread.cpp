#include "MainThread.h"

#include <condition_variable>
#include <memory>
#include <mutex>

namespace kalvist {

bool IMainThread::Send(std::function<void()> fn, std::stop_token stop) {
  struct HandOver {
    std::mutex mutex;
    std::condition_variable_any done;
    bool ran = false;
    bool abandoned = false;
  };
  auto handOver = std::make_shared<HandOver>();
  Post([handOver, fn = std::move(fn)] {
    {
      std::lock_guard lock(handOver->mutex);
      if (handOver->abandoned) return;
    }
    fn();
    std::lock_guard lock(handOver->mutex);
    handOver->ran = true;
    handOver->done.notify_all();
  });
  std::unique_lock lock(handOver->mutex);
  if (handOver->done.wait(lock, stop, [&] { return handOver->ran; })) return true;
  handOver->abandoned = true;
  return false;
}

}  // namespace kalvist
