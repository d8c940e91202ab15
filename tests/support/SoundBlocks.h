// Stream blocks as the controller sends them, for tests of the sound link.
#pragma once

#include <cstdint>
#include <vector>

#include "vltLinkFrame.h"

namespace kalvist::test {

// A block of the given type with a valid check. Data blocks (type 0) carry
// (k + 1) * 256 samples of value `sample`; `code` is the packet counter or error code.
inline std::vector<uint8_t> SoundBlock(uint8_t type, uint8_t code, uint8_t k = 0,
                                       uint16_t sample = 0x0800) {
  std::vector<uint8_t> block{0xFF, 0xFF, static_cast<uint8_t>(type | (k << 3)), code};
  if (type == 0) {
    for (int i = 0; i < (k + 1) * 256; ++i) {
      block.push_back(sample & 0xFF);
      block.push_back(sample >> 8);
    }
  }
  const uint16_t crc = Crc16(block);
  block.push_back(crc & 0xFF);
  block.push_back(crc >> 8);
  return block;
}

}  // namespace kalvist::test
