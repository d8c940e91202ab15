#include "PortScan.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <optional>
#include <string_view>
#include <tuple>

namespace kalvist {

namespace fs = std::filesystem;

namespace {

struct TKind {
  std::string_view Prefix;
  bool Usb;
};
constexpr std::array<TKind, 3> kKinds{{{"ttyUSB", true}, {"ttyACM", true}, {"ttyS", false}}};

struct TName {
  size_t Kind;  // index into kKinds, which is also the listing order
  unsigned long Number;
};

// The kind and number of a tty name such as "ttyUSB3".
std::optional<TName> Classify(const std::string& name) {
  for (size_t k = 0; k < kKinds.size(); ++k) {
    const std::string_view prefix = kKinds[k].Prefix;
    if (!name.starts_with(prefix) || name.size() == prefix.size() || name.size() > 12) continue;
    const std::string digits = name.substr(prefix.size());
    if (std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      return TName{k, std::stoul(digits)};
    }
  }
  return std::nullopt;
}

std::string FirstLine(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
  return line;
}

// The USB device the tty hangs from: the nearest ancestor that carries a vendor ID.
std::string UsbDescription(const fs::path& device) {
  std::error_code error;
  for (fs::path dir = fs::canonical(device, error); !error && dir.has_relative_path();
       dir = dir.parent_path()) {
    if (!fs::exists(dir / "idVendor", error)) continue;
    std::string text = FirstLine(dir / "product");
    if (text.empty()) text = FirstLine(dir / "manufacturer");
    if (text.empty()) text = "USB serial port";
    const std::string serial = FirstLine(dir / "serial");
    return serial.empty() ? text : text + " (" + serial + ")";
  }
  return "USB serial port";
}

// A UART node exists for every possible port; type 0 means no hardware answered.
bool UartPresent(const fs::path& entry) {
  const std::string type = FirstLine(entry / "type");
  return !type.empty() && type != "0";
}

}  // namespace

std::vector<TPortInfo> ScanSysfsPorts(const fs::path& sysClassTty, const fs::path& devDir) {
  struct TFound {
    TName Name;
    TPortInfo Info;
  };
  std::vector<TFound> found;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(sysClassTty, error)) {
    const std::string name = entry.path().filename().string();
    const std::optional<TName> kind = Classify(name);
    const fs::path device = entry.path() / "device";
    if (!kind || !fs::exists(device, error)) continue;
    const bool usb = kKinds[kind->Kind].Usb;
    if (!usb && !UartPresent(entry.path())) continue;
    found.push_back(
        {*kind, {(devDir / name).string(), usb ? UsbDescription(device) : "Serial port"}});
  }
  std::sort(found.begin(), found.end(), [](const TFound& a, const TFound& b) {
    return std::tie(a.Name.Kind, a.Name.Number) < std::tie(b.Name.Kind, b.Name.Number);
  });
  std::vector<TPortInfo> ports;
  for (TFound& f : found) ports.push_back(std::move(f.Info));
  return ports;
}

}  // namespace kalvist
