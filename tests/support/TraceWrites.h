// The objects a kalvist-cli --trace shows written, read back from its error stream.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace kalvist::test {

// In order, the access number and the password objects left out. A request is FF FF,
// the length, the code (1 write, 2 write segment), flags, the object ID low byte first.
inline std::vector<uint16_t> WrittenIds(const std::string& trace) {
  std::vector<uint16_t> ids;
  std::istringstream in(trace);
  for (std::string line; std::getline(in, line);) {
    const size_t arrow = line.find(" ms ->  ");
    if (arrow == std::string::npos || line.find("flood") != std::string::npos) continue;
    std::istringstream hex(line.substr(arrow + 8));
    std::vector<int> bytes;
    for (std::string byte; hex >> byte;) bytes.push_back(std::stoi(byte, nullptr, 16));
    if (bytes.size() < 7 || (bytes[3] != 1 && bytes[3] != 2)) continue;
    const auto id = static_cast<uint16_t>(bytes[5] | bytes[6] << 8);
    if (id != 24378 && id != 24524 && id != 24549 && id != 24514) ids.push_back(id);
  }
  return ids;
}

}  // namespace kalvist::test
