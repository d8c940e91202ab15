// A system object that another thread can make signalled without allocating, so that
// a wait on system objects (a serial port's, the GUI's event loop) can be woken: an
// eventfd on Linux, a manual-reset event on Windows. Signals that come before the owner
// drains merge into one.
#pragma once

namespace kalvist {

class TWakeHandle {
 public:
#ifdef _WIN32
  using TNative = void*;  // the event's HANDLE
#else
  using TNative = int;  // a descriptor that polls readable while signalled
#endif

  // Throws TKalvistError with the system's reason when no such object can be made.
  TWakeHandle();
  ~TWakeHandle();
  TWakeHandle(const TWakeHandle&) = delete;
  TWakeHandle& operator=(const TWakeHandle&) = delete;

  TNative Native() const {
    return native_;
  }
  // Any thread; async-signal-safe on Linux.
  void Signal();
  // The owner's thread: makes the object unsignalled again.
  void Drain();

 private:
  TNative native_;
};

}  // namespace kalvist
