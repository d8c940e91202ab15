#include "DeviceVersionCheck.h"

#include "vltFirmwareVersion.h"

namespace kalvist {

std::string DeviceTypeName(uint8_t zarnoMode) {
  switch (zarnoMode) {
    case 0:
      return "Zarno-20";
    case 1:
      return "Zarno-2";
    default:
      return "Unknown device";
  }
}

uint8_t LastSupportedFirmware(uint8_t zarnoMode) {
  switch (zarnoMode) {
    case 0:
      return 25;
    case 1:
      return 13;
    default:
      return 0;
  }
}

std::optional<std::string> CheckDeviceVersion(uint8_t zarnoMode, uint8_t firmwareByte) {
  TFirmwareVersion device;
  device.SetFromByte(firmwareByte);
  TFirmwareVersion supported;
  supported.SetFromByte(LastSupportedFirmware(zarnoMode));
  if (!device.IsNewerThan(supported)) return std::nullopt;
  return DeviceTypeName(zarnoMode) + " version " + device.AsString() +
         " is unsupported! (Last supported version is " + supported.AsString() +
         ".)\r\n\r\nConnection will be closed!";
}

}  // namespace kalvist
