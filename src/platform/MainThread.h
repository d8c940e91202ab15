// The main-thread hand-over: everything of the link and the device model runs on one
// thread; other threads reach it only through Post, a wake-up channel, or the blocking
// hand-over built on one. The GUI implements IMainThread on its event loop; the CLI and
// the tests use TEventLoop.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>

namespace kalvist {

using TTimerId = uint64_t;

// A wake-up that another thread can send without allocating: each Signal makes the
// main thread run the channel's handler once; signals that come before it runs merge.
class TChannel {
 public:
  virtual ~TChannel() = default;
  virtual void Signal() = 0;  // any thread
};

class IMainThread {
 public:
  virtual ~IMainThread() = default;

  // Any thread: queue `fn` to run on the main thread; returns at once.
  virtual void Post(std::function<void()> fn) = 0;

  // Main thread. Destroying the channel (on the main thread) drops a pending signal.
  virtual std::unique_ptr<TChannel> CreateChannel(std::function<void()> handler) = 0;

  // Main thread: call `fn` every `intervalMs` until StopTimer. Returns a non-zero id.
  virtual TTimerId StartTimer(uint32_t intervalMs, std::function<void()> fn) = 0;
  virtual void StopTimer(TTimerId id) = 0;

  // Milliseconds of a monotonic clock; the tests' loops may run on fake time.
  virtual uint64_t NowMs() const = 0;
};

// The blocking hand-over: another thread runs `handler` on the main thread and waits
// until it has returned. Create and destroy on the main thread; stop the sending thread
// (through its stop token) before destroying. Allocates nothing per hand-over.
class TBlockingHandOver {
 public:
  TBlockingHandOver(IMainThread& mainThread, std::function<void()> handler);

  // Not on the main thread. Returns false, with the handler not run, once `stop` is
  // requested before the main thread took the hand-over (seen within 20 ms).
  bool Send(std::stop_token stop);

 private:
  void Run();

  std::function<void()> handler_;
  std::mutex mutex_;
  static constexpr std::chrono::milliseconds kStopCheck{20};
  std::condition_variable done_;
  bool pending_ = false;
  std::unique_ptr<TChannel> channel_;
};

}  // namespace kalvist
