// Windows has no pseudo-terminals: a simulator in the program sits on a loopback line.
#include "DeviceLine.h"
#include "KalvistError.h"

namespace kalvist {

TDeviceLineKind DefaultDeviceLineKind() {
  return TDeviceLineKind::Loopback;
}

std::unique_ptr<IDeviceLine> CreatePseudoTerminalLine() {
  throw TKalvistError("This system has no pseudo-terminals; use a loopback line or a COM port");
}

}  // namespace kalvist
