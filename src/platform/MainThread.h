// The main-thread hand-over: everything of the link and the device model runs on one
// thread; other threads reach it only through Post and Send. The GUI implements this
// on its event loop, the CLI and the tests use TEventLoop.
#pragma once

#include <cstdint>
#include <functional>
#include <stop_token>

namespace kalvist {

using TTimerId = uint64_t;

class IMainThread {
 public:
  virtual ~IMainThread() = default;

  // Any thread: queue `fn` to run on the main thread; returns at once.
  virtual void Post(std::function<void()> fn) = 0;

  // Any thread but the main thread: run `fn` on the main thread and wait until it has
  // returned. Gives up, without running `fn`, once `stop` is requested (used by an
  // I/O thread that its owner is destroying). Returns whether `fn` ran.
  bool Send(std::function<void()> fn, std::stop_token stop);

  // Main thread: call `fn` every `intervalMs` until StopTimer. Returns a non-zero id.
  virtual TTimerId StartTimer(uint32_t intervalMs, std::function<void()> fn) = 0;
  virtual void StopTimer(TTimerId id) = 0;

  // Milliseconds of a monotonic clock; the tests' loops may run on fake time.
  virtual uint64_t NowMs() const = 0;
};

}  // namespace kalvist
