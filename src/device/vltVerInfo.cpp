#include "vltVerInfo.h"

#include <algorithm>

namespace kalvist {

namespace {

// The keys a version resource's string table knows.
constexpr std::array<const char*, 12> kKnownKeys{
    "CompanyName",    "FileDescription", "FileVersion",      "InternalName",
    "LegalCopyright", "LegalTrademarks", "OriginalFileName", "ProductName",
    "ProductVersion", "Comments",        "ReleaseDate",      "ProgramCode"};

}  // namespace

TVerInfoRes::TVerInfoRes(const TVersionResource* resource) {
  if (resource == nullptr) throw ENoVerInfoError("No Version Info Avaiable.");
  if (!resource->Translation) throw EVerInfoError("No language info");
  if (!resource->FileVersion) throw ENoFixeVerInfo("No fixed file info");
  language_ = static_cast<uint16_t>(*resource->Translation & 0xFFFF);
  codePage_ = static_cast<uint16_t>(*resource->Translation >> 16);
  strings_ = resource->Strings;
  const auto& parts = *resource->FileVersion;
  fileVersion_.Major = parts[0];
  fileVersion_.Minor = parts[1];
  fileVersion_.Release = parts[2];
  fileVersion_.Build = parts[3];
  fileVersion_.SetPartCount(4);
  productVersion_.SetAsString(StringValue("ProductVersion"));
}

std::string TVerInfoRes::StringValue(const std::string& key) const {
  const bool known = std::find(kKnownKeys.begin(), kKnownKeys.end(), key) != kKnownKeys.end();
  if (!known) return "";
  const auto it = strings_.find(key);
  return it == strings_.end() ? "" : it->second;
}

}  // namespace kalvist
