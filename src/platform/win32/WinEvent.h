// Win32 events as this layer uses them.
#pragma once

#include <windows.h>

#include "KalvistError.h"
#include "WinText.h"

namespace kalvist {

// A manual-reset event, unsignalled: whoever waits on it resets it. Throws
// TKalvistError with the system's reason when none can be made.
inline HANDLE CreateManualResetEvent() {
  const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (event == nullptr)
    throw TKalvistError("Cannot create an event: " + SystemReason(GetLastError()));
  return event;
}

}  // namespace kalvist
