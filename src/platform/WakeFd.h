// A file descriptor that another thread can make readable without allocating, so that
// an event loop which watches descriptors (the GUI's) can be woken. Signals that come
// before the owner drains merge into one.
#pragma once

namespace kalvist {

class TWakeFd {
 public:
  // Throws TKalvistError with the system's reason when no descriptor can be made.
  TWakeFd();
  ~TWakeFd();
  TWakeFd(const TWakeFd&) = delete;
  TWakeFd& operator=(const TWakeFd&) = delete;

  int Fd() const { return fd_; }
  // Any thread; async-signal-safe.
  void Signal();
  // The owner's thread: makes the descriptor unreadable again.
  void Drain();

 private:
  int fd_;
};

}  // namespace kalvist
