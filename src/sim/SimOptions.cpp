#include "SimOptions.h"

#include "KalvistError.h"
#include "vltLinkFrame.h"

namespace kalvist::sim {
namespace {

struct TKindInfo {
  int Kind;
  uint8_t Mode;
  uint8_t TypeByte;         // third byte of the hardware type
  uint8_t DefaultFirmware;  // the newest version the program accepts for the kind
  int ThreeLevelFrom;       // first firmware with the three-level scheme
};

constexpr TKindInfo kKinds[] = {
    {20, 0, 0x13, 25, 25},
    {2, 1, 0x21, 13, 13},
    {3, 2, 0x6C, 0, 0},
};

const TKindInfo& KindInfo(int kind) {
  for (const TKindInfo& info : kKinds) {
    if (info.Kind == kind) return info;
  }
  throw TKalvistError("Unknown hardware kind " + std::to_string(kind) + " (20, 2 or 3)");
}

}  // namespace

void ValidateOptions(const TSimOptions& options) {
  KindInfo(options.Kind);
  if (options.Firmware && (*options.Firmware < 0 || *options.Firmware > 255)) {
    throw TKalvistError("Firmware version out of range (0..255)");
  }
  if (options.SegmentSize < 0 || options.SegmentSize > kSegmentData) {
    throw TKalvistError("Segment size out of range (1..126, 0 for the default)");
  }
  if (options.SoundSizeCode > 15) throw TKalvistError("Sound block size code out of range (0..15)");
}

uint8_t ModeOf(const TSimOptions& options) {
  return KindInfo(options.Kind).Mode;
}

uint8_t FirmwareOf(const TSimOptions& options) {
  return options.Firmware ? static_cast<uint8_t>(*options.Firmware)
                          : KindInfo(options.Kind).DefaultFirmware;
}

uint32_t HardwareTypeOf(const TSimOptions& options) {
  return options.HardwareType.value_or(static_cast<uint32_t>(KindInfo(options.Kind).TypeByte)
                                       << 16);
}

bool ThreeLevelOf(const TSimOptions& options) {
  switch (options.Scheme) {
    case TPasswordScheme::Single:
      return false;
    case TPasswordScheme::ThreeLevel:
      return true;
    case TPasswordScheme::Auto:
      break;
  }
  return FirmwareOf(options) >= KindInfo(options.Kind).ThreeLevelFrom;
}

int WholeReplyLimit(const TSimOptions& options) {
  return options.SegmentSize == 0 ? kMaxFrameData : options.SegmentSize;
}

int SegmentBytes(const TSimOptions& options) {
  return options.SegmentSize == 0 ? kSegmentData : options.SegmentSize;
}

}  // namespace kalvist::sim
