// Port names that fail to open in each of the ways the open codes tell apart, on the
// system the tests run on.
#pragma once

#include <utility>
#include <vector>

#include "SerialPort.h"

namespace kalvist::test {

inline std::vector<std::pair<const char*, int>> FailingPortNames() {
#ifdef _WIN32
  // No COM port answers to 250 on a test machine; a device path is no COM port name.
  return {{"", opBadPortName}, {"COM0", opBadPortName}, {"/dev/ttyUSB0", opBadPortName},
          {"COM250", opCannotOpen}};
#else
  // /dev/null opens but is no terminal.
  return {{"", opBadPortName}, {"/dev/no-such-port", opCannotOpen}, {"/dev/null", opCannotSetUp}};
#endif
}

}  // namespace kalvist::test
