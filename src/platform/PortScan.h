// The serial ports of this machine, for the user to pick from: USB adapters (ttyUSB*,
// ttyACM*) with the adapter's product name and serial number, and built-in UARTs
// (ttyS*) that have hardware behind them. Reads sysfs only; opens no port.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace kalvist {

struct TPortInfo {
  std::string Path;         // the device path, e.g. "/dev/ttyUSB0"
  std::string Description;  // e.g. "FT232R USB UART (A1B2C3)" or "Serial port"
};

// In natural order of the names (ttyS2 before ttyS10). A directory that cannot be read
// gives an empty list.
std::vector<TPortInfo> ScanPorts(const std::filesystem::path& sysClassTty = "/sys/class/tty",
                                 const std::filesystem::path& devDir = "/dev");

}  // namespace kalvist
