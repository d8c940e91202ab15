#include "vltFirmwareVersion.h"

namespace kalvist {

void TFirmwareVersion::SetFromByte(uint8_t b) {
  Major = b / 10;
  Minor = b % 10;
  Release = 0;
  Build = 0;
  PartCount = 2;
}

}  // namespace kalvist
