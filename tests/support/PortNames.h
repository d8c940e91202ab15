// Port names that fail to open in each of the ways the open codes tell apart, on the
// system the tests run on.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "SerialPort.h"

namespace kalvist::test {

// A well-formed name that leads to no port.
inline const char* MissingPortName() {
#ifdef _WIN32
  return "COM250";
#else
  return "/dev/kalvist-no-such-port";
#endif
}

// The system's own words for why that port does not open.
inline std::string MissingPortReason() {
  return CreateSerialPort()->Open(MissingPortName()).Reason;
}

inline std::vector<std::pair<const char*, int>> FailingPortNames() {
#ifdef _WIN32
  // No COM port answers to 250 on a test machine; a device path is no COM port name.
  return {{"", opBadPortName},
          {"COM0", opBadPortName},
          {"/dev/ttyUSB0", opBadPortName},
          {MissingPortName(), opCannotOpen}};
#else
  // /dev/null opens but is no terminal.
  return {{"", opBadPortName}, {MissingPortName(), opCannotOpen}, {"/dev/null", opCannotSetUp}};
#endif
}

}  // namespace kalvist::test
