#include "ComPorts.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace kalvist {
namespace {

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// The hex digits after `key` ("VID_"), up to four.
std::string HexAfter(const std::string& text, const std::string& key) {
  const size_t at = text.find(key);
  if (at == std::string::npos) return {};
  std::string digits;
  for (size_t i = at + key.size(); i < text.size() && digits.size() < 4; ++i) {
    if (!std::isxdigit(static_cast<unsigned char>(text[i]))) break;
    digits += text[i];
  }
  return digits.size() == 4 ? digits : std::string();
}

std::string Describe(const TComPortEntry& device) {
  std::string text = device.FriendlyName.empty() ? "Serial port" : device.FriendlyName;
  const std::optional<TUsbIdentity> usb = ParseUsbInstanceId(device.InstanceId);
  if (!usb) return text;
  text += " [USB " + usb->Vendor + ":" + usb->Product;
  if (!usb->Serial.empty()) text += " " + usb->Serial;
  return text + "]";
}

}  // namespace

std::optional<unsigned> ComPortNumber(const std::string& name) {
  std::string upper = Upper(name);
  if (upper.starts_with("\\\\.\\")) upper.erase(0, 4);
  if (!upper.starts_with("COM") || upper.size() == 3 || upper.size() > 6) return std::nullopt;
  unsigned number = 0;
  for (size_t i = 3; i < upper.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(upper[i]))) return std::nullopt;
    number = number * 10 + static_cast<unsigned>(upper[i] - '0');
  }
  if (number == 0) return std::nullopt;
  return number;
}

std::string ComDevicePath(unsigned number) {
  return "\\\\.\\COM" + std::to_string(number);
}

std::optional<TUsbIdentity> ParseUsbInstanceId(const std::string& instanceId) {
  const std::string upper = Upper(instanceId);
  TUsbIdentity usb{HexAfter(upper, "VID_"), HexAfter(upper, "PID_"), {}};
  if (usb.Vendor.empty() || usb.Product.empty()) return std::nullopt;
  if (upper.starts_with("USB\\")) {
    const size_t last = instanceId.rfind('\\');
    const std::string tail = instanceId.substr(last + 1);
    if (last > 4 && tail.find('&') == std::string::npos) usb.Serial = tail;
  } else {
    // Vendor drivers put the serial after the product: "VID_0403+PID_6001+A1B2C3A".
    const size_t pid = upper.find("PID_");
    const size_t plus = instanceId.find('+', pid);
    if (plus != std::string::npos) {
      usb.Serial = instanceId.substr(plus + 1, instanceId.find('\\', plus) - plus - 1);
    }
  }
  return usb;
}

std::vector<TPortInfo> ListComPorts(const std::vector<TComPortEntry>& devices,
                                    const std::vector<std::string>& registryNames) {
  std::map<unsigned, TPortInfo> ports;
  for (const TComPortEntry& device : devices) {
    if (const auto number = ComPortNumber(device.Name)) {
      ports.try_emplace(*number, TPortInfo{"COM" + std::to_string(*number), Describe(device)});
    }
  }
  for (const std::string& name : registryNames) {
    if (const auto number = ComPortNumber(name)) {
      ports.try_emplace(*number, TPortInfo{"COM" + std::to_string(*number), "Serial port"});
    }
  }
  std::vector<TPortInfo> list;
  for (auto& [number, info] : ports) list.push_back(std::move(info));
  return list;
}

}  // namespace kalvist
