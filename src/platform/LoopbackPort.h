// An in-process serial line: two byte queues between a device end (a simulator's
// IDeviceLine) and a host end, an ISerialPort that opens the line by its name
// ("loopback:N") like any port. It keeps the port contract: one client at a time, a
// purge drops both directions, a full queue takes no more bytes, the host sees the
// device gone once the device end closes. A paced line lets each byte through only
// after its line time at 19200 baud (520.8 µs), in both directions, so that Drain
// waits as a UART's does.
//
// Thread safety: as for ISerialPort and IDeviceLine; the two ends may live on any
// threads.
#pragma once

#include <memory>
#include <string>

#include "DeviceLine.h"
#include "SerialPort.h"

namespace kalvist {

bool IsLoopbackName(const std::string& path);
// Whether the device end of that line is open now.
bool LoopbackExists(const std::string& path);

std::unique_ptr<ISerialPort> CreateLoopbackPort();
// A new line per Open, under a name no other line of this process has had.
std::unique_ptr<IDeviceLine> CreateLoopbackDevice(bool paced);

}  // namespace kalvist
