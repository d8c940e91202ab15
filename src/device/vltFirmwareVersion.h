// The controller's firmware version: one byte holding ten times the version.
#pragma once

#include <cstdint>

#include "vltVersion.h"

namespace kalvist {

class TFirmwareVersion : public TVersion {
 public:
  // 25 gives 2.5, 9 gives 0.9; 0 gives an empty version (printed as empty text).
  void SetFromByte(uint8_t b);
};

}  // namespace kalvist
