#include "ComInfoList.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "LoopbackPort.h"

namespace kalvist {

namespace {

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

// A whole decimal number with an optional sign, or nothing.
std::optional<int> WholeNumber(const std::string& text) {
  const char* first = text.data();
  const char* last = first + text.size();
  if (first != last && *first == '+') ++first;
  int value = 0;
  const auto [end, error] = std::from_chars(first, last, value);
  if (error != std::errc() || end != last || first == last) return std::nullopt;
  return value;
}

// Text before the first "MODEM" of the name after its 8-character device prefix (none
// when the word stands only in the prefix).
std::string ModemDescription(const std::string& name) {
  const std::string rest = name.size() > 8 ? name.substr(8) : "";
  const size_t at = Upper(rest).find("MODEM");
  return (at == std::string::npos ? "" : rest.substr(0, at)) + " Modem";
}

}  // namespace

bool TComInfoList::Contains(int number) const {
  return std::any_of(items_.begin(), items_.end(),
                     [number](const TComInfo& info) { return info.Number == number; });
}

void TComInfoList::AddMissing(const TComInfoList& other) {
  for (const TComInfo& info : other.items_) {
    if (!Contains(info.Number)) items_.push_back(info);
  }
}

void TComInfoList::SortByNumber() {
  std::stable_sort(items_.begin(), items_.end(),
                   [](const TComInfo& a, const TComInfo& b) { return a.Number < b.Number; });
}

std::string PortLabel(const std::string& path) {
  if (IsLoopbackName(path)) return "built-in simulator";
  return path.starts_with("/dev/") ? path.substr(5) : path;
}

std::string DescribeDeviceName(const std::string& name) {
  const std::string upper = Upper(name);
  const auto has = [&upper](const char* word) { return upper.find(word) != std::string::npos; };
  if (has("SERIAL")) return "Communications Port";
  if (has("BTPORT")) return "Bluetooth Communications Port";
  if (has("VCP")) return "Virtual Communications Port";
  if (has("MODEM")) return ModemDescription(name);
  if (has("NPSER") || has("NPDRV")) return "Ethernet Communications Port";
  return "Unknown Communications Port";
}

TComInfoList ComInfoFromScan(const std::vector<TPortInfo>& ports) {
  TComInfoList list;
  int number = 0;
  for (const TPortInfo& port : ports) list.Add({++number, port.Description, port.Path});
  return list;
}

TComInfoList ComInfoFromDeviceMap(const std::vector<TDeviceMapEntry>& entries) {
  TComInfoList list;
  for (const TDeviceMapEntry& entry : entries) {
    const std::optional<int> number =
        WholeNumber(entry.PortName.size() > 3 ? entry.PortName.substr(3) : "");
    if (!number || *number < 1 || *number > 100) continue;
    list.Add({*number, DescribeDeviceName(entry.DeviceName), entry.Path});
  }
  return list;
}

TComInfoList PortRows(const TComInfoList& present, const TComInfoList& deviceMap) {
  TComInfoList rows = present;
  rows.AddMissing(deviceMap);
  rows.Add(TComInfo{});
  rows.SortByNumber();
  return rows;
}

}  // namespace kalvist
