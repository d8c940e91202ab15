// Windows port names and the port list built from what the system reports. Pure
// functions, so that they are tested on every system.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "PortScan.h"

namespace kalvist {

// The number of "COM3", "com3" or "\\.\COM3"; nothing for any other name and for
// COM0 (the open code for a bad port number).
std::optional<unsigned> ComPortNumber(const std::string& name);
// The device path that opens COM ports of any number: "\\.\COM12".
std::string ComDevicePath(unsigned number);

struct TUsbIdentity {
  std::string Vendor;   // four hex digits, e.g. "0403"
  std::string Product;  // e.g. "6001"
  std::string Serial;   // empty when the device has none
};

// From a device instance ID such as "USB\VID_0403&PID_6001\A1B2C3" or
// "FTDIBUS\VID_0403+PID_6001+A1B2C3A\0000"; nothing for a device that is not USB. The
// system makes up an instance part with '&' for a device without a serial number.
std::optional<TUsbIdentity> ParseUsbInstanceId(const std::string& instanceId);

struct TComPortEntry {
  std::string Name;          // "COM3"
  std::string FriendlyName;  // "USB Serial Port (COM3)"
  std::string InstanceId;    // the device's instance ID
};

// By number, each port once: a port of the Ports device class with its name and USB
// identity, one that only the registry's serial-port map lists as "Serial port".
std::vector<TPortInfo> ListComPorts(const std::vector<TComPortEntry>& devices,
                                    const std::vector<std::string>& registryNames);

}  // namespace kalvist
