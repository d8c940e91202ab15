// The version resource of the program's own executable: product name and version,
// file version, copyright and release date. Linux executables carry no such resource,
// so each program compiles its values in (see TVersionResource) and hands them over.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "vltVersion.h"

namespace kalvist {

// No version information at all ("No Version Info Avaiable.").
class ENoVerInfoError : public TKalvistError {
 public:
  using TKalvistError::TKalvistError;
};
// Version information without a usable translation table ("No language info").
class EVerInfoError : public TKalvistError {
 public:
  using TKalvistError::TKalvistError;
};
// Version information without the fixed file information ("No fixed file info").
class ENoFixeVerInfo : public TKalvistError {
 public:
  using TKalvistError::TKalvistError;
};

// What a version resource holds. A part may be missing, which the reader reports.
struct TVersionResource {
  // The fixed file information's file version: major, minor, release, build.
  std::optional<std::array<uint16_t, 4>> FileVersion;
  // The first translation entry: language in the low 16 bits, code page in the high.
  std::optional<uint32_t> Translation;
  // The string table of that translation, by key ("ProductName", "ProductVersion", ...).
  std::map<std::string, std::string> Strings;
};

class TVerInfoRes {
 public:
  // nullptr stands for a file without version information. Throws ENoVerInfoError,
  // EVerInfoError or ENoFixeVerInfo for a missing part, and TVersionException when the
  // "ProductVersion" string is no version.
  explicit TVerInfoRes(const TVersionResource* resource);

  const TVersion& FileVersion() const { return fileVersion_; }
  const TVersion& ProductVersion() const { return productVersion_; }
  uint16_t Language() const { return language_; }
  uint16_t CodePage() const { return codePage_; }

  // Empty text for a key the table lacks or does not know.
  std::string StringValue(const std::string& key) const;
  std::string ProductName() const { return StringValue("ProductName"); }
  std::string LegalCopyright() const { return StringValue("LegalCopyright"); }
  std::string ReleaseDate() const { return StringValue("ReleaseDate"); }

 private:
  std::map<std::string, std::string> strings_;
  uint16_t language_ = 0;
  uint16_t codePage_ = 0;
  TVersion fileVersion_;
  TVersion productVersion_;
};

}  // namespace kalvist
