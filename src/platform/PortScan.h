// The serial ports of this machine, for the user to pick from, with the adapter's
// product name and serial number where known. Opens no port.
//
// Linux: USB adapters (ttyUSB*, ttyACM*) and built-in UARTs (ttyS*) that have hardware
// behind them, from sysfs. Windows: the COM ports of the Ports device class, and those
// of the registry's serial-port map (ComPorts.h).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace kalvist {

struct TPortInfo {
  std::string Path;         // the device path, e.g. "/dev/ttyUSB0"
  std::string Description;  // e.g. "FT232R USB UART (A1B2C3)" or "Serial port"
};

// In natural order of the names (ttyS2 before ttyS10, COM2 before COM10).
std::vector<TPortInfo> ScanPorts();

// The Linux scan over a sysfs tree; a directory that cannot be read gives an empty list.
std::vector<TPortInfo> ScanSysfsPorts(const std::filesystem::path& sysClassTty,
                                      const std::filesystem::path& devDir);

}  // namespace kalvist
