// The serial ports offered in the Setup dialog, without any widget: the two sources
// (present ports with a friendly name; the device map of driver names and port names),
// merged by number, and the rows the port grid shows.
#pragma once

#include <string>
#include <vector>

#include "PortScan.h"

namespace kalvist {

struct TComInfo {
  int Number = -1;  // -1: the placeholder of the empty first row
  std::string Description;
  std::string Path;  // the device path that opens the port
};

class TComInfoList {
 public:
  bool Contains(int number) const;
  // Appends a copy of each entry of `other` whose number is not here yet, in order.
  void AddMissing(const TComInfoList& other);
  // Ascending by number; entries of one number keep their order.
  void SortByNumber();
  void Add(TComInfo info) { items_.push_back(std::move(info)); }
  void Clear() { items_.clear(); }
  int Count() const { return static_cast<int>(items_.size()); }
  const TComInfo& operator[](int index) const { return items_.at(static_cast<size_t>(index)); }

 private:
  std::vector<TComInfo> items_;
};

// One entry of the device map: a driver's device name and the port name it serves.
struct TDeviceMapEntry {
  std::string DeviceName;  // e.g. "\Device\Serial0"
  std::string PortName;    // "COM" and the number
  std::string Path;
};

// How a port is named to the user: its device path without "/dev/" ("ttyUSB0"), and
// the loopback line of the built-in simulator (Windows) as the simulator.
std::string PortLabel(const std::string& path);

// The kind text of a driver's device name ("Communications Port", " Modem", ...).
std::string DescribeDeviceName(const std::string& name);

// Present ports, numbered 1, 2, ... in the order found, described by the scan.
TComInfoList ComInfoFromScan(const std::vector<TPortInfo>& ports);

// Device-map ports: the number after the first three characters of the port name, 1 to
// 100; others are left out. Described by DescribeDeviceName.
TComInfoList ComInfoFromDeviceMap(const std::vector<TDeviceMapEntry>& entries);

// The grid's rows: present ports, then device-map ports of other numbers, the
// placeholder, all sorted by number (so the placeholder comes first).
TComInfoList PortRows(const TComInfoList& present, const TComInfoList& deviceMap);

}  // namespace kalvist
