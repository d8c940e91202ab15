// The COM ports: SetupAPI over the Ports device class for names and adapters, the
// registry's serial-port map for whatever the class does not list.
#include <windows.h>
// windows.h first: SetupAPI's header needs its types.
#include <devguid.h>
#include <setupapi.h>

#include <array>

#include "ComPorts.h"
#include "PortScan.h"
#include "WinText.h"

namespace kalvist {
namespace {

std::string RegistryText(HKEY key, const wchar_t* name) {
  std::array<wchar_t, 256> value{};
  DWORD size = sizeof(value) - sizeof(wchar_t);
  DWORD type = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ) {
    return {};
  }
  return Narrow(value.data());
}

std::string DeviceText(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
  std::array<wchar_t, 256> value{};
  DWORD type = 0;
  if (!SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type,
                                         reinterpret_cast<BYTE*>(value.data()),
                                         sizeof(value) - sizeof(wchar_t), nullptr)) {
    return {};
  }
  return Narrow(value.data());
}

std::vector<TComPortEntry> PortsClassDevices() {
  std::vector<TComPortEntry> devices;
  const HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
  if (set == INVALID_HANDLE_VALUE) return devices;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
    TComPortEntry entry;
    const HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key != INVALID_HANDLE_VALUE) {
      entry.Name = RegistryText(key, L"PortName");
      RegCloseKey(key);
    }
    entry.FriendlyName = DeviceText(set, device, SPDRP_FRIENDLYNAME);
    std::array<wchar_t, 256> id{};
    if (SetupDiGetDeviceInstanceIdW(set, &device, id.data(), static_cast<DWORD>(id.size()),
                                    nullptr)) {
      entry.InstanceId = Narrow(id.data());
    }
    devices.push_back(std::move(entry));
  }
  SetupDiDestroyDeviceInfoList(set);
  return devices;
}

std::vector<std::string> SerialCommNames() {
  std::vector<std::string> names;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return names;
  }
  for (DWORD i = 0;; ++i) {
    std::array<wchar_t, 256> valueName{};
    DWORD nameLength = static_cast<DWORD>(valueName.size());
    std::array<wchar_t, 64> data{};
    DWORD dataSize = sizeof(data) - sizeof(wchar_t);
    DWORD type = 0;
    if (RegEnumValueW(key, i, valueName.data(), &nameLength, nullptr, &type,
                      reinterpret_cast<BYTE*>(data.data()), &dataSize) != ERROR_SUCCESS) {
      break;
    }
    if (type == REG_SZ) names.push_back(Narrow(data.data()));
  }
  RegCloseKey(key);
  return names;
}

}  // namespace

std::vector<TPortInfo> ScanPorts() {
  return ListComPorts(PortsClassDevices(), SerialCommNames());
}

}  // namespace kalvist
