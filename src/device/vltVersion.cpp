#include "vltVersion.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "vltCommObject.h"

namespace kalvist {

namespace {

constexpr uint16_t kMissing = 65535;  // also what -1 becomes

bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsBlankText(std::string_view text) {
  for (const char c : text) {
    if (!IsBlank(c)) return false;
  }
  return true;
}

std::vector<std::string_view> NonEmptyItems(std::string_view text) {
  std::vector<std::string_view> items;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t dot = std::min(text.find('.', start), text.size());
    if (dot > start) items.push_back(text.substr(start, dot - start));
    start = dot + 1;
  }
  return items;
}

// Only the leading digits of the last part count.
std::optional<int64_t> LastPartNumber(std::string_view item) {
  size_t digits = 0;
  while (digits < item.size() && IsDigit(item[digits])) ++digits;
  if (digits == 0) return std::nullopt;
  return TextToInteger(item.substr(0, digits));
}

// The parts as 16-bit values, or nothing when the text is no version.
std::optional<std::vector<uint16_t>> ParseParts(std::string_view text) {
  if (text.empty() || !IsDigit(text.front())) return std::nullopt;
  const auto items = NonEmptyItems(text);
  const auto dots = static_cast<size_t>(std::count(text.begin(), text.end(), '.'));
  if (items.size() < 2 || items.size() > 4 || items.size() != dots + 1) return std::nullopt;
  std::vector<uint16_t> parts;
  for (size_t i = 0; i < items.size(); ++i) {
    const bool last = i + 1 == items.size();
    const auto number = last ? LastPartNumber(items[i]) : TextToInteger(items[i]);
    if (!number) return std::nullopt;
    parts.push_back(static_cast<uint16_t>(*number));
  }
  return parts;
}

int CompareParts(uint16_t a, uint16_t b) {
  return a == b ? 0 : (a > b ? 1 : -1);
}

}  // namespace

bool TVersion::IsEmpty() const {
  return Major == 0 && Minor == 0 && Release == 0 && Build == 0;
}

void TVersion::Clear() {
  *this = TVersion();
}

void TVersion::SetPartCount(int n) {
  PartCount = static_cast<uint8_t>(n >= 4 ? 4 : (n == 3 ? 3 : 2));
}

void TVersion::Assign(const TVersion& other) {
  Clear();
  Major = other.Major;
  Minor = other.Minor;
  Release = other.Release;
  Build = other.Build;
  SetPartCount(other.PartCount);
}

std::string TVersion::FormatParts(int n) const {
  if (IsEmpty()) return "";
  std::string text = std::to_string(Major) + "." + std::to_string(Minor);
  if (n >= 3) text += "." + std::to_string(Release);
  if (n >= 4) text += "." + std::to_string(Build);
  return text;
}

bool TVersion::Parse(std::string_view text) {
  Clear();
  if (IsBlankText(text)) return true;
  const auto parts = ParseParts(text);
  if (!parts) return false;
  const auto& p = *parts;
  // A missing part leaves its place (and the part count) as it is.
  if (p[0] != kMissing && p[1] != kMissing) {
    Major = p[0];
    Minor = p[1];
    PartCount = 2;
  }
  if (p.size() >= 3 && p[2] != kMissing) {
    Release = p[2];
    PartCount = 3;
  }
  if (p.size() == 4 && p[3] != kMissing) {
    Build = p[3];
    PartCount = 4;
  }
  return true;
}

void TVersion::SetAsString(const std::string& text) {
  if (!Parse(text)) {
    throw TVersionException("Version error: \"" + text + "\" is not valid version.",
                            TVersionException::ecInvalidVersion);
  }
}

int TVersion::Compare(const TVersion& other) const {
  if (IsEmpty() || other.IsEmpty()) {
    return IsEmpty() == other.IsEmpty() ? 0 : (IsEmpty() ? -1 : 1);
  }
  // Major and Minor always count; Release and Build only when both versions have them.
  const int compared = std::clamp<int>(std::min(PartCount, other.PartCount), 2, 4);
  const uint16_t mine[] = {Major, Minor, Release, Build};
  const uint16_t theirs[] = {other.Major, other.Minor, other.Release, other.Build};
  for (int i = 0; i < compared; ++i) {
    if (const int c = CompareParts(mine[i], theirs[i])) return c;
  }
  return 0;
}

}  // namespace kalvist
