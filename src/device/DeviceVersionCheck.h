// Whether the program supports the firmware of a connected controller: the GUI and the
// command-line tool refuse (and disconnect) a controller whose firmware is newer than
// the last version the program knows for its hardware kind. Pure functions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kalvist {

// "Zarno-20", "Zarno-2", or "Unknown device" for any other kind.
std::string DeviceTypeName(uint8_t zarnoMode);

// Ten times the last supported version: 25, 13, and 0 (no version) for any other kind.
uint8_t LastSupportedFirmware(uint8_t zarnoMode);

// The refusal text when the firmware is newer than the last supported version;
// nothing when the controller may stay connected.
std::optional<std::string> CheckDeviceVersion(uint8_t zarnoMode, uint8_t firmwareByte);

}  // namespace kalvist
