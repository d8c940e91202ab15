#include "PortScan.h"

namespace kalvist {

std::vector<TPortInfo> ScanPorts() {
  return ScanSysfsPorts("/sys/class/tty", "/dev");
}

}  // namespace kalvist
