#include "WakeHandle.h"

#include <windows.h>

#include "KalvistError.h"
#include "WinText.h"

namespace kalvist {

// Manual reset: the watcher (QWinEventNotifier) does not consume the signal, so it stays
// set until the owner drains it, as the descriptor does on Linux.
TWakeHandle::TWakeHandle() : native_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  if (native_ == nullptr)
    throw TKalvistError("Cannot create a wake-up event: " + SystemReason(GetLastError()));
}

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
