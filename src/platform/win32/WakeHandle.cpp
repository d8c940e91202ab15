#include "WakeHandle.h"

#include "WinEvent.h"

namespace kalvist {

// Manual reset: the watcher (QWinEventNotifier) does not consume the signal, so it stays
// set until the owner drains it, as the descriptor does on Linux.
TWakeHandle::TWakeHandle() : native_(CreateManualResetEvent()) {}

TWakeHandle::~TWakeHandle() {
  CloseHandle(native_);
}

void TWakeHandle::Signal() {
  SetEvent(native_);
}

void TWakeHandle::Drain() {
  ResetEvent(native_);
}

}  // namespace kalvist
